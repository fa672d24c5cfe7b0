#include "NXF_error_form.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "diagnostics/Report_Printer.h"
#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/Dialogs.h"
#include "common/Program_Display_Name.h"
#include "common/Startup_Facts.h"

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

NXF_error_form::NXF_error_form(QWidget* parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint) {
    setObjectName("NXF_error_form");
    auto* main = new QVBoxLayout(this);
    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    Label1->setFont(QFont("Arial", 14, QFont::Bold));
    main->addWidget(Label1);
    err_lbl = new QLabel(this);
    err_lbl->setObjectName("err_lbl");
    err_lbl->setTextInteractionFlags(Qt::TextSelectableByMouse);
    err_lbl->setWordWrap(true);
    err_lbl->setMinimumWidth(560);
    main->addWidget(err_lbl);

    Frame_PC_techs = new QGroupBox("PC tech data", this);
    Frame_PC_techs->setObjectName("Frame_PC_techs");
    auto* grid = new QVBoxLayout(Frame_PC_techs);
    auto* l1 = new QLabel("Operating system:", Frame_PC_techs);
    l1->setObjectName("Lbl_Windows_Version");
    Label_Windows_version = new QLabel(Frame_PC_techs);
    Label_Windows_version->setObjectName("Label_Windows_version");
    auto* l2 = new QLabel("PC info:", Frame_PC_techs);
    l2->setObjectName("Lbll_PC_info");
    Label_PC_info = new QLabel(Frame_PC_techs);
    Label_PC_info->setObjectName("Label_PC_info");
    grid->addWidget(l1);
    grid->addWidget(Label_Windows_version);
    grid->addWidget(l2);
    grid->addWidget(Label_PC_info);
    main->addWidget(Frame_PC_techs);

    Frame_Comments = new QGroupBox("Enter your comments here", this);
    Frame_Comments->setObjectName("Frame_Comments");
    auto* cl = new QVBoxLayout(Frame_Comments);
    Text_error_comments = new QPlainTextEdit(Frame_Comments);
    Text_error_comments->setObjectName("Text_error_comments");
    Text_error_comments->setMaximumHeight(80);
    cl->addWidget(Text_error_comments);
    main->addWidget(Frame_Comments);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setRange(1, 100);
    ProgressBar1->hide();
    main->addWidget(ProgressBar1);

    auto* buttons = new QHBoxLayout();
    auto make = [&](QPushButton*& b, const char* name, const char* caption, void (NXF_error_form::*slot)()) {
        b = new QPushButton(caption, this);
        b->setObjectName(name);
        connect(b, &QPushButton::clicked, this, [this, slot] { (this->*slot)(); });
        buttons->addWidget(b);
    };
    make(Cmd_save_log, "Cmd_save_log", "Save in log file", &NXF_error_form::Cmd_save_log_Click);
    make(Cmd_print_error, "Cmd_print_error", "Print report", &NXF_error_form::Cmd_print_error_Click);
    make(Cmd_mailto, "Cmd_mailto", "Send mail", &NXF_error_form::Cmd_mailto_Click);
    make(Command_copy_clipboard, "Command_copy_clipboard", "Copy form to clipboard",
         &NXF_error_form::Command_copy_clipboard_Click);
    make(Cmd_continue, "Cmd_continue", "Continue", &NXF_error_form::Cmd_continue_Click);
    make(Cmd_exit, "Cmd_exit", "Exit program", &NXF_error_form::Cmd_exit_Click);
    main->addLayout(buttons);

    Exit_Hook = [] { Platform::Terminate_Process(1); };
    NXF_Error_Initialize();
}

void NXF_error_form::NXF_Error_Initialize() {
    setWindowTitle(Q(Program_Display_Name() + " error"));
    Label1->setText(Q(Program_Display_Name() + " error report"));
    Label_Windows_version->setText(
        Q(Facts().OS_Version + "\n" + "CPU = " + Facts().CPU_Bitness + " OS = " + Facts().OS_Bitness));
    Label_PC_info->setText(Q(Facts().Computer_Name + " " + Facts().CPU_Info + " Ram: " + Facts().Total_Memory));
}

void NXF_error_form::Clear_Text_Array() { lines_ = Report_Lines{}; }

void NXF_error_form::Show_Report(const std::string& description, int16_t number, int32_t line,
                                 const std::string& location, const std::string& extra) {
    Trace("*NXF_error_handler1, " + std::to_string(number) + "," + std::to_string(line) + "," + location);
    Clear_Text_Array();
    const uint64_t this_report = ++reports_;
    show();
    raise();
    Yield_Within_Report();
    Trace("*NXF_error_handler2");
    // A fault raised by an event handler during the yield has been shown
    // meanwhile: the window keeps that later report.
    if (reports_ != this_report) return;
    lines_ = Build_Report_Lines(description, number, line, location, extra);
    QString text;
    for (const auto& l : lines_) {
        if (l.empty()) break;
        text += Q(l) + "\n";
    }
    err_lbl->setText(text);
    err_lbl->repaint();
    err_lbl->setText(text + "\n");
    Trace("*NXF_error_handler5");
}

