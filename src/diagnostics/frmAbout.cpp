#include "diagnostics/frmAbout.h"

#include <QDateTime>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "controlbox/IInterfaceKit.h"
#include "diagnostics/Module_Diagnostics.h"
#include "common/NXF_Error_Report.h"
#include "diagnostics/Report_Printer.h"
#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/Files.h"
#include "recording/Picture_Ops.h"
#include "common/Module_dependant.h"
#include "common/Program_Display_Name.h"
#include "common/Startup_Facts.h"

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }

// The product picture: the program's name on a plain badge.
QPixmap Product_Picture() {
    QPixmap p(240, 64);
    p.fill(QColor(0, 64, 128));
    QPainter painter(&p);
    painter.setPen(Qt::white);
    painter.setFont(QFont("Arial", 22, QFont::Bold));
    painter.drawText(p.rect(), Qt::AlignCenter, "Houndex");
    return p;
}

const char* const Web_Address = "www.houndex.example";
}  // namespace

frmAbout::frmAbout(IInterfaceKit* kit, QWidget* parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint) {
    setObjectName("frmAbout");
    setAttribute(Qt::WA_DeleteOnClose);
    const QString program = Q(Program_Display_Name());
    setWindowTitle("About " + program);
    auto* main = new QVBoxLayout(this);
    Menu_bar = new QMenuBar(this);
    main->setMenuBar(Menu_bar);
    menu_form = Menu_bar->addMenu("Form");
    menu_form->setObjectName("menu_form");
    connect(menu_form, &QMenu::aboutToShow, this, [this] { menu_form_Click(); });
    QAction* print = menu_form->addAction("Print");
    print->setObjectName("item_print");
    connect(print, &QAction::triggered, this, [this] { item_print_Click(); });
    menu_debug = Menu_bar->addMenu("Debug");
    menu_debug->setObjectName("menu_debug");
    QAction* formats = menu_debug->addAction("Date formats");
    formats->setObjectName("item_date_formats");
    connect(formats, &QAction::triggered, this, [this] { item_date_formats_Click(); });
    menu_debug->menuAction()->setVisible(false);

    auto label = [this](const char* name, const QString& text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(name);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        return l;
    };
    // Two columns, the program on the left and what it runs with on the right:
    // one column of frames is taller than a laptop screen.
    auto* columns = new QHBoxLayout();
    auto* left = new QVBoxLayout();
    auto* right = new QVBoxLayout();
    columns->addLayout(left);
    columns->addLayout(right);
    main->addLayout(columns);
    QVBoxLayout* column = left;
    auto framed = [&](const char* frame_name, const char* caption, QLabel* content) {
        auto* g = new QGroupBox(caption, this);
        g->setObjectName(frame_name);
        auto* l = new QVBoxLayout(g);
        content->setParent(g);
        l->addWidget(content);
        column->addWidget(g);
    };

    Picture_product = label("Picture_product", QString());
    Picture_product->setPixmap(Product_Picture());
    Picture_product->setAlignment(Qt::AlignHCenter);
    left->addWidget(Picture_product);
    Lbldescription = label("Lbldescription", program);
    Lbldescription->setFont(QFont("Arial", 14, QFont::Bold));
    left->addWidget(Lbldescription);
    Lbl_description_text = label("Lbl_description_text", "Houndex dog race timing");
    left->addWidget(Lbl_description_text);

    const std::string data_folder = Platform::Local_AppData_Folder();
    Label_userapp = label("Label_userapp", Q(data_folder));
    Label_userapp->setCursor(Qt::PointingHandCursor);
    Label_userapp->installEventFilter(this);
    framed("Frame_userapp", "USER Appdata folder at", Label_userapp);

    Lblversion =
        label("Lblversion",
              Q("Version " + std::to_string(Facts().Version_Major) + "." + std::to_string(Facts().Version_Minor) + "." +
                std::to_string(Facts().Version_Revision) + ", Compile date: " + Build_Date_Text()));
    Lbl_filedate = label("Lbl_filedate", Q("Program file date = " + FileDate()));
    {
        auto* g = new QGroupBox("Program Version info", this);
        g->setObjectName("Frame_version");
        auto* l = new QVBoxLayout(g);
        Lblversion->setParent(g);
        Lbl_filedate->setParent(g);
        l->addWidget(Lblversion);
        l->addWidget(Lbl_filedate);
        left->addWidget(g);
    }
    Lbl_AppFlags = label("Lbl_AppFlags", Q(Facts().OS_Version + ", " + Facts().OS_Bitness + "-bit"));
    framed("Frame_AppFlags", "Operating system", Lbl_AppFlags);
    left->addStretch();
    column = right;

    // A version that cannot be read leaves the frame's own caption as the text.
    const auto versions = Module_Diagnostics::Component_Versions(kit);
    const std::string capture = versions[0].Version;
    Lbl_pellcap = label("Lbl_pellcap", capture.empty() ? "GStreamer version" : Q("GStreamer: " + capture));
    framed("Frame_pellcap", "GStreamer version", Lbl_pellcap);
    Lbl_PellGraphics = label("Lbl_PellGraphics", Q("Picture operations: " + std::string(Picture_Ops::BlendVersion())));
    framed("Frame_PellGraphics", "Picture operations version", Lbl_PellGraphics);
    Label_phidget_version = label("Label_phidget_version", Q(versions[4].Version));
    framed("Frame_phidget_version", "Control Box version", Label_phidget_version);
    Label_ControlBox =
        label("Label_ControlBox", Q("Control Box serial: " + (kit ? kit->Serial_Text() : std::string("0"))));
    framed("Frame_ControlBox", "Houndex Control Box", Label_ControlBox);

    QString components;
    for (const auto& v : versions) {
        if (!components.isEmpty()) components += '\n';
        components += Q(v.Component + ": " + v.Version);
    }
    Lbl_components = label("Lbl_components", components);
    framed("Frame_components", "Component versions", Lbl_components);

    Lbldisclaimer = label("Lbldisclaimer", Q("All rights reserved. " + std::string(Web_Address)));
    Lbldisclaimer->setWordWrap(true);
    right->addStretch();
    main->addWidget(Lbldisclaimer);
    Command_OK = new QPushButton("OK", this);
    Command_OK->setObjectName("Command_OK");
    connect(Command_OK, &QPushButton::clicked, this, [this] { Command_OK_Click(); });
    main->addWidget(Command_OK, 0, Qt::AlignRight);
}

