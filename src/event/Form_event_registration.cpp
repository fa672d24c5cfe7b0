#include "event/Form_event_registration.h"
#include "printing/Window_Print.h"

#include <filesystem>

#include <QAction>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QSpinBox>
#include <QVBoxLayout>

#include "event/Dog_Import.h"
#include "event/Form_Houndex_SpeakerCard.h"
#include "event/IEvent_Host.h"
#include "event/Module_Event_File.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/Files.h"
#include "platform/HdxError.h"
#include "platform/PictureBox.h"
#include "recording/cls_VideoFile_handler.h"
#include "review/Paint_Box.h"

namespace {

const char* const CRLF = "\r\n";
const char* const No_File_Text = "No event file";

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QLineEdit* field) { return field->text().toStdString(); }

std::string File_Name_Of(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// Runs a handler and hands whatever it throws to the error handler, so nothing
// reaches the event loop.
template <typename F>
void Trapped(const char* procedure, F&& body) {
    Run_Trapped(std::string(procedure) + " of Form Form_event_registration", std::forward<F>(body));
}

}  // namespace

Form_event_registration::Form_event_registration(IEvent_Host* host, QWidget* owner)
    : QMainWindow(owner, Qt::Window), m_Host(host) {
    setObjectName("Form_event_registration");
    setWindowTitle("Houndex HDMI event registration");

    menu_form = menuBar()->addMenu("Form");
    menu_form->setObjectName("menu_form");
    auto add_item = [this](QAction*& item, const char* name, const char* caption,
                           void (Form_event_registration::*h)()) {
        item = menu_form->addAction(caption);
        item->setObjectName(name);
        connect(item, &QAction::triggered, this, [this, h] { (this->*h)(); });
    };
    add_item(item_open_event_file, "item_open_event_file", "Open event file",
             &Form_event_registration::item_open_event_file_Click);
    add_item(item_create_file, "item_create_file", "Create new Event file",
             &Form_event_registration::item_create_file_Click);
    add_item(item_close_event_file, "item_close_event_file", "Close event file",
             &Form_event_registration::item_close_event_file_Click);
    add_item(item_import_dog_names, "item_import_dog_names", "Import dog names",
             &Form_event_registration::item_import_dog_names_Click);
    add_item(intem_print_form, "intem_print_form", "Print form", &Form_event_registration::Print_Form);
    add_item(item_print_speaker_card, "item_print_speaker_card", "Make speaker card",
             &Form_event_registration::item_print_speaker_card_Click);
    add_item(item_hide, "item_hide", "Hide", &Form_event_registration::item_hide_Click);

    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* main = new QVBoxLayout(central);

    auto framed_field = [&](QGroupBox*& frame, const char* frame_name, const char* caption, QLineEdit*& field,
                            const char* name) {
        frame = new QGroupBox(caption, central);
        frame->setObjectName(frame_name);
        auto* l = new QVBoxLayout(frame);
        field = new QLineEdit(frame);
        field->setObjectName(name);
        l->addWidget(field);
        main->addWidget(frame);
    };

    Frame_event_file = new QGroupBox("Event File name", central);
    Frame_event_file->setObjectName("Frame_event_file");
    auto* fl = new QVBoxLayout(Frame_event_file);
    Label_event_filename = new QLabel(No_File_Text, Frame_event_file);
    Label_event_filename->setObjectName("Label_event_filename");
    fl->addWidget(Label_event_filename);
    main->addWidget(Frame_event_file);

    framed_field(Frame_event_name, "Frame_event_name", "Event name", Text_event_name, "Text_event_name");
    framed_field(Frame_day, "Frame_day", "Day", Text_day, "Text_day");
    // The name and day typed here name a new event ("Create new Event file"):
    // they reach the loaded event only when Enter is pressed in the field.
    for (QLineEdit* f : {Text_event_name, Text_day}) {
        f->setToolTip(
            "For a new event: type its name and day, then Form > Create new Event file.\n"
            "Enter here renames the loaded event instead.");
        connect(f, &QLineEdit::textChanged, this, [this] { Show_Name_Hint(); });
    }
    connect(Text_event_name, &QLineEdit::returnPressed, this, [this] { Text_event_name_Change(); });
    connect(Text_day, &QLineEdit::returnPressed, this, [this] { Text_day_Change(); });

    auto* heat_row = new QGridLayout();
    auto labelled = [&](int column, const char* caption, QWidget* field) {
        auto* label = new QLabel(caption, central);
        heat_row->addWidget(label, 0, column);
        heat_row->addWidget(field, 1, column);
    };
    UpDown_heat = new QSpinBox(central);
    UpDown_heat->setObjectName("UpDown_heat");
    UpDown_heat->setRange(1, Event_File::Heat_Count);
    UpDown_heat->setValue(1);
    UpDown_heat->setKeyboardTracking(false);
    labelled(0, "Heat", UpDown_heat);
    Text_heatName = new QLineEdit(central);
    Text_heatName->setObjectName("Text_heatName");
    labelled(1, "Heat name", Text_heatName);
    Text_heat_start_time = new QLineEdit(central);
    Text_heat_start_time->setObjectName("Text_heat_start_time");
    labelled(2, "Start time", Text_heat_start_time);
    Text_heatLength = new QLineEdit(central);
    Text_heatLength->setObjectName("Text_heatLength");
    labelled(3, "Length", Text_heatLength);
    heat_row->setColumnStretch(1, 3);
    main->addLayout(heat_row);
    connect(UpDown_heat, &QSpinBox::valueChanged, this, [this](int v) { UpDown_heat_Change(v); });

    Frame_boxes = new QGroupBox("Heat 1", central);
    Frame_boxes->setObjectName("Frame_boxes");
    auto* bl = new QGridLayout(Frame_boxes);
    for (int b = 1; b <= Boxes_Shown; ++b) {
        auto* picture = new Platform::PictureBox(Frame_boxes);
        picture->setObjectName(QString("Picture_box_%1").arg(b));
        picture->Set_Canvas_Size(28, 28);
        m_Picture_box[static_cast<size_t>(b - 1)] = picture;
        auto* field = new QLineEdit(Frame_boxes);
        field->setObjectName(QString("Text_dog_name_%1").arg(b));
        m_Text_dog_name[static_cast<size_t>(b - 1)] = field;
        bl->addWidget(picture, b - 1, 0);
        bl->addWidget(field, b - 1, 1);
        connect(field, &QLineEdit::textChanged, this, [this, b] { Text_dog_name_Change(b); });
        field->installEventFilter(this);
    }
    main->addWidget(Frame_boxes);

    // Where an official looks before importing: what the two files hold.
    Label_import_help = new QLabel(QString::fromUtf8(Import_Formats_Help), central);
    Label_import_help->setObjectName("Label_import_help");
    Label_import_help->setWordWrap(true);
    main->addWidget(Label_import_help);
    item_import_dog_names->setStatusTip(QString::fromUtf8(Import_Formats_Help).section('\n', 0, 0));
    item_import_dog_names->setToolTip(QString::fromUtf8(Import_Formats_Help));
    menu_form->setToolTipsVisible(true);

    for (QLineEdit* f : {Text_heatName, Text_heat_start_time, Text_heatLength}) f->installEventFilter(this);
    for (int b = 1; b <= Boxes_Shown; ++b) Paint_box(*Picture_box(b), b);
    Set_Fields_Editable();
}

