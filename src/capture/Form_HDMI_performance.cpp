#include "capture/Form_HDMI_performance.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QGroupBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTimer>
#include <QVBoxLayout>

#include "capture/Capture_State.h"
#include "capture/Module_HDMI_Support.h"
#include "capture/cls_Capture_HDMI.h"
#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/HdxError.h"
#include "platform/PictureBox.h"
#include "common/Module_dependant.h"
#include "common/Program_Display_Name.h"
#include "common/Startup_Facts.h"

using Module_HDMI_Support::Round_Half_Even;

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
constexpr int Graph_Width = 600;
constexpr int Graph_Height = 120;
constexpr int Scale_Width_Px = 28;
const int Reference_Lines[] = {20, 40, 80};
}  // namespace

Form_HDMI_performance::Form_HDMI_performance(QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowStaysOnTopHint) {
    setObjectName("Form_HDMI_performance");
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* main = new QVBoxLayout(central);

    Frame_performance = new QGroupBox("HDMI Performance", central);
    Frame_performance->setObjectName("Frame_performance");
    auto* fl = new QGridLayout(Frame_performance);
    Label_header = new QLabel("Received    Calculated   Lost", Frame_performance);
    Label_header->setObjectName("Label_header");
    fl->addWidget(Label_header, 0, 0, 1, 3);
    auto counter = [&](const char* name, int col) {
        auto* l = new QLabel("0", Frame_performance);
        l->setObjectName(name);
        fl->addWidget(l, 1, col);
        return l;
    };
    Label_Frames_received = counter("Label_Frames_received", 0);
    Label_frames_Calculated = counter("Label_frames_Calculated", 1);
    Label_frames_lost = counter("Label_frames_lost", 2);
    Label_frames_lost->installEventFilter(this);
    Label_frames_lost->setToolTip("Click to restart the counters");
    main->addWidget(Frame_performance);

    auto* graph = new QHBoxLayout();
    Picture_Scale = new Platform::PictureBox(central);
    Picture_Scale->setObjectName("Picture_Scale");
    Picture_Scale->Set_Back_Color(Qt::black);
    Picture_Scale->Set_Canvas_Size(Scale_Width_Px, Graph_Height);
    graph->addWidget(Picture_Scale);
    Picture_Delta_Scroll = new Platform::PictureBox(central);
    Picture_Delta_Scroll->setObjectName("Picture_Delta_Scroll");
    Picture_Delta_Scroll->Set_Back_Color(Qt::black);
    Picture_Delta_Scroll->Set_Canvas_Size(Graph_Width, Graph_Height);
    Picture_Delta_Scroll->Cls();
    graph->addWidget(Picture_Delta_Scroll);
    graph->addStretch(1);
    main->addLayout(graph);
    Picture_delta_scroll_lines = new Platform::PictureBox(central);
    Picture_delta_scroll_lines->setObjectName("Picture_delta_scroll_lines");
    Picture_delta_scroll_lines->Set_Font(QFont("Times", 10));
    Picture_delta_scroll_lines->hide();
    m_Scale_Text_Width = Picture_delta_scroll_lines->Text_Width("40");

    auto* info = new QGridLayout();
    auto pair = [&](const char* caption_name, const char* caption, const char* value_name, int r) {
        auto* c = new QLabel(caption, central);
        c->setObjectName(caption_name);
        info->addWidget(c, r, 0);
        auto* v = new QLabel(central);
        v->setObjectName(value_name);
        v->setTextInteractionFlags(Qt::TextSelectableByMouse);
        info->addWidget(v, r, 1);
        return v;
    };
    Label_HDMI_dimensions = pair("Label1", "Actual sample dimensions, fps", "Label_HDMI_dimensions", 0);
    Label_prop = pair("label_sourceprop", "Video Source/Property", "Label_prop", 1);
    Label_Windows_version = pair("Label2", "Operating system", "Label_Windows_version", 2);
    Lbl_PC_info = pair("Label3", "Pc info", "Lbl_PC_info", 3);
    Label_min_max_fps = new QLabel(central);
    Label_min_max_fps->setObjectName("Label_min_max_fps");
    info->addWidget(Label_min_max_fps, 4, 0, 1, 2);
    main->addLayout(info);
    Label_Windows_version->setText(
        Q(Facts().OS_Version + "\n" + "CPU = " + Facts().CPU_Bitness + " OS = " + Facts().OS_Bitness));
    Lbl_PC_info->setText(Q(Facts().Computer_Name + " " + Facts().CPU_Info + "  " + Facts().Total_Memory));

    auto* buttons = new QHBoxLayout();
    auto button = [&](QPushButton*& b, const char* name, const char* caption, void (Form_HDMI_performance::*slot)()) {
        b = new QPushButton(caption, central);
        b->setObjectName(name);
        connect(b, &QPushButton::clicked, this, [this, slot] { (this->*slot)(); });
        buttons->addWidget(b);
    };
    button(Command_Hide_Me, "Command_Hide_Me", "Hide  Form", &Form_HDMI_performance::Command_Hide_Me_Click);
    button(Command_copy_to_clipboard, "Command_copy_to_clipboard", "Copy form to Clipboard",
           &Form_HDMI_performance::Command_copy_to_clipboard_Click);
    button(Command_Print_Form, "Command_Print_Form", "Print Form", &Form_HDMI_performance::Command_Print_Form_Click);
    main->addLayout(buttons);

    menu_form = menuBar()->addMenu("Form");
    menu_form->setObjectName("menu_form");
    QAction* copy = menu_form->addAction("Copy to Clipboard");
    copy->setObjectName("item_copy_to_clipboard");
    connect(copy, &QAction::triggered, this, [this] { item_copy_to_clipboard_Click(); });
    QAction* print = menu_form->addAction("Print Form");
    print->setObjectName("item_print_form");
    connect(print, &QAction::triggered, this, [this] { Command_Print_Form_Click(); });
    // A test bar generator; hidden in normal operation.
    menu_debug = menuBar()->addMenu("Debug");
    menu_debug->setObjectName("menu_debug");
    item_random_delta = menu_debug->addAction("Random Delta");
    item_random_delta->setObjectName("item_random_delta");
    item_random_delta->setCheckable(true);
    connect(item_random_delta, &QAction::triggered, this, [this] { item_random_delta_Click(); });
    menu_debug->menuAction()->setVisible(false);

    Timer_delta = new QTimer(this);
    Timer_delta->setObjectName("Timer_delta");
    Timer_delta->setInterval(40);
    connect(Timer_delta, &QTimer::timeout, this,
            [this] { HDMI_event(0, static_cast<int32_t>(QRandomGenerator::global()->generateDouble() * 30 + 40)); });
    m_Perf_Start_Mill = Platform::PC_Mill();
}

