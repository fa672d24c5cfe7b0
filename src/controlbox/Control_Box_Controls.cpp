#include "controlbox/Control_Box_Controls.h"

#include <cmath>

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "controlbox/Shape_Control.h"
#include "platform/PictureBox.h"

namespace {

QLabel* Label(const char* name, const QString& caption, QWidget* parent) {
    auto* l = new QLabel(caption, parent);
    l->setObjectName(name);
    return l;
}

Shape_Control* Shape(const char* name, Shape_Control::Kind kind, const QRect& at, QWidget* parent) {
    auto* s = new Shape_Control(kind, parent);
    s->setObjectName(name);
    s->setGeometry(at);
    s->setFixedSize(at.size());
    return s;
}

Platform::PictureBox* Picture(const char* name, int w, int h, const QColor& back, QWidget* parent) {
    auto* p = new Platform::PictureBox(parent);
    p->setObjectName(name);
    p->Set_Back_Color(back);
    p->Set_Canvas_Size(w, h);
    p->Cls();
    return p;
}

}  // namespace

Control_Box_Controls Build_Control_Box_Controls(QWidget* controls_parent, QWidget* status_parent) {
    Control_Box_Controls c;
    const QColor face = controls_parent ? controls_parent->palette().color(QPalette::Button) : QColor(Qt::lightGray);

    // --- "Control Box" ---
    c.Frame_Control_box = new QGroupBox("Control Box", controls_parent);
    c.Frame_Control_box->setObjectName("Frame_Control_box");
    auto* grid = new QGridLayout(c.Frame_Control_box);
    c.Picture_LED = Picture("Picture_LED", 24, 24, face, c.Frame_Control_box);
    c.Label_GS[0] = Label("Label_GS_0", "Start", c.Frame_Control_box);
    c.Shape_start = new Shape_Control(Shape_Control::Kind::Circle, c.Frame_Control_box);
    c.Shape_start->setObjectName("Shape_start");
    c.Shape_start->setFixedSize(16, 16);
    c.Label_attached = Label("Label_attached", "Not attached", c.Frame_Control_box);
    c.Label_remote_start = Label("Label_remote_start", "Remote start", c.Frame_Control_box);
    c.Label_GS[2] = Label("Label_GS_2", "Capture", c.Frame_Control_box);
    c.Shape_capture = new Shape_Control(Shape_Control::Kind::Circle, c.Frame_Control_box);
    c.Shape_capture->setObjectName("Shape_capture");
    c.Shape_capture->setFixedSize(16, 16);
    c.Label_RM = Label("Label_RM", "RM open", c.Frame_Control_box);
    grid->addWidget(c.Picture_LED, 0, 0, 2, 1, Qt::AlignCenter);
    grid->addWidget(c.Label_GS[0], 0, 1);
    grid->addWidget(c.Shape_start, 0, 2);
    grid->addWidget(c.Label_attached, 0, 3);
    grid->addWidget(c.Label_GS[2], 1, 1);
    grid->addWidget(c.Shape_capture, 1, 2);
    grid->addWidget(c.Label_RM, 1, 3);
    grid->addWidget(c.Label_remote_start, 2, 0, 1, 4);

    // --- "Control status" ---
    c.Frame_Control_status = new QGroupBox("Control status", status_parent);
    c.Frame_Control_status->setObjectName("Frame_Control_status");
    c.Frame_Control_status->setAutoFillBackground(true);
    auto* col = new QVBoxLayout(c.Frame_Control_status);
    auto* row = new QHBoxLayout();
    c.Picture_lamps = Picture("Picture_lamps", 270, 96, face, c.Frame_Control_status);
    c.Label_lamps_caption =
        Label("Label_lamps_caption", "Remote           Goal                 Split", c.Picture_lamps);
    c.Label_lamps_caption->setGeometry(12, 4, 250, 18);
    c.Label_lamps_caption->setAttribute(Qt::WA_TransparentForMouseEvents);
    c.Shape_RM_open = Shape("Shape_RM_open", Shape_Control::Kind::Circle, QRect(14, 30, 56, 56), c.Picture_lamps);
    c.Shape_camera[2] = Shape("Shape_camera_2", Shape_Control::Kind::Circle, QRect(104, 30, 56, 56), c.Picture_lamps);
    c.Shape_camera[3] = Shape("Shape_camera_3", Shape_Control::Kind::Circle, QRect(194, 30, 56, 56), c.Picture_lamps);
    // The lamps are drawn into the picture; the shapes only ring them.
    for (Shape_Control* s : {c.Shape_RM_open, c.Shape_camera[2], c.Shape_camera[3]}) {
        s->Set_Filled(false);
        s->Set_Border_Width(2);
    }
    c.Picture_armed_switch = Picture("Picture_armed_switch", 90, 96, QColor(255, 192, 192), c.Frame_Control_status);
    c.Shape_lever = Shape("Shape_lever", Shape_Control::Kind::Rectangle, QRect(40, 60, 10, 40), c.Picture_armed_switch);
    c.Shape_lever->Set_Fill_Color(QColor(64, 64, 64));
    const int pivot = static_cast<int>(std::lround(96 / 1.6));
    c.Shape_switchcenter =
        Shape("Shape_switchcenter", Shape_Control::Kind::Circle, QRect(39, pivot - 6, 12, 12), c.Picture_armed_switch);
    c.Shape_switchcenter->Set_Fill_Color(Qt::black);
    row->addWidget(c.Picture_lamps);
    row->addWidget(c.Picture_armed_switch);
    col->addLayout(row);
    auto* bottom = new QHBoxLayout();
    c.Label_Phidget_attached = Label("Label_Phidget_attached", "Attached, serial = ", c.Frame_Control_status);
    auto* hide = new QPushButton("Hide", c.Frame_Control_status);
    hide->setObjectName("Command1");
    c.Command1 = hide;
    auto* choose = new QPushButton("Control Box...", c.Frame_Control_status);
    choose->setObjectName("Command_choose_box");
    c.Command_choose_box = choose;
    // The serial text can be long (a simulator says so): it wraps, the buttons keep their room.
    c.Label_Phidget_attached->setWordWrap(true);
    col->addWidget(c.Label_Phidget_attached);
    bottom->addStretch(1);
    bottom->addWidget(choose);
    bottom->addWidget(hide);
    col->addLayout(bottom);
    return c;
}
