// The main window's side of the race programme: the programme panel over the
// picture, the heat selector, the event menu items and the dog names that go
// into each new recording.
#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "Form_Houndex.h"
#include "event/Form_event_registration.h"
#include "event/Form_heat_competitors.h"
#include "event/Module_Event_File.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/PictureBox.h"
#include "recording/cls_VideoFile_handler.h"
#include "review/Paint_Box.h"
#include "settings/Module_Ini.h"
#include "common/Module_dependant.h"
#include "common/Startup_Facts.h"

namespace {
std::string Loc(const char* procedure) { return std::string(procedure) + " of Form Form_Houndex"; }

QLabel* Framed_Label(QWidget* parent, QLayout* layout, const char* frame_caption, const char* frame_name,
                     const char* label_name) {
    auto* frame = new QGroupBox(frame_caption, parent);
    frame->setObjectName(frame_name);
    auto* inner = new QVBoxLayout(frame);
    inner->setContentsMargins(4, 2, 4, 2);
    auto* label = new QLabel(frame);
    label->setObjectName(label_name);
    inner->addWidget(label);
    layout->addWidget(frame);
    return label;
}
}  // namespace

void Form_Houndex::Build_Event_Controls() {
    Frame_dogs_Heat = new QGroupBox("Heat data", Frame_setup);
    Frame_dogs_Heat->setObjectName("Frame_dogs_Heat");
    Frame_dogs_Heat->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(Frame_dogs_Heat);
    Label_event_name = Framed_Label(Frame_dogs_Heat, layout, "Event name", "Frame_event_name", "Label_event_name");
    Command_hide = new QPushButton("Hide", Frame_dogs_Heat);
    Command_hide->setObjectName("Command_hide");
    connect(Command_hide, &QPushButton::clicked, this, [this] { Command_hide_Click(); });
    layout->addWidget(Command_hide);
    Label_event_file = Framed_Label(Frame_dogs_Heat, layout, "Event file name", "Frame_event_file", "Label_event_file");
    Label_heat_number2 = Framed_Label(Frame_dogs_Heat, layout, "Heat number", "Frame_heat_ID", "Label_heat_number2");
    Label_heat_name2 = Framed_Label(Frame_dogs_Heat, layout, "Heat name", "Frame1", "Label_heat_name2");
    auto* dogs = new QGroupBox("Dogs", Frame_dogs_Heat);
    dogs->setObjectName("Frame_dogs");
    auto* grid = new QGridLayout(dogs);
    for (int i = 0; i < 6; ++i) {
        auto* box = new Platform::PictureBox(dogs);
        box->setObjectName(QString("Picture_dognum_%1").arg(i));
        box->Set_Canvas_Size(24, 24);
        Picture_dognum[static_cast<size_t>(i)] = box;
        auto* name = new QLabel(dogs);
        name->setObjectName(QString("Label_dog_%1").arg(i));
        Label_dog[static_cast<size_t>(i)] = name;
        grid->addWidget(box, i, 0);
        grid->addWidget(name, i, 1);
    }
    layout->addWidget(dogs);
    // Long programme names wrap: the panel keeps the width of its column.
    for (QLabel* l : {Label_event_name, Label_event_file, Label_heat_number2, Label_heat_name2}) l->setWordWrap(true);
    for (QLabel* l : Label_dog) l->setWordWrap(true);
    Frame_dogs_Heat->setMaximumWidth(340);
    Frame_dogs_Heat->hide();
}

void Form_Houndex::Build_Event_Menus() {
    // After "Close Houndex file", in the order of the "Form" menu.
    QAction* before = item_displace_goalline;
    auto item = [this, before](const char* caption, const char* name) {
        auto* a = new QAction(caption, menu_form);
        a->setObjectName(name);
        menu_form->insertAction(before, a);
        return a;
    };
    item_delete_file = item("Delete this file", "item_delete_file");
    item_delete_file->setEnabled(false);  // switched off: recordings are kept
    item_event_registration = item("Event registration", "item_event_registration");
    item_open_event_file = item("Open Event file", "item_open_event_file");
    item_No_event_file = item("No Event File", "item_No_event_file");
    item_dog_names = item("Dog names", "item_dog_names");
    connect(item_event_registration, &QAction::triggered, this, [this] { item_event_registration_Click(); });
    connect(item_open_event_file, &QAction::triggered, this, [this] { item_open_event_file_Click(); });
    connect(item_No_event_file, &QAction::triggered, this, [this] { item_No_event_file_Click(); });
    connect(item_dog_names, &QAction::triggered, this, [this] { item_dog_names_Click(); });
    // The heat competitors window edits the reviewed recording: offered only while one is open.
    connect(menu_form, &QMenu::aboutToShow, this, [this] { item_dog_names->setEnabled(Review_File_Open()); });
}