Form_HDMI_performance::~Form_HDMI_performance() {
    if (!m_Unloading) emit Unloaded();
}

QString Form_HDMI_performance::Caption_Text() const {
    return Q("HDMI performance " + Program_Display_Name() + " " + Facts().Program_Version + " " + Date_Time_Text());
}

void Form_HDMI_performance::showEvent(QShowEvent* e) {
    Form_Activate();
    QMainWindow::showEvent(e);
}

void Form_HDMI_performance::changeEvent(QEvent* e) {
    if (e->type() == QEvent::ActivationChange && isActiveWindow()) Form_Activate();
    QMainWindow::changeEvent(e);
}

void Form_HDMI_performance::Form_Activate() {
    setWindowTitle(Caption_Text());
    Draw_Scale();
}

void Form_HDMI_performance::closeEvent(QCloseEvent* e) {
    // The close button is off: only "Hide  Form" (or the menu command) unloads.
    if (m_Unloading)
        QMainWindow::closeEvent(e);
    else
        e->ignore();
}

bool Form_HDMI_performance::eventFilter(QObject* watched, QEvent* e) {
    if (watched == Label_frames_lost && e->type() == QEvent::MouseButtonPress) {
        Label_frames_lost_Click();
        return true;
    }
    return QMainWindow::eventFilter(watched, e);
}

