#include "capture/Form_select_Video.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "capture/Capture_State.h"
#include "capture/Module_HDMI_Support.h"
#include "capture/cls_Capture_HDMI.h"
#include "capture/Video_Cap_Factory.h"
#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "settings/Module_Ini.h"
#include "common/Module_dependant.h"
#include "common/Startup_Facts.h"

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
// Twips of the design, 15 to a pixel.
constexpr int Twips(int t) { return t / 15; }
constexpr int Max_Sources = 10;
}  // namespace

Form_select_Video::Form_select_Video(QWidget* parent) : QMainWindow(parent) {
    setObjectName("Form_select_Video");
    setWindowTitle("Select HDMI Video Source");
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* main = new QVBoxLayout(central);
    main->setContentsMargins(Twips(120), Twips(120), Twips(120), Twips(120));

    ListView_prop = new QTreeWidget(central);
    ListView_prop->setObjectName("ListView_prop");
    ListView_prop->setRootIsDecorated(false);
    ListView_prop->setFrameShape(QFrame::Box);
    ListView_prop->setFrameShadow(QFrame::Plain);
    ListView_prop->setColumnCount(4);
    ListView_prop->setHeaderLabels({"Sn", "Video Source", "Pn", "Properties"});
    const char* keys[] = {"srcnum", "source", "propnum", "prop"};
    const int widths[] = {400, 3500, 400, 2000};
    for (int c = 0; c < 4; ++c) {
        ListView_prop->headerItem()->setData(c, Qt::UserRole, QString(keys[c]));
        ListView_prop->setColumnWidth(c, Twips(widths[c]));
    }
    ListView_prop->setMinimumSize(Twips(9615), Twips(4435));
    ListView_prop->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(ListView_prop, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item, int) { ListView_prop_ItemClick(item); });
    main->addWidget(ListView_prop);

    auto* row = new QHBoxLayout();
    Frame_selection = new QGroupBox("Selection", central);
    Frame_selection->setObjectName("Frame_selection");
    auto* grid = new QGridLayout(Frame_selection);
    auto value = [&](const char* caption, const char* name, int r) {
        auto* l = new QLabel(caption, Frame_selection);
        grid->addWidget(l, r, 0);
        auto* v = new QLabel("0", Frame_selection);
        v->setObjectName(name);
        grid->addWidget(v, r, 1);
        return v;
    };
    Label_video_source = value("Source num", "Label_video_source", 0);
    Label_selected_friendly = value("Source name", "Label_selected_friendly", 1);
    Label_property_string = value("Property", "Label_property_string", 2);
    Label_property_num = value("Property num", "Label_property_num", 3);
    row->addWidget(Frame_selection, 1);

    auto* right = new QVBoxLayout();
    frame_Capture_rate = new QGroupBox("Capture frame rate", central);
    frame_Capture_rate->setObjectName("frame_Capture_rate");
    auto* fl = new QVBoxLayout(frame_Capture_rate);
    Check_limit_fps = new QCheckBox("Limit capture to 25 fps", frame_Capture_rate);
    Check_limit_fps->setObjectName("Check_limit_fps");
    // Saved at every change: the camera start of a later run reads it.
    Check_limit_fps->setChecked(Saved_Limit_Fps());
    Check_limit_fps->setToolTip(
        "A faster source is recorded at 25 pictures a second: the pictures between are dropped and a "
        "progressive source stays progressive. Untick it to record 50, 60 or 120 pictures a second.");
    connect(Check_limit_fps, &QCheckBox::toggled, this, [this](bool on) {
        Save_Limit_Fps(on);
        Show_Rate_Effect();
    });
    fl->addWidget(Check_limit_fps);
    Label_rate_effect = new QLabel(frame_Capture_rate);
    Label_rate_effect->setObjectName("Label_rate_effect");
    Label_rate_effect->setWordWrap(true);
    Label_rate_effect->setMaximumWidth(Twips(3600));
    fl->addWidget(Label_rate_effect);
    right->addWidget(frame_Capture_rate);
    auto button = [&](QPushButton*& b, const char* name, const char* caption, void (Form_select_Video::*slot)()) {
        b = new QPushButton(caption, central);
        b->setObjectName(name);
        connect(b, &QPushButton::clicked, this, [this, slot] { (this->*slot)(); });
        right->addWidget(b);
    };
    button(Command_enum2, "Command_enum2", "Enumerate Video sources", &Form_select_Video::Command_enum2_Click);
    button(Command_select_done, "Command_select_done", "Select Done", &Form_select_Video::Command_select_done_Click);
    button(Command_Cancel, "Command_Cancel", "Cancel", &Form_select_Video::Command_Cancel_Click);
    row->addLayout(right);
    main->addLayout(row);

    menu_form = menuBar()->addMenu("Form");
    menu_form->setObjectName("menu_form");
    item_copy_to_clipboard = menu_form->addAction("Form capture to ClipBoard");
    item_copy_to_clipboard->setObjectName("item_copy_to_clipboard");
    connect(item_copy_to_clipboard, &QAction::triggered, this, [this] { item_copy_to_clipboard_Click(); });
    item_iterate = menu_form->addAction("List contents to ClipBoard");
    item_iterate->setObjectName("item_iterate");
    connect(item_iterate, &QAction::triggered, this, [this] { item_iterate_Click(); });
    connect(menu_form, &QMenu::aboutToShow, this, [this] { menu_form_Click(); });

    // The debug entries have no function; the menu is kept for its look.
    menu_debug = menuBar()->addMenu("Debug");
    menu_debug->setObjectName("menu_debug");
    menu_debug->addAction("Show friendlyname & property");
    menu_debug->addAction("Get VCAP");
    menu_debug->addAction("Get Intervals");
    menu_debug->menuAction()->setVisible(false);
}

