#include "Form_Houndex_settings.h"
#include "common/Text.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QFormLayout>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "Margin_Settings.h"
#include "Capture_Triggers.h"
#include "Module_Ini.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/HdxError.h"
#include "platform/Window_Fit.h"
#include "common/Startup_Facts.h"

namespace {
// The margin fields in order, with their keys and captions.
struct Margin_Field {
    const char* name;
    const std::string& key;
    const char* caption;
};
const std::array<Margin_Field, 4> Margin_Fields{{
    {"Text_seconds_per_length", Margins::Key_Seconds_Per_Length, "Seconds per length"},
    {"Text_short_head", Margins::Key_Short_Head, "Short head below (lengths)"},
    {"Text_head", Margins::Key_Head, "Head below (lengths)"},
    {"Text_neck", Margins::Key_Neck, "Neck below (lengths)"},
}};

std::string Number_Text(double v) { return QString::number(v, 'g', 6).toStdString(); }

// Cleared by Qt when the window goes with its owner.
QPointer<Form_Houndex_settings> g_loaded;

int Check_Setting(const char* key) {
    const std::string text = Read_Ini("Settings", key, Facts().Ini_file_path, "0");
    int64_t v = -1;
    if (Parse_Whole_Number(Trim_Blanks(text), v) != Whole_Number::Ok)
        throw HdxError(HdxErr::TypeMismatch, "Type mismatch");
    if (v < 0 || v > 2) throw HdxError(380, "Invalid property value");
    return static_cast<int>(v);
}

void Set_Check(QCheckBox* box, int value) {
    box->setCheckState(value == 2 ? Qt::PartiallyChecked : value == 1 ? Qt::Checked : Qt::Unchecked);
}

int Check_Value(const QCheckBox* box) {
    switch (box->checkState()) {
        case Qt::Checked: return 1;
        case Qt::PartiallyChecked: return 2;
        default: return 0;
    }
}
}  // namespace