void Form_HDMI_performance::Draw_Scale() {
    Platform::PictureBox& s = *Picture_Scale;
    s.Cls();
    s.Set_Font(QFont("Times", 10));
    s.Set_Fore_Color(Qt::cyan);
    const double h = Picture_Delta_Scroll->Scale_Height();
    for (int line : Reference_Lines) {
        const QString text = QString::number(line);
        s.Current_X = 1;
        s.Current_Y = h - line - s.Text_Height(text) / 2;
        s.Print_Inline(text);
    }
    s.Refresh();
}

void Form_HDMI_performance::Plot_Bar(int32_t delta) {
    QImage& c = Picture_Delta_Scroll->Canvas();
    const int w = c.width(), h = c.height();
    if (w < 2 || h < 1) return;
    const int bpp = c.depth() / 8;
    // Scroll one pixel to the left; the freed column starts empty.
    for (int y = 0; y < h; ++y) {
        uchar* row = c.scanLine(y);
        std::memmove(row, row + bpp, static_cast<size_t>(w - 1) * bpp);
    }
    {
        QPainter p(&c);
        p.fillRect(w - 1, 0, 1, h, Picture_Delta_Scroll->Back_Color());
    }
    Picture_Delta_Scroll->Set_Draw_Width(1);
    Picture_Delta_Scroll->Line(w - 1, h - 1, w - 1, h - 1 - delta, QColor(0, 0, 255));
    Picture_Delta_Scroll->Set_Draw_Width(2);
    for (int line : Reference_Lines)
        Picture_Delta_Scroll->Line(m_Scale_Text_Width + 2, h - line, w, h - line, QColor(255, 255, 0));
    Picture_Delta_Scroll->Set_Draw_Width(1);
    Picture_Delta_Scroll->Refresh();
}

void Form_HDMI_performance::HDMI_event(int32_t /*last_capture_mill: not used*/, int32_t last_capture_delta) {
    m_Perf_Received += 1;
    Plot_Bar(last_capture_delta);
    const double elapsed = static_cast<double>(Platform::Mill_Since(m_Perf_Start_Mill, Platform::PC_Mill()));
    const double period = Capture_State::Running_Fps_Value <= 30 ? 40.0 : 20.0;
    const auto expected = static_cast<int64_t>(Round_Half_Even(elapsed / period));
    Label_Frames_received->setText(QString::number(m_Perf_Received));
    Label_frames_Calculated->setText(QString::number(expected));
    // More frames than the clock expects (a rate a little above nominal) are no loss.
    Label_frames_lost->setText(QString::number(std::max<int64_t>(0, expected - m_Perf_Received)));
    Frame_performance->update();
}

void Form_HDMI_performance::Reset_Counters() {
    m_Perf_Start_Mill = Platform::PC_Mill();
    m_Perf_Received = 0;
    Label_Frames_received->setText("0");
    Label_frames_Calculated->setText("0");
    Label_frames_lost->setText("0");
}

void Form_HDMI_performance::Label_frames_lost_Click() { Reset_Counters(); }

void Form_HDMI_performance::Show_Properties(const std::string& text) { Label_prop->setText(Q(text)); }
void Form_HDMI_performance::HDMI_Dimensions(const std::string& text) { Label_HDMI_dimensions->setText(Q(text)); }
void Form_HDMI_performance::Fill_min_max_fps(const std::string& text) { Label_min_max_fps->setText(Q(text)); }