bool Form_select_Video::Limit_Fps() const { return Check_limit_fps->isChecked(); }

void Form_select_Video::Show_Rate_Effect() {
    Label_rate_effect->setText(m_Selected_Type ? Q(Rate_Effect_Text(*m_Selected_Type, Limit_Fps())) : QString());
}

void Form_select_Video::menu_form_Click() {
    if (Alt_Key_Down()) menu_debug->menuAction()->setVisible(!menu_debug->menuAction()->isVisible());
}

void Form_select_Video::Command_enum2_Click() {
    Do_Enum();
    Do_Select();
}

void Form_select_Video::Command_select_done_Click() {
    if (m_Selection_Made)
        hide();
    else
        Platform::MsgBox("No video source selected!");
}

void Form_select_Video::Command_Cancel_Click() { hide(); }

void Form_select_Video::Do_Enum() {
    int n = 0;
    try {
        std::unique_ptr<IVideoCap> cap = Create_Video_Cap();
        ListView_prop->clear();
        if (!cap) return;
        for (n = 1; n <= Max_Sources; ++n) {
            if (!cap->SelectSource("video:" + std::to_string(n))) break;
            const std::string name = cap->QueryString("sourceFriendlyName");
            int props = 0;
            try {
                props = std::stoi(cap->QueryString("numprops"));
            } catch (const std::invalid_argument&) {
                props = 0;
            } catch (const std::out_of_range&) {
                props = 0;
            }
            std::string previous;
            for (int p = 0; p < props; ++p) {
                const std::string description = Process_AMT(cap->Query_Media_Type(p));
                if (p > 0 && description == previous) continue;
                previous = description;
                auto* item = new QTreeWidgetItem(ListView_prop);
                item->setText(0, QString::number(n));
                item->setText(1, Q(name));
                item->setText(2, QString::number(p));
                item->setText(3, Q(description));
                const Media_Type type = cap->Query_Media_Type(p);
                item->setData(3, Qt::UserRole, QVariant::fromValue(type.AvgTimePerFrame));
                item->setData(3, Qt::UserRole + 1, static_cast<int>(type.Scan));
                item->setToolTip(3, Q(Rate_Effect_Text(type, false)));
                // A rate the program cannot take shows greyed (its tip says why).
                const bool known = type.Has_Format && type.AvgTimePerFrame > 0;
                if (known &&
                    !cls_Capture_HDMI::Source_Rate(Module_HDMI_Support::Round_Half_Even(1.0e7 / type.AvgTimePerFrame)))
                    item->setForeground(3, QBrush(Qt::gray));
            }
        }
    } catch (const std::exception& e) {
        Report_Exception(e, "Do_Enum of Form Form_select_Video", 0, std::to_string(n));
    }
}

void Form_select_Video::Do_Select() {
    for (int i = 0; i < ListView_prop->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = ListView_prop->topLevelItem(i);
        if (item->text(1) == Q(Capture_State::Saved_Friendly_Name) &&
            item->text(2) == Q(Capture_State::Saved_Video_Prop_Num)) {
            ListView_prop->setCurrentItem(item);
            item->setSelected(true);
            item->setForeground(1, QBrush(Qt::blue));
        }
    }
    Platform::Yield_Events();
}

void Form_select_Video::ListView_prop_ItemClick(QTreeWidgetItem* item) {
    if (!item) return;
    Label_video_source->setText(item->text(0));
    Label_selected_friendly->setText(item->text(1));
    Label_property_num->setText(item->text(2));
    Label_property_string->setText(item->text(3));
    m_Selected_Type = Media_Type{true, 0, 0, item->data(3, Qt::UserRole).toLongLong(),
                                 static_cast<Scan_Mode>(item->data(3, Qt::UserRole + 1).toInt())};
    Show_Rate_Effect();
    Write_Ini("capturesettings", "friendlyname", item->text(1).toStdString(), Facts().Ini_file_path);
    Write_Ini("capturesettings", "videoproperty", item->text(2).toStdString(), Facts().Ini_file_path);
    m_Selection_Made = true;
}

std::string Form_select_Video::List_Text() const {
    std::string text = "Video source enumeration at " + Date_Time_Text() + "\r\n" + "Program version " +
                       Facts().Program_Name + " " + std::to_string(Facts().Version_Major) + "." +
                       std::to_string(Facts().Version_Minor) + "." + std::to_string(Facts().Version_Revision) +
                       " Computer name " + Facts().Computer_Name + "\r\n";
    for (int i = 0; i < ListView_prop->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = ListView_prop->topLevelItem(i);
        text += item->text(0).toStdString() + "  " + item->text(1).toStdString() + "  " + item->text(2).toStdString() +
                "  " + item->text(3).toStdString() + "\r\n";
    }
    return text;
}

void Form_select_Video::item_iterate_Click() {
    Platform::Set_Clipboard_Text("");
    Platform::Set_Clipboard_Text(List_Text());
}

void Form_select_Video::item_copy_to_clipboard_Click() {
    Platform::Copy_Window_To_Clipboard(window());
    Do_Sleep(500, true);
}