Form_Houndex_settings::Form_Houndex_settings(const Host& host, QWidget* owner)
    : QWidget(owner, Qt::Window), host_(host) {
    setObjectName("Form_Houndex_settings");
    setWindowTitle("Houndex HDMI Settings");
    setAttribute(Qt::WA_DeleteOnClose);
    // The rows scroll where the screen is shorter than they are.
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName("Scroll_settings");
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget(scroll);
    scroll->setWidget(content);
    outer->addWidget(scroll);
    auto* main = new QVBoxLayout(content);

    auto* various = new QGroupBox("Various settings", this);
    various->setObjectName("Frame_various");
    auto* vl = new QVBoxLayout(various);
    auto make_check = [&](QCheckBox*& box, const char* name, const char* caption, void (Form_Houndex_settings::*h)()) {
        box = new QCheckBox(caption, various);
        box->setObjectName(name);
        vl->addWidget(box);
        connect(box, &QCheckBox::clicked, this, [this, h] { (this->*h)(); });
    };
    make_check(Check_Auto_init, "Check_Auto_init", "Automatically initiate file on start signal",
               &Form_Houndex_settings::Check_Auto_init_Click);
    make_check(Check_print_dialog, "Check_print_dialog", "Show printer dialog on Print commands",
               &Form_Houndex_settings::Check_print_dialog_Click);
    make_check(Check_open_after_finish, "Check_open_after_finish", "Automatically open last heat after Heat Finish",
               &Form_Houndex_settings::Check_open_after_finish_Click);
    Command_hide = new QPushButton("Hide", various);
    Command_hide->setObjectName("Command_hide");
    vl->addWidget(Command_hide);
    connect(Command_hide, &QPushButton::clicked, this, [this] { Command_hide_Click(); });
    main->addWidget(various);

    auto make_field = [&](QLineEdit*& field, const char* frame_name, const char* caption, const char* name,
                          void (Form_Houndex_settings::*h)()) {
        auto* frame = new QGroupBox(caption, this);
        frame->setObjectName(frame_name);
        auto* l = new QVBoxLayout(frame);
        field = new QLineEdit(frame);
        field->setObjectName(name);
        field->installEventFilter(this);
        // Pasted text obeys the same rule as typed text.
        field->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), field));
        l->addWidget(field);
        main->addWidget(frame);
        connect(field, &QLineEdit::textChanged, this, [this, h] { (this->*h)(); });
    };
    make_field(Text_Box_delay, "Frame_Box_delay", "Box delay ms", "Text_Box_delay",
               &Form_Houndex_settings::Text_Box_delay_Change);
    make_field(Text_goalcam_delay, "Frame_video_pipe", "Video pipe camera delay ms", "Text_goalcam_delay",
               &Form_Houndex_settings::Text_goalcam_delay_Change);

    auto* feed = new QGroupBox("Live results feed", this);
    feed->setObjectName("Frame_results_feed");
    auto* fl = new QFormLayout(feed);
    Check_results_feed = new QCheckBox("Send every result change to boards", feed);
    Check_results_feed->setObjectName("Check_results_feed");
    fl->addRow(Check_results_feed);
    connect(Check_results_feed, &QCheckBox::clicked, this, [this] { Check_results_feed_Click(); });
    auto feed_field = [&](QLineEdit*& field, const char* name, const char* caption, const char* key) {
        field = new QLineEdit(feed);
        field->setObjectName(name);
        fl->addRow(caption, field);
        connect(field, &QLineEdit::editingFinished, this, [this, f = field, key] { Text_feed_Change(f, key); });
    };
    feed_field(Text_feed_address, "Text_feed_address", "Address", "results_feed_address");
    feed_field(Text_feed_port, "Text_feed_port", "TCP port", "results_feed_port");
    Text_feed_port->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,5}"), Text_feed_port));
    feed_field(Text_feed_serial, "Text_feed_serial", "Serial port", "results_feed_serial");
    Text_feed_serial->setPlaceholderText("none, or /dev/ttyUSB0@9600");
    feed_field(Text_feed_max_clients, "Text_feed_max_clients", "Boards at most", "results_feed_max_clients");
    Text_feed_max_clients->setValidator(
        new QRegularExpressionValidator(QRegularExpression("[0-9]{0,3}"), Text_feed_max_clients));
    main->addWidget(feed);

    auto* web = new QGroupBox("Web pages for the track", this);
    web->setObjectName("Frame_web_server");
    auto* wl = new QFormLayout(web);
    Check_web_server = new QCheckBox("Serve the scoreboard and the stewards' page", web);
    Check_web_server->setObjectName("Check_web_server");
    wl->addRow(Check_web_server);
    connect(Check_web_server, &QCheckBox::clicked, this, [this] { Check_web_server_Click(); });
    auto web_field = [&](QLineEdit*& field, const char* name, const char* caption, const char* key) {
        field = new QLineEdit(web);
        field->setObjectName(name);
        wl->addRow(caption, field);
        connect(field, &QLineEdit::editingFinished, this, [this, f = field, key] { Text_web_Change(f, key); });
    };
    web_field(Text_web_address, "Text_web_address", "Address", "web_address");
    Text_web_address->setToolTip(
        "127.0.0.1: this computer only; 0.0.0.0 or this computer's address: the track's "
        "network, with an access key in every address");
    web_field(Text_web_port, "Text_web_port", "TCP port", "web_port");
    Text_web_port->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,5}"), Text_web_port));
    Command_new_web_key = new QPushButton("New access key", web);
    Command_new_web_key->setObjectName("Command_new_web_key");
    Command_new_web_key->setToolTip("Screens and phones given the old addresses lose access");
    wl->addRow(Command_new_web_key);
    connect(Command_new_web_key, &QPushButton::clicked, this, [this] { Command_new_web_key_Click(); });
    Label_web_urls = new QLabel(web);
    Label_web_urls->setObjectName("Label_web_urls");
    Label_web_urls->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label_web_urls->setWordWrap(true);
    wl->addRow(Label_web_urls);
    main->addWidget(web);
    auto* margins = new QGroupBox("Margins in lengths", this);
    margins->setObjectName("Frame_margins");
    auto* ml = new QFormLayout(margins);
    for (size_t i = 0; i < Margin_Fields.size(); ++i) {
        auto* field = new QLineEdit(margins);
        field->setObjectName(Margin_Fields[i].name);
        field->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*[.]?[0-9]*"), field));
        ml->addRow(Margin_Fields[i].caption, field);
        Text_margin[i] = field;
        connect(field, &QLineEdit::textEdited, this, [this] { Text_margin_Change(); });
    }
    Label_margin_fault = new QLabel(margins);
    Label_margin_fault->setObjectName("Label_margin_fault");
    Label_margin_fault->setStyleSheet("color: #b00000");
    ml->addRow(Label_margin_fault);
    main->addWidget(margins);
    auto* capture = new QGroupBox("Capture window", this);
    capture->setObjectName("Frame_capture_window");
    auto* cl = new QFormLayout(capture);
    auto make_spin = [&](QSpinBox*& spin, const char* name, const char* caption, int lowest, int highest, int step) {
        spin = new QSpinBox(capture);
        spin->setObjectName(name);
        spin->setRange(lowest, highest);
        spin->setSingleStep(step);
        cl->addRow(caption, spin);
    };
    make_spin(Spin_pre_trigger, "Spin_pre_trigger", "Keep frames before the trigger, ms (0 = off)", 0,
              Capture_Triggers::Longest_ms, 100);
    make_spin(Spin_post_trigger, "Spin_post_trigger", "Keep open after the release, ms", 0,
              Capture_Triggers::Longest_ms, 100);
    Check_auto_capture = new QCheckBox("Automatic capture: open on movement at the goal line", capture);
    Check_auto_capture->setObjectName("Check_auto_capture");
    cl->addRow(Check_auto_capture);
    make_spin(Spin_auto_threshold, "Spin_auto_threshold", "Movement threshold (1-255)", 1, 255, 1);
    make_spin(Spin_auto_settle, "Spin_auto_settle", "Close after the line is quiet for, ms", 0,
              Capture_Triggers::Longest_ms, 100);
    make_spin(Spin_window_limit, "Spin_window_limit", "Most memory one window keeps, MB (0 = no limit)", 0,
              Capture_Triggers::Highest_Window_Limit_MB, 256);
    main->addWidget(capture);
    const QSize rows = content->sizeHint();
    const QSize room = Platform::Room_On_Screen(this);
    resize(rows.width() + scroll->verticalScrollBar()->sizeHint().width(), std::min(rows.height(), room.height()));
}