std::string Form_HDMI_performance::Fill_MinMax_Text(const std::string& max_interval, const std::string& min_interval) {
    try {
        size_t a = 0, b = 0;
        const double longest = std::stod(max_interval, &a);
        const double shortest = std::stod(min_interval, &b);
        if (a != max_interval.size() || b != min_interval.size() || longest <= 0 || shortest <= 0) return "";
        return "min max fps: " + Module_HDMI_Support::One_Decimal_Text(10000000.0 / longest) + "/" +
               Module_HDMI_Support::One_Decimal_Text(10000000.0 / shortest);
    } catch (...) {
        return "";
    }
}

void Form_HDMI_performance::Menu_Command(cls_Capture_HDMI& capture, QAction* menu_item,
                                         QPointer<Form_HDMI_performance>& form, QWidget* parent) {
    const bool shown = form && form->isVisible();
    if (capture.HDMI_10_mill() == 0) {
        Platform::MsgBox("No active HDMI source!");
        if (menu_item) menu_item->setChecked(shown);
        return;
    }
    if (menu_item) menu_item->setChecked(!shown);
    if (shown) {
        form->Command_Hide_Me_Click();
        return;
    }
    if (!form) {
        form = new Form_HDMI_performance(parent);
        if (menu_item) {
            QPointer<QAction> item(menu_item);
            connect(form.data(), &Form_HDMI_performance::Unloaded, menu_item, [item] {
                if (item) item->setChecked(false);
            });
        }
    }
    form->Show_Properties(capture.Current_PropertyString() + " / " + capture.Current_FriendlyName());
    form->Reset_Counters();
    form->show();
    const double ten = capture.HDMI_10_mill();
    form->HDMI_Dimensions(capture.HDMI_Sample_Dimensions() + ", " +
                          std::to_string(static_cast<int64_t>(1000.0 / (ten / 10.0))) + " fps");
    const std::string min_max = Fill_MinMax_Text(capture.MaxInterval(), capture.MinInterval());
    if (!min_max.empty()) form->Fill_min_max_fps(min_max);
    form->raise();
}

void Form_HDMI_performance::Command_Hide_Me_Click() {
    if (m_Unloading) return;
    m_Unloading = true;
    Timer_delta->stop();
    emit Unloaded();
    hide();
    deleteLater();
}

void Form_HDMI_performance::Command_copy_to_clipboard_Click() { Platform::Copy_Window_To_Clipboard(this); }

void Form_HDMI_performance::item_copy_to_clipboard_Click() {
    Platform::Copy_Window_To_Clipboard(this);
    Do_Sleep(500, true);
}

void Form_HDMI_performance::item_random_delta_Click() {
    if (item_random_delta->isChecked())
        Timer_delta->start();
    else
        Timer_delta->stop();
}

void Form_HDMI_performance::Command_Print_Form_Click() {
    try {
        Platform::Copy_Window_To_Clipboard(this);
        Do_Sleep(500, true);
        QImage picture;
        if (auto* cb = QApplication::clipboard()) picture = cb->image();
        if (picture.isNull()) picture = grab().toImage();
        Do_Sleep(200, true);
        Print_Image(picture);
        if (auto* cb = QApplication::clipboard()) cb->clear();
    } catch (const std::exception& e) {
        Report_Exception(e, "Command_Print_Form_Click of Form Form_HDMI_performance");
    }
}

void Form_HDMI_performance::Print_Image(const QImage& image) {
    const char* sorry = "Sorry can't print this time....\r\nWindows reports Printer error!";
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        Platform::MsgBox(sorry);
        return;
    }
    QPrinter printer(QPrinterInfo::defaultPrinter().isNull() ? QPrinterInfo::availablePrinters().first()
                                                             : QPrinterInfo::defaultPrinter());
    printer.setDuplex(QPrinter::DuplexNone);
    QPainter p;
    if (!p.begin(&printer)) {
        Platform::MsgBox(sorry);
        return;
    }
    p.drawImage(0, 0, image);
    p.end();
}