bool frmAbout::eventFilter(QObject* watched, QEvent* e) {
    if (watched == Label_userapp && e->type() == QEvent::MouseButtonRelease) Label_userapp_Click();
    return QWidget::eventFilter(watched, e);
}

void frmAbout::menu_form_Click() {
    if (Control_Key_Down()) menu_debug->menuAction()->setVisible(!menu_debug->menuAction()->isVisible());
}

void frmAbout::item_print_Click() {
    Run_Trapped("item_print_Click of Form frmAbout", [this] {
        IReport_Printer& printer = Report_Printer();
        if (!printer.Available()) {
            Platform::MsgBox("No printer availible");
            return;
        }
        const QImage picture = grab().toImage();
        QPrinter* device = printer.Begin_Job();
        if (!device) return;
        try {
            Print_Picture(*device, picture, 300, 1200);
        } catch (...) {
            printer.End_Job();
            throw;
        }
        printer.End_Job();
    });
}

std::vector<std::string> frmAbout::Date_Formats_Lines() {
    const Platform::DateTime n = Platform::Local_Now();
    const QDateTime now(QDate(n.year, n.month, n.day), QTime(n.hour, n.minute, n.second));
    const QLocale locale = QLocale::system();
    return {"date = " + locale.toString(now.date(), QLocale::ShortFormat).toStdString(),
            "time = " + now.time().toString("HH:mm:ss").toStdString(),
            "now = " + locale.toString(now, QLocale::ShortFormat).toStdString(), "ISODate = " + Date_Text(),
            "ISOnow = " + Date_Time_Text()};
}

void frmAbout::item_date_formats_Click() {
    std::string text;
    for (const auto& l : Date_Formats_Lines()) text += l + "\r\n";
    Platform::MsgBox(text);
}

void frmAbout::Label_userapp_Click() {
    Platform::Shell_Open(QUrl::fromLocalFile(Label_userapp->text()).toString().toStdString());
}

void frmAbout::Command_OK_Click() { close(); }