Form_event_registration::~Form_event_registration() {
    // The fields outlive this part of the window while it is taken down: their
    // last focus events must not reach the save points.
    for (QLineEdit* f : {Text_heatName, Text_heat_start_time, Text_heatLength}) f->removeEventFilter(this);
    for (QLineEdit* f : m_Text_dog_name) f->removeEventFilter(this);
}

// ---------------------------------------------------------------------------
// loading and opening

std::string Form_event_registration::Event_File_Path() const {
    return No_Event_Path(m_Event_File.Path()) ? std::string() : m_Event_File.Path();
}

void Form_event_registration::Form_Load() {
    Trapped("Form_Load", [&] {
        m_Busy = true;
        m_Event_Loaded = false;
        const std::string path = Stored_Event_File();
        if (No_Event_Path(path)) {
            // Nothing stored (the store answers "N/A" for an empty value too).
            g_Use_Event_File = false;
            m_Event_File.Close();
        } else if (Platform::File_Exists(path)) {
            m_Event_File.Set_Path(path);
            Open_Event_File(path);
            if (Platform::File_Exists(path)) {
                Label_event_filename->setText(Q(path));
                Label_event_filename->setToolTip(Q(path));
                Set_Current_Heat(1);
                if (g_Use_Event_File) {
                    Load_Document();
                } else {
                    m_Event_File.Close();  // an empty file: nothing to edit, the name stays shown
                    m_Event_File.Set_Path(path);
                }
            } else {
                Platform::MsgBox("Event file does not exist!");
                g_Use_Event_File = false;
                m_Event_File.Close();
            }
        } else {
            Platform::MsgBox("Stored Event File name not found!" + std::string(CRLF) + path);
            g_Use_Event_File = false;
            m_Event_File.Close();
        }
        if (!m_Event_Loaded) {
            if (No_Event_Path(m_Event_File.Path())) Update_Event_file_name();
            Load_Heat_Data();
        }
        Set_Fields_Editable();
        m_Busy = false;
        Refresh_Host();
    });
    m_Busy = false;
}