QString NXF_error_form::Report_Shown() const { return err_lbl->text(); }
QString NXF_error_form::Comment() const { return Text_error_comments->toPlainText(); }
void NXF_error_form::Set_Comment(const QString& text) { Text_error_comments->setPlainText(text); }

void NXF_error_form::Cmd_save_log_Click() {
    std::string err;
    if (Append_Error_Log(lines_, Comment().toStdString(), &err))
        Platform::MsgBox("Error info appended to file: " + Error_Log_Path());
    else
        Platform::MsgBox("Log error" + err);
}

std::vector<Print_Line> NXF_error_form::Print_Lines() const {
    std::vector<Print_Line> out;
    auto line = [&](const QString& text, double points, bool bold = false) {
        out.push_back({text, QStringLiteral("Arial"), points, bold});
    };
    line("", 24);
    line(Q(Program_Display_Name() + " Error report"), 24);
    line("", 24);
    for (const auto& l : lines_) {
        if (l.empty()) break;
        line(Q(l), 10);
    }
    for (const QString& c : Comment().split('\n')) line(c, 10);
    line("What to do with this error report?", 10, true);
    line("To help fix the error, please report it by using any of the methods listed below!", 10);
    line("", 10);
    line("1 Send by normal mail to:", 10);
    for (const char* a : Support_Contact::Address) line(a, 10);
    line("", 10);
    line(QString("2 E-mail to: ") + Support_Contact::Email, 10);
    line("", 10);
    line(QString("3 Call ") + Support_Contact::Phone, 10);
    return out;
}

void NXF_error_form::Cmd_print_error_Click() {
    IReport_Printer& printer = Report_Printer();
    try {
        if (!printer.Available()) {
            Platform::MsgBox("No printer availible");
            return;
        }
        QPrinter* device = printer.Begin_Job();
        if (!device) return;
        ProgressBar1->show();
        Print_Text_Lines(*device, Print_Lines(), 100, 100);
        printer.End_Job();
        for (int i = 1; i <= 100; ++i) {
            ProgressBar1->setValue(i);
            Platform::Sleep_Mill(5);
        }
        ProgressBar1->hide();
    } catch (...) {
        printer.End_Job();
        ProgressBar1->hide();
        Platform::MsgBox("Printer error");
    }
}

namespace {
// A text as it may stand in a mail link's body: the characters that would end
// or change the body ('&' next field, '#' fragment, '%' escapes, '+', line
// ends) are escaped; everything else is left as written.
std::string Mail_Body_Text(const std::string& text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;  // CR LF once, below
        if (c == '\n' || c == '\r') {
            out += "%0D%0A";
        } else if (c == '&' || c == '#' || c == '%' || c == '+' || c == '?' || c < 0x20) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}
}  // namespace

std::string NXF_error_form::Mail_Link() const {
    std::string body;
    for (const auto& l : lines_) {
        if (l.empty()) break;
        body += Mail_Body_Text(l) + "%0D%0A";
    }
    body += "  " + Mail_Body_Text(Comment().toStdString());
    return std::string("mailto:") + Support_Contact::Email + "?Subject= " + Facts().Program_Name +
           " error&Body=" + body;
}

void NXF_error_form::Cmd_mailto_Click() { Platform::Shell_Open(Mail_Link()); }

void NXF_error_form::Cmd_continue_Click() { hide(); }

void NXF_error_form::Cmd_exit_Click() {
    if (Exit_Hook) Exit_Hook();
}

void NXF_error_form::Command_copy_clipboard_Click() {
    // Copies the report and the comment as text, ready to paste into a message.
    Platform::Set_Clipboard_Text(Report_Text(lines_) + Comment().toStdString());
}

void NXF_error_form::closeEvent(QCloseEvent* e) {
    Trace("*NXF_error_form Form_QueryUnload,end");
    QWidget::closeEvent(e);
}

void Error_Window_Reporter::Report(const std::string& description, int16_t number, int32_t line,
                                   const std::string& location, const std::string& extra) {
    try {
        if (!form_) form_ = new NXF_error_form();
        form_->Show_Report(description, number, line, location, extra);
    } catch (const std::exception& e) {
        Platform::MsgBox(std::string("*Error in Error_form ") + e.what() + " " + "err nbr = " + std::to_string(number) +
                         " erl =" + std::to_string(line));
    }
}

Error_Window_Reporter::~Error_Window_Reporter() { delete form_; }
