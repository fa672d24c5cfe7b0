#include "event/Form_heat_competitors.h"

#include <QAction>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "event/Event_File.h"
#include "event/IEvent_Host.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/HdxError.h"
#include "recording/cls_VideoFile_handler.h"
#include "review/Official_Record.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

template <typename F>
void Trapped(const char* procedure, F&& body) {
    Run_Trapped(std::string(procedure) + " of Form Form_heat_competitors", std::forward<F>(body));
}

}  // namespace

Form_heat_competitors::Form_heat_competitors(cls_VideoFile_handler& recording, const Event_File& programme,
                                             IEvent_Host* host, QWidget* owner)
    : QMainWindow(owner, Qt::Window), m_Recording(recording), m_Programme(programme), m_Host(host) {
    setObjectName("Form_heat_competitors");
    setWindowTitle("Houndex HDMI heat competitors");
    setAttribute(Qt::WA_DeleteOnClose);

    menu_form = menuBar()->addMenu("Form");
    menu_form->setObjectName("menu_form");
    item_hide = menu_form->addAction("Hide");
    item_hide->setObjectName("item_hide");
    connect(item_hide, &QAction::triggered, this, [this] { item_hide_Click(); });

    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* main = new QVBoxLayout(central);

    Frame_heat_name = new QGroupBox("Heat name", central);
    Frame_heat_name->setObjectName("Frame_heat_name");
    auto* hl = new QVBoxLayout(Frame_heat_name);
    Text_Heat_name = new QLineEdit(Frame_heat_name);
    Text_Heat_name->setObjectName("Text_Heat_name");
    hl->addWidget(Text_Heat_name);
    main->addWidget(Frame_heat_name);
    connect(Text_Heat_name, &QLineEdit::textChanged, this, [this] { Text_Heat_name_Change(); });

    Label_dogs_in_heat = new QLabel("Dogs in this heat", central);
    Label_dogs_in_heat->setObjectName("Label_dogs_in_heat");
    main->addWidget(Label_dogs_in_heat);
    Label_boxes = new QLabel("1  2  3  4  5  6 ", central);
    Label_boxes->setObjectName("Label_boxes");
    main->addWidget(Label_boxes);
    for (int b = 1; b <= Boxes_Shown; ++b) {
        auto* field = new QLineEdit(central);
        field->setObjectName(QString("Text_dog_name_%1").arg(b));
        m_Text_dog_name[static_cast<size_t>(b - 1)] = field;
        main->addWidget(field);
        connect(field, &QLineEdit::textChanged, this, [this, b] { Text_dog_name_Change(b); });
    }

    auto* row = new QHBoxLayout();
    UpDown_heat = new QSpinBox(central);
    UpDown_heat->setObjectName("UpDown_heat");
    UpDown_heat->setRange(1, 100);
    UpDown_heat->setValue(1);
    UpDown_heat->setKeyboardTracking(false);
    Label_heatno = new QLabel("1", central);
    Label_heatno->setObjectName("Label_heatno");
    Command_update = new QPushButton("Update current file", central);
    Command_update->setObjectName("Command_update");
    row->addWidget(UpDown_heat);
    row->addWidget(Label_heatno);
    row->addStretch(1);
    row->addWidget(Command_update);
    main->addLayout(row);
    connect(UpDown_heat, &QSpinBox::valueChanged, this, [this](int v) { UpDown_heat_Change(v); });
    connect(Command_update, &QPushButton::clicked, this, [this] { Command_update_Click(); });
}

bool Form_heat_competitors::Recording_Open() const {
    // The handler is the main window's: by now it may hold another recording.
    return !m_For_File.empty() && m_Recording.File_open() && m_Recording.File_name() == m_For_File;
}

bool Form_heat_competitors::May_Change() {
    // Names typed here are stored key by key: an official heat, whose every
    // change needs a reason, is corrected in the results window instead.
    const bool official = !m_Recording.Read_only() && Official_Record::Read_Declaration(m_Recording).official;
    if (!m_Recording.Read_only() && !official) return true;
    if (!m_Told_Read_Only) {
        m_Told_Read_Only = true;
        Platform::MsgBox(official ? Official_Text : "File is read only!");
    }
    return false;
}

