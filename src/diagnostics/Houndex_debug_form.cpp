#include "diagnostics/Houndex_debug_form.h"

#include <QFont>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrinter>

#include "diagnostics/Report_Printer.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "common/Module_dependant.h"
#include "common/Startup_Facts.h"

Houndex_debug_form::Houndex_debug_form(QWidget* parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint) {
    setObjectName("Houndex_debug_form");
    setWindowTitle("Houndex debug");
    setAttribute(Qt::WA_DeleteOnClose);
    Menu_bar = new QMenuBar(this);
    menu_form = Menu_bar->addMenu("Form");
    menu_form->setObjectName("menu_form");
    QAction* print = menu_form->addAction("Print");
    print->setObjectName("item_print");
    connect(print, &QAction::triggered, this, [this] { item_print_Click(); });
    QAction* hide_item = menu_form->addAction("Hide");
    hide_item->setObjectName("item_hide");
    connect(hide_item, &QAction::triggered, this, [this] { item_hide_Click(); });
    Text_debug = new QPlainTextEdit(this);
    Text_debug->setObjectName("Text_debug");
    Text_debug->setFont(QFont("Courier New", 10));
    Text_debug->setLineWrapMode(QPlainTextEdit::NoWrap);
    resize(720, 420);
}

void Houndex_debug_form::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    const int top = Menu_bar->sizeHint().height();
    Menu_bar->setGeometry(0, 0, width(), top);
    Text_debug->setGeometry(0, top, width(), height() - top);
}

void Houndex_debug_form::Show_Lines(const std::vector<std::string>& lines) {
    QString text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) text += '\n';
        text += QString::fromStdString(lines[i]);
    }
    Text_debug->setPlainText(text);
    show();
    raise();
}

QString Houndex_debug_form::Text() const { return Text_debug->toPlainText(); }

std::vector<std::string> Houndex_debug_form::Print_Text(const std::string& printer_name) const {
    std::vector<std::string> out{"Houndex file properties at " + Date_Time_Text(),
                                 "Computer = " + Facts().Computer_Name + " Printer : " + printer_name, "", ""};
    for (const QString& line : Text().split('\n')) out.push_back(line.toStdString());
    return out;
}

void Houndex_debug_form::item_print_Click() {
    Run_Trapped("item_print_Click of Form Houndex_debug_form", [this] {
        IReport_Printer& printer = Report_Printer();
        if (!printer.Available()) {
            Platform::MsgBox("No printer availible");
            return;
        }
        QPrinter* device = printer.Begin_Job();
        if (!device) return;
        std::vector<Print_Line> lines;
        for (const std::string& l : Print_Text(printer.Name()))
            lines.push_back({QString::fromStdString(l), QStringLiteral("Courier New"), 14, false});
        try {
            Print_Text_Lines(*device, lines, 0, 0, 0.1);
        } catch (...) {
            printer.End_Job();
            throw;
        }
        printer.End_Job();
    });
}

void Houndex_debug_form::item_hide_Click() { close(); }