void Form_Houndex_settings::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Platform::Fit_On_Screen(this);
}

Form_Houndex_settings& Form_Houndex_settings::Get(const Host& host, QWidget* owner) {
    if (!g_loaded) {
        auto* form = new Form_Houndex_settings(host, owner);
        try {
            form->Form_Load();
        } catch (...) {
            delete form;
            throw;
        }
        g_loaded = form;
    }
    return *g_loaded;
}

Form_Houndex_settings* Form_Houndex_settings::Loaded() { return g_loaded; }

void Form_Houndex_settings::Unload() {
    if (!g_loaded) return;
    Form_Houndex_settings* form = g_loaded.data();
    g_loaded = nullptr;
    form->hide();
    form->deleteLater();
}

void Form_Houndex_settings::Form_Load() {
    // Filling the fields counts as a change: both are stored and the
    // compensations reloaded, as if typed. Both values are taken before either
    // store reloads them.
    const int goal = host_.Goal_Compensation ? host_.Goal_Compensation() : 200;
    const int box = host_.Box_Delay ? host_.Box_Delay() : 0;
    Text_goalcam_delay->setText(QString::number(goal));
    Text_Box_delay->setText(QString::number(box));
    Set_Check(Check_Auto_init, Check_Setting("auto_init"));
    Set_Check(Check_print_dialog, Check_Setting("show_printer_dialog"));
    Set_Check(Check_open_after_finish, Check_Setting("open_after_finish"));
    const auto feed_setting = [](const char* key, const char* fallback) {
        const std::string v = Read_Ini("Settings", key, Facts().Ini_file_path, fallback);
        return QString::fromStdString(v == "N/A" ? std::string() : v);
    };
    Check_results_feed->setChecked(feed_setting("results_feed", "0") == "1");
    Text_feed_address->setText(feed_setting("results_feed_address", "127.0.0.1"));
    Text_feed_port->setText(feed_setting("results_feed_port", "4720"));
    Text_feed_serial->setText(feed_setting("results_feed_serial", ""));
    Text_feed_max_clients->setText(feed_setting("results_feed_max_clients", "16"));
    Check_web_server->setChecked(feed_setting("web_server", "0") == "1");
    Text_web_address->setText(feed_setting("web_address", "127.0.0.1"));
    Text_web_port->setText(feed_setting("web_port", "4730"));
    Show_Web_Urls();
    std::vector<std::string> problems;
    const Margin_Table t = Margins::Load_Table(Facts().Ini_file_path, &problems);
    const double values[] = {t.Seconds_Per_Length, t.Short_Head, t.Head, t.Neck};
    for (size_t i = 0; i < Text_margin.size(); ++i)
        Text_margin[i]->setText(QString::fromStdString(Number_Text(values[i])));
    Label_margin_fault->setText(problems.empty() ? QString() : QString::fromStdString("Ignored: " + problems.front()));
    const Capture_Triggers triggers = Capture_Triggers::Read();
    Spin_pre_trigger->setValue(triggers.Pre_Trigger_ms);
    Spin_post_trigger->setValue(triggers.Post_Trigger_ms);
    Check_auto_capture->setChecked(triggers.Auto_Capture);
    Spin_auto_threshold->setValue(triggers.Auto_Threshold);
    Spin_auto_settle->setValue(triggers.Auto_Settle_ms);
    Spin_window_limit->setValue(triggers.Window_Limit_MB);
    // Connected after filling: loading the window stores nothing.
    for (QSpinBox* spin :
         {Spin_pre_trigger, Spin_post_trigger, Spin_auto_threshold, Spin_auto_settle, Spin_window_limit})
        connect(spin, qOverload<int>(&QSpinBox::valueChanged), this, [this] { Store_Triggers(); });
    connect(Check_auto_capture, &QCheckBox::toggled, this, [this] { Store_Triggers(); });
}