bool Form_event_registration::Open_Event_File(const std::string& path) {
    g_Use_Event_File = true;
    if (!Validate_XML_file(path)) {
        Platform::MsgBox("Invalid Event File! " + File_Name_Of(path));
        return false;
    }
    return true;
}

void Form_event_registration::Load_Document() {
    // A file that does not load as an event file gives no programme to edit or
    // to use: typing into it would store nothing.
    m_Event_Loaded = m_Event_File.Parse_XML_file();
    if (!m_Event_Loaded) g_Use_Event_File = false;
    if (m_Event_Loaded) {
        Set_Text(Text_event_name, m_Event_File.Event_name());
        Set_Text(Text_day, m_Event_File.Get_day());
    }
    Set_Fields_Editable();
    Load_Heat_Data();
}

void Form_event_registration::Update_Event_file_name() {
    const std::string path = Event_File_Path();
    if (path.empty() || !Platform::File_Exists(path)) {
        Label_event_filename->setText(No_File_Text);
        Label_event_filename->setToolTip(QString());
    } else {
        Label_event_filename->setText(Q(File_Name_Of(path)));
        Label_event_filename->setToolTip(Q(path));
    }
}

void Form_event_registration::No_Event_File() {
    Trapped("No_Event_File", [&] {
        if (m_Event_Loaded) Save();
        m_Event_Loaded = false;
        m_Event_File.Close();
        Store_Event_File("");
        g_Use_Event_File = false;
        Update_Event_file_name();
        Set_Fields_Editable();
        Load_Heat_Data();
    });
}

bool Form_event_registration::Update_Dog_names(cls_VideoFile_handler& handler, int heat) const {
    try {
        for (int b = 1; b <= Boxes_Shown; ++b)
            handler.Set_Hdx_Dog_name(static_cast<int16_t>(b), g_Use_Event_File ? Reg_Dog_Name(heat, b) : "");
        return true;
    } catch (const std::exception& e) {
        Report_Exception(e, "Update_Dog_names of Form Form_event_registration");
        return false;
    }
}

// ---------------------------------------------------------------------------
// menu

void Form_event_registration::item_open_event_file_Click() {
    Trapped("item_open_event_file_Click", [&] {
        const std::string start = m_Last_Chosen.empty() ? Event_Files_Folder_Path() : m_Last_Chosen;
        const auto chosen = Platform::Dialogs().Open_File("Chose event file", start, "xml Files (*.xml)");
        if (!chosen || chosen->empty()) return;
        m_Last_Chosen = *chosen;
        // What was typed into the programme so far is on disk before another
        // file takes its place.
        if (m_Event_Loaded) Save();
        m_Busy = true;
        m_Event_File.Set_Path(*chosen);
        m_Event_Loaded = false;
        const bool valid = Open_Event_File(*chosen);
        Store_Event_File(*chosen);
        if (valid) {
            Load_Document();
        } else {
            m_Event_File.Close();
            m_Event_File.Set_Path(*chosen);
            Set_Fields_Editable();
            Load_Heat_Data();
        }
        Update_Event_file_name();
        m_Busy = false;
        Refresh_Host();
    });
    m_Busy = false;
}