void Form_heat_competitors::Store_Names() {
    if (m_Choosing_Heat) {
        m_Store_Pending = true;
        return;
    }
    m_Recording.Write_XML_Header();
    if (m_Host) m_Host->Handle_results();
}

void Form_heat_competitors::Form_Load() {
    m_Names_Changed = false;
    m_Told_Read_Only = false;
    m_For_File = m_Recording.File_open() ? m_Recording.File_name() : std::string();
    if (!Recording_Open()) return;
    Trapped("Form_Load", [&] {
        // Showing the recording's own names is no edit.
        m_Loading = true;
        for (int b = 1; b <= Boxes_Shown; ++b)
            Text_dog_name(b)->setText(Q(m_Recording.Hdx_Dog_name(static_cast<int16_t>(b))));
        Text_Heat_name->setText(Q(m_Recording.Hdx_Heat_Name()));
        m_Loading = false;
    });
    m_Loading = false;
}

void Form_heat_competitors::Follow_Recording() {
    if (m_Unloaded) return;
    if (m_Recording.File_open())
        Form_Load();
    else
        close();
}

void Form_heat_competitors::Preset_Heat(int heat) {
    if (heat < UpDown_heat->minimum() || heat > UpDown_heat->maximum()) return;
    const QSignalBlocker block(UpDown_heat);
    UpDown_heat->setValue(heat);
    Label_heatno->setText(QString::number(heat));
}

void Form_heat_competitors::UpDown_heat_Change(int heat) {
    Trapped("UpDown_heat_Change", [&] {
        // A heat the programme has nothing for would blank every name.
        bool any = m_Programme.Is_Loaded() && !m_Programme.Heat_Name(heat).empty();
        for (int b = 1; b <= Boxes_Shown && !any; ++b) any = !m_Programme.Reg_Dog_Name(heat, b).empty();
        if (!any) {
            Trace("*No programme for heat " + std::to_string(heat));
            Platform::Beep();
            return;
        }
        Label_heatno->setText(QString::number(heat));
        // The text changes that follow are edits: with a recording open the
        // heat's programme replaces the recording's names, written once.
        m_Choosing_Heat = true;
        m_Store_Pending = false;
        for (int b = 1; b <= Boxes_Shown; ++b) Text_dog_name(b)->setText(Q(m_Programme.Reg_Dog_Name(heat, b)));
        Text_Heat_name->setText(Q(m_Programme.Heat_Name(heat)));
        m_Choosing_Heat = false;
        if (m_Store_Pending) Store_Names();
        m_Store_Pending = false;
    });
}

void Form_heat_competitors::Text_dog_name_Change(int box) {
    if (m_Loading || !Recording_Open()) return;
    Trapped("Text_dog_name_Change", [&] {
        if (!May_Change()) return;
        m_Recording.Set_Hdx_Dog_name(static_cast<int16_t>(box), Text_dog_name(box)->text().toStdString());
        m_Names_Changed = true;
        Store_Names();
    });
}

void Form_heat_competitors::Text_Heat_name_Change() {
    if (m_Loading) return;
    Label_heatno->setText(QString::number(UpDown_heat->value()));
    if (!Recording_Open()) return;
    Trapped("Text_Heat_name_Change", [&] {
        if (!May_Change()) return;
        m_Recording.Set_Hdx_Heat_Name(Text_Heat_name->text().toStdString());
        m_Names_Changed = true;
        Store_Names();
    });
}

void Form_heat_competitors::Command_update_Click() {
    if (!Recording_Open()) return;
    Trapped("Command_update_Click", [&] {
        if (!May_Change()) return;
        for (int b = 1; b <= Boxes_Shown; ++b)
            m_Recording.Set_Hdx_Dog_name(static_cast<int16_t>(b), Text_dog_name(b)->text().toStdString());
        m_Names_Changed = true;
        Store_Names();
    });
}

void Form_heat_competitors::item_hide_Click() { close(); }

void Form_heat_competitors::Form_Unload() {
    if (m_Unloaded) return;
    m_Unloaded = true;
    Trapped("Form_Unload", [&] {
        if (m_Host) m_Host->Display_Result_Array();
    });
}

void Form_heat_competitors::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}