void Form_Houndex::Display_Heat_Data() {
    try {
        const bool use = g_Use_Event_File && m_Registration;
        if (use) {
            const int heat = UpDown_heat->value();
            const std::string event = m_Registration->Event_name();
            const std::string heat_name = m_Registration->Heat_Name(heat);
            const std::string length = m_Registration->Heat_Length(heat);
            if (QWidget* frame = findChild<QWidget*>("Frame_heat")) frame->setVisible(true);
            Label_event_file->setText(QString::fromStdString(ParsePath(m_Registration->Event_File_Path(), 0)));
            Label_event_name->setText(QString::fromStdString(event));
            Label_heat_number2->setNum(heat);
            Label_heat_name2->setText(QString::fromStdString(heat_name));
            for (int box = 1; box <= 6; ++box) {
                Label_dog[static_cast<size_t>(box - 1)]->setText(
                    QString::fromStdString(m_Registration->Reg_Dog_Name(heat, box)));
                Paint_box(*Picture_dognum[static_cast<size_t>(box - 1)], box);
            }
            Label_day->setText(QString::fromStdString(m_Registration->Get_day()));
            Label_heat_num->setNum(heat);
            Label_heat_name->setText(QString::fromStdString(heat_name));
            Label_heat_name->setToolTip(QString::fromStdString(heat_name));
            Label_event->setText(QString::fromStdString(event));
            Label_event->setToolTip(QString::fromStdString(event));
            Label_heat_length->setText(QString::fromStdString(length.empty() ? length : length + " m"));
        } else {
            // Without a programme the panel shows the names a recording gets.
            const Recording_Names names = m_Heat.State().Names_For_New_Recording(nullptr);
            Label_heat_length->clear();
            Label_day->clear();
            Label_heat_num->setText(QString::fromStdString(names.heat_id));
            Label_heat_name->setText(QString::fromStdString(names.heat_name));
            Label_heat_name->setToolTip(QString::fromStdString(names.heat_name));
            Label_event->setText(QString::fromStdString(names.event));
            Label_event->setToolTip(QString::fromStdString(names.event));
        }
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("Display_Heat_Data"));
    }
}

void Form_Houndex::UpDown_heat_Change() {
    try {
        // The choice holds even while a review shows another heat's names.
        m_Heat.Select_Heat(UpDown_heat->value());
        if (Review_File_Open() || !g_Use_Event_File) return;
        Frame_dogs_Heat->show();
        Frame_dogs_Heat->raise();
        Display_Heat_Data();
        if (m_Registration) m_Registration->Show_Heat(UpDown_heat->value());
        Write_Ini("Settings", "Heat_ID", std::to_string(UpDown_heat->value()), Facts().Ini_file_path);
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("UpDown_heat_Change"));
    }
}

void Form_Houndex::Command_hide_Click() { Frame_dogs_Heat->hide(); }

void Form_Houndex::item_event_registration_Click() {
    if (!m_Registration) return;
    m_Registration->Show_Heat(m_Heat.Selected_Heat());
    m_Registration->show();
    m_Registration->raise();
}

void Form_Houndex::item_open_event_file_Click() {
    if (!m_Registration) return;
    m_Registration->item_open_event_file_Click();
    UpDown_heat_Change();
}

void Form_Houndex::item_No_event_file_Click() {
    try {
        if (m_Registration) m_Registration->No_Event_File();
        Store_Event_File("");
        g_Use_Event_File = false;
        if (m_Registration) m_Registration->Update_Event_file_name();
        Frame_dogs_Heat->hide();
        Display_Heat_Data();
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("item_No_event_file_Click"));
    }
}

void Form_Houndex::item_dog_names_Click() {
    try {
        if (!Review_File_Open() || !m_Registration) return Platform::Beep();
        if (!m_Competitors) {
            m_Competitors = new Form_heat_competitors(*obj_NX3_Handler, m_Registration->Event_Data(), this, this);
            m_Competitors->setWindowFlag(Qt::Window);
            m_Competitors->Form_Load();
            // The window edits the reviewed recording: it follows it, or closes with it.
            connect(this, &Form_Houndex::Review_Recording_Changed, m_Competitors.data(),
                    &Form_heat_competitors::Follow_Recording);
        }
        // The programme heat offered is the reviewed recording's own.
        const std::string id = obj_NX3_Handler->Hdx_Heat_ID();
        const bool numeric = !id.empty() && id.size() <= 3 && id.find_first_not_of("0123456789") == std::string::npos;
        m_Competitors->Preset_Heat(numeric ? std::stoi(id) : m_Heat.Selected_Heat());
        m_Competitors->show();
        m_Competitors->raise();
    } catch (const std::exception& e) {
        Report_Exception(e, Loc("item_dog_names_Click"));
    }
}

void Form_Houndex::Update_Dog_names(cls_VideoFile_handler& handler) {
    if (!m_Registration) return;
    const int programme_heat = m_Heat.Selected_Heat();
    m_Registration->Update_Dog_names(handler, programme_heat);
    handler.Set_Hdx_Heat_Length(m_Registration->Heat_Length(programme_heat));
}

Form_event_registration* Form_Houndex::Registration_Window() const { return m_Registration; }

Form_heat_competitors* Form_Houndex::Competitors_Window() const { return m_Competitors; }