void Form_Houndex_settings::Text_margin_Change() {
    try {
        Margin_Table t;
        double* values[] = {&t.Seconds_Per_Length, &t.Short_Head, &t.Head, &t.Neck};
        for (size_t i = 0; i < Text_margin.size(); ++i) {
            if (!Margins::Parse_Setting(Text_margin[i]->text().toStdString(), i == 0 ? 10.0 : 100.0, *values[i])) {
                Label_margin_fault->setText(QString(Margin_Fields[i].caption) + ": a positive number is needed");
                return;
            }
        }
        const std::string order = Margins::Check_Table(t);
        Label_margin_fault->setText(QString::fromStdString(order));
        if (!order.empty()) return;
        for (size_t i = 0; i < Text_margin.size(); ++i)
            Write_Ini(Margins::Section, Margin_Fields[i].key, Number_Text(*values[i]), Facts().Ini_file_path);
    } catch (const std::exception& e) {
        Report_Exception(e, "Text_margin_Change of Form Form_Houndex_settings");
    }
}

void Form_Houndex_settings::Store_Triggers() {
    Capture_Triggers t;
    t.Pre_Trigger_ms = Spin_pre_trigger->value();
    t.Post_Trigger_ms = Spin_post_trigger->value();
    t.Auto_Capture = Check_auto_capture->isChecked();
    t.Auto_Threshold = Spin_auto_threshold->value();
    t.Auto_Settle_ms = Spin_auto_settle->value();
    t.Window_Limit_MB = Spin_window_limit->value();
    t.Write();
}

int Form_Houndex_settings::Check_Auto_init_Value() const { return Check_Value(Check_Auto_init); }
int Form_Houndex_settings::Check_print_dialog_Value() const { return Check_Value(Check_print_dialog); }
int Form_Houndex_settings::Check_open_after_finish_Value() const { return Check_Value(Check_open_after_finish); }

void Form_Houndex_settings::Store_Check(QCheckBox* box, const char* key) {
    Write_Ini("Settings", key, std::to_string(Check_Value(box)), Facts().Ini_file_path);
}

void Form_Houndex_settings::Check_Auto_init_Click() { Store_Check(Check_Auto_init, "auto_init"); }
void Form_Houndex_settings::Check_print_dialog_Click() { Store_Check(Check_print_dialog, "show_printer_dialog"); }
void Form_Houndex_settings::Check_open_after_finish_Click() {
    Store_Check(Check_open_after_finish, "open_after_finish");
}

void Form_Houndex_settings::Text_Box_delay_Change() {
    try {
        Write_Ini("Settings", "Box_delay", Text_Box_delay->text().toStdString(), Facts().Ini_file_path);
        if (host_.Load_Compensations) host_.Load_Compensations();
    } catch (const std::exception& e) {
        Report_Exception(e, "Text_Box_delay_Change of Form Form_Houndex_settings");
    }
}

void Form_Houndex_settings::Text_goalcam_delay_Change() {
    try {
        Write_Ini("Settings", "goal_compensation", Text_goalcam_delay->text().toStdString(), Facts().Ini_file_path);
        if (host_.Load_Compensations) host_.Load_Compensations();
    } catch (const std::exception& e) {
        Report_Exception(e, "Text_goalcam_delay_Change of Form Form_Houndex_settings");
    }
}