void Form_event_registration::item_create_file_Click() {
    Trapped("item_create_file_Click", [&] {
        const std::string name = S(Text_event_name);
        const std::string day = S(Text_day);
        if (name.empty()) {
            Platform::MsgBox("Please enter Event Name before creating the event file!");
            return;
        }
        Create_Event_Files_Folder();
        const std::string path = New_Event_File_Path(Event_Files_Folder_Path(), name, day);
        if (Platform::File_Exists(path) &&
            Platform::MsgBox(path + CRLF + "This event file already exists. Overwrite?", Platform::MsgButtons::YesNo,
                             Platform::MsgIcon::Question) != Platform::MsgResult::Yes)
            return;
        // The loaded programme's own edits are saved; the name and day typed
        // for the new event never went into it.
        if (m_Event_Loaded) Save();
        m_Busy = true;
        m_Event_Loaded = false;
        // The new file replaces an old one of that name in one step; when it
        // cannot be made, the stored event file is loaded again as it was.
        if (m_Event_File.Create_Event(path, name, day)) Store_Event_File(path);
        m_Busy = false;
        Form_Load();
        // Loading shows what the file holds; the texts the operator typed stay.
        Set_Text(Text_event_name, m_Event_Loaded ? m_Event_File.Event_name() : name);
        Set_Text(Text_day, m_Event_Loaded ? m_Event_File.Get_day() : day);
    });
    m_Busy = false;
}

void Form_event_registration::item_close_event_file_Click() {
    Trapped("item_close_event_file_Click", [&] {
        if (m_Event_Loaded) Save();
        m_Event_Loaded = false;
        m_Event_File.Close();
        Store_Event_File("");
        Label_event_filename->setText(No_File_Text);
        Label_event_filename->setToolTip(QString());
        Set_Text(Text_event_name, "");
        Set_Text(Text_day, "");
        Set_Fields_Editable();
        Load_Heat_Data();
        Refresh_Host();
    });
}

void Form_event_registration::item_import_dog_names_Click() {
    Trace("item_import_dog_names_Click");
    Trapped("item_import_dog_names_Click", [&] {
        Dog_Import_Hooks hooks;
        // The first heat the import changed is shown once it is saved.
        hooks.Heat_Selected = [this](int heat) {
            Set_Current_Heat(heat);
            Load_Heat_Data();
        };
        m_Busy = true;
        const Dog_Import_Result result = Import_Dogs(m_Event_File, hooks);
        m_Busy = false;
        if (result.imported > 0) Refresh_Host();
    });
    m_Busy = false;
}

void Form_event_registration::item_print_speaker_card_Click() {
    Trapped("item_print_speaker_card_Click", [&] {
        if (!m_Speaker_Card) {
            m_Speaker_Card = new Form_Houndex_SpeakerCard(this);
            m_Speaker_Card->Form_Load();
        }
        std::array<QString, 6> names;
        for (int b = 1; b <= Boxes_Shown; ++b) names[static_cast<size_t>(b - 1)] = Text_dog_name(b)->text();
        // The loaded event's name: a name typed for a new event is not this programme's.
        const QString event = m_Event_Loaded ? Q(m_Event_File.Event_name()) : Text_event_name->text();
        m_Speaker_Card->Fill(event, Text_heatName->text(), QString::number(m_Current_Heat),
                             Text_heat_start_time->text(), Text_heatLength->text(), names);
        m_Speaker_Card->show();
        m_Speaker_Card->raise();
        m_Speaker_Card->activateWindow();
        m_Speaker_Card->setFocus();
    });
}

void Form_event_registration::item_hide_Click() { hide(); }

void Form_event_registration::Print_Form() { Window_Print::Print_Event_Form(*this); }

// ---------------------------------------------------------------------------
// fields

void Form_event_registration::Set_Text(QLineEdit* field, const std::string& text) {
    const bool was = m_Loading;
    m_Loading = true;
    field->setText(Q(text));
    m_Loading = was;
}

void Form_event_registration::Text_event_name_Change() {
    if (m_Loading || !m_Event_Loaded) return;
    Trapped("Text_event_name_Change", [&] {
        if (!m_Event_File.Set_Event_name(S(Text_event_name))) Set_Text(Text_event_name, m_Event_File.Event_name());
        Save();
        Show_Name_Hint();
        Refresh_Host();
    });
}

void Form_event_registration::Text_day_Change() {
    if (m_Loading || !m_Event_Loaded) return;
    Trapped("Text_day_Change", [&] {
        if (!m_Event_File.Set_day(S(Text_day))) Set_Text(Text_day, m_Event_File.Get_day());
        Save();
        Show_Name_Hint();
        Refresh_Host();
    });
}

void Form_event_registration::Show_Name_Hint() {
    const bool typed =
        m_Event_Loaded && (S(Text_event_name) != m_Event_File.Event_name() || S(Text_day) != m_Event_File.Get_day());
    if (typed)
        statusBar()->showMessage(
            "Not stored in this event: Form > Create new Event file makes a new one, "
            "Enter renames this one");
    else
        statusBar()->clearMessage();
}

void Form_event_registration::Text_dog_name_Change(int box) {
    if (m_Loading || !m_Event_Loaded) return;
    Trapped("Text_dog_name_Change", [&] {
        // A text the file cannot hold is refused (with a message) and the box
        // shows what the file holds again.
        if (!m_Event_File.Set_Reg_Dog_Name(m_Current_Heat, box, S(Text_dog_name(box))))
            Set_Text(Text_dog_name(box), m_Event_File.Reg_Dog_Name(m_Current_Heat, box));
    });
}

void Form_event_registration::Text_dog_name_LostFocus(int) {
    if (!m_Event_Loaded) return;
    Trapped("Text_dog_name_LostFocus", [&] { Save(); });
}

void Form_event_registration::Text_heatName_Validate() {
    if (!m_Event_Loaded) return;
    Trapped("Text_heatName_Validate", [&] {
        if (!m_Event_File.Set_Heat_Name(m_Current_Heat, S(Text_heatName)))
            Set_Text(Text_heatName, m_Event_File.Heat_Name(m_Current_Heat));
        Save();
    });
}

void Form_event_registration::Text_heat_start_time_Validate() {
    if (!m_Event_Loaded) return;
    Trapped("Text_heat_start_time_Validate", [&] {
        if (!m_Event_File.Set_Heat_Start_Time(m_Current_Heat, S(Text_heat_start_time)))
            Set_Text(Text_heat_start_time, m_Event_File.Heat_Start_Time(m_Current_Heat));
    });
}

void Form_event_registration::Text_heatLength_Validate() {
    if (!m_Event_Loaded) return;
    Trapped("Text_heatLength_Validate", [&] {
        if (!m_Event_File.Set_Heat_Length(m_Current_Heat, S(Text_heatLength)))
            Set_Text(Text_heatLength, m_Event_File.Heat_Length(m_Current_Heat));
        Save();
    });
}

void Form_event_registration::UpDown_heat_Change(int value) {
    if (m_Loading) return;
    if (!m_Event_Loaded) {
        Platform::Beep();
        Set_Current_Heat(m_Current_Heat);  // the selector stays where it was
        return;
    }
    Trapped("UpDown_heat_Change", [&] {
        if (value < m_Current_Heat) Save();
        Set_Current_Heat(value);
        Load_Heat_Data();
    });
}

void Form_event_registration::Show_Heat(int heat) {
    if (!m_Event_Loaded || heat == m_Current_Heat || heat < 1 || heat > 100) return;
    Trapped("Show_Heat", [&] {
        Save();
        Set_Current_Heat(heat);
        Load_Heat_Data();
    });
}