void Form_Houndex_settings::Command_hide_Click() { Unload(); }

void Form_Houndex_settings::Check_results_feed_Click() {
    Write_Ini("Settings", "results_feed", Check_results_feed->isChecked() ? "1" : "0", Facts().Ini_file_path);
    if (host_.Results_Feed_Changed) host_.Results_Feed_Changed();
}

void Form_Houndex_settings::Text_feed_Change(QLineEdit* field, const char* key) {
    const std::string value = field->text().trimmed().toStdString();
    // Leaving a field unchanged restarts nothing.
    const std::string fallback = std::string(key) == "results_feed_address"       ? "127.0.0.1"
                                 : std::string(key) == "results_feed_port"        ? "4720"
                                 : std::string(key) == "results_feed_max_clients" ? "16"
                                                                                  : "";
    std::string stored = Read_Ini("Settings", key, Facts().Ini_file_path, fallback);
    if (stored == "N/A") stored.clear();
    if (value == stored) return;
    Write_Ini("Settings", key, value, Facts().Ini_file_path);
    if (host_.Results_Feed_Changed) host_.Results_Feed_Changed();
}

void Form_Houndex_settings::Check_web_server_Click() {
    Write_Ini("Settings", "web_server", Check_web_server->isChecked() ? "1" : "0", Facts().Ini_file_path);
    if (host_.Web_Server_Changed) host_.Web_Server_Changed();
    Show_Web_Urls();
}

void Form_Houndex_settings::Text_web_Change(QLineEdit* field, const char* key) {
    const std::string value = field->text().trimmed().toStdString();
    const std::string fallback = std::string(key) == "web_address" ? "127.0.0.1" : "4730";
    std::string stored = Read_Ini("Settings", key, Facts().Ini_file_path, fallback);
    if (stored == "N/A") stored.clear();
    if (value == stored) return;  // leaving a field unchanged restarts nothing
    Write_Ini("Settings", key, value, Facts().Ini_file_path);
    if (host_.Web_Server_Changed) host_.Web_Server_Changed();
    Show_Web_Urls();
}

void Form_Houndex_settings::Command_new_web_key_Click() {
    if (Platform::MsgBox("Every screen and phone given the present addresses loses access. Make a new key?",
                         Platform::MsgButtons::OKCancel, Platform::MsgIcon::Question,
                         "Houndex web pages") != Platform::MsgResult::OK)
        return;
    // Emptied: the server makes and stores a new one when it starts.
    Write_Ini("Settings", "web_key", "", Facts().Ini_file_path);
    if (host_.Web_Server_Changed) host_.Web_Server_Changed();
    Show_Web_Urls();
}

void Form_Houndex_settings::Show_Web_Urls() {
    const std::vector<std::string> scoreboard = host_.Web_Urls ? host_.Web_Urls() : std::vector<std::string>();
    if (scoreboard.empty()) {
        Label_web_urls->setText(Check_web_server->isChecked() ? "The server does not listen (see the message)" : "Off");
        return;
    }
    QString text;
    for (const std::string& url : scoreboard) text += QString::fromStdString(url) + "\n";
    Label_web_urls->setText(text.trimmed());
}

bool Form_Houndex_settings::eventFilter(QObject* watched, QEvent* event) {
    // Only digits and editing keys reach the delay fields; anything else beeps.
    if (event->type() == QEvent::KeyPress && (watched == Text_Box_delay || watched == Text_goalcam_delay)) {
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
            case Qt::Key_Backspace:
            case Qt::Key_Tab:
            case Qt::Key_Backtab:
            case Qt::Key_Delete:
            case Qt::Key_Clear:
            case Qt::Key_Left:
            case Qt::Key_Right:
            case Qt::Key_Up:
            case Qt::Key_Down:
            case Qt::Key_Home:
            case Qt::Key_End:
            case Qt::Key_Return:
            case Qt::Key_Enter: return false;
            default: break;
        }
        if (key->modifiers() & Qt::ControlModifier) return false;  // copy, paste, select all
        const QString t = key->text();
        if (t.size() == 1 && t[0] >= '0' && t[0] <= '9') return false;
        if (t.isEmpty()) return false;  // a bare modifier key
        Platform::Beep();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