void Form_event_registration::Set_Current_Heat(int heat) {
    m_Current_Heat = heat;
    const bool was = m_Loading;
    m_Loading = true;
    UpDown_heat->setValue(heat);
    m_Loading = was;
    Frame_boxes->setTitle("Heat " + QString::number(heat));
}

void Form_event_registration::Load_Heat_Data() {
    Trapped("Load_Heat_Data", [&] {
        if (!m_Event_File.Is_Loaded()) {
            // Nothing to read: the heat's boxes are cleared.
            Set_Text(Text_heatName, "");
            Set_Text(Text_heatLength, "");
            Set_Text(Text_heat_start_time, "");
            for (int b = 1; b <= Boxes_Shown; ++b) Set_Text(Text_dog_name(b), "");
            return;
        }
        const int heat = m_Current_Heat;
        Set_Text(Text_heatName, m_Event_File.Heat_Name(heat));
        // An empty length keeps the previous heat's: heats of one event mostly
        // run the same distance.
        const std::string length = m_Event_File.Heat_Length(heat);
        if (!length.empty()) Set_Text(Text_heatLength, length);
        Set_Text(Text_heat_start_time, m_Event_File.Heat_Start_Time(heat));
        for (int b = 1; b <= Boxes_Shown; ++b) Set_Text(Text_dog_name(b), m_Event_File.Reg_Dog_Name(heat, b));
    });
}

void Form_event_registration::Set_Fields_Editable() {
    // Read-only also keeps pasted and dropped text out; typed keys beep (eventFilter).
    for (QLineEdit* f : {Text_heatName, Text_heat_start_time, Text_heatLength}) f->setReadOnly(!m_Event_Loaded);
    for (QLineEdit* f : m_Text_dog_name) f->setReadOnly(!m_Event_Loaded);
}

bool Form_event_registration::Is_Heat_Or_Dog_Field(QObject* watched) const {
    if (watched == Text_heatName || watched == Text_heat_start_time || watched == Text_heatLength) return true;
    for (QLineEdit* f : m_Text_dog_name)
        if (watched == f) return true;
    return false;
}

bool Form_event_registration::eventFilter(QObject* watched, QEvent* event) {
    if (!Is_Heat_Or_Dog_Field(watched)) return QMainWindow::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress && !m_Event_Loaded) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool edits = !key->text().isEmpty() && key->text()[0].isPrint();
        if (edits || key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete) {
            Platform::Beep();
            return true;
        }
    }
    if (event->type() == QEvent::FocusOut) {
        if (watched == Text_heatName)
            Text_heatName_Validate();
        else if (watched == Text_heat_start_time)
            Text_heat_start_time_Validate();
        else if (watched == Text_heatLength)
            Text_heatLength_Validate();
        else
            for (int b = 1; b <= Boxes_Shown; ++b)
                if (watched == Text_dog_name(b)) Text_dog_name_LostFocus(b);
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// window

bool Form_event_registration::Save() {
    if (m_Busy) return false;
    m_Busy = true;  // a message box shown by the save deactivates the window
    const bool saved = m_Event_File.XML_to_File();
    m_Busy = false;
    return saved;
}

void Form_event_registration::Refresh_Host() {
    if (m_Host) m_Host->Display_Heat_Data();
}

void Form_event_registration::Form_Activate() {
    Update_Event_file_name();
    for (int b = 1; b <= Boxes_Shown; ++b) Paint_box(*Picture_box(b), b);
}

void Form_event_registration::Form_Deactivate() {
    Trapped("Form_Deactivate", [&] { Save(); });
}

void Form_event_registration::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    Form_Activate();
}

void Form_event_registration::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::ActivationChange) return;
    if (isActiveWindow())
        Form_Activate();
    else
        Form_Deactivate();
}

void Form_event_registration::closeEvent(QCloseEvent* event) {
    Trace("*Form_event_registration, Form_QueryUnload, begin");
    Trapped("Form_QueryUnload", [&] { Save(); });
    Trace("*Form_event_registration, Form_QueryUnload, end");
    event->accept();  // hidden, not destroyed: the window lives as long as the program
}
