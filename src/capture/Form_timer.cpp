#include "capture/Form_timer.h"

#include <QEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include "capture/Running_Arm.h"
#include "platform/PictureBox.h"
#include "common/Module_dependant.h"

namespace {
constexpr uint32_t Arm_Blue = 0xFF0000;  // blue in blue-green-red order
}

Form_timer::Form_timer(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("Form_timer");
    setWindowTitle("Timer");
    auto* main = new QVBoxLayout(this);
    Picture_arm = new Platform::PictureBox(this);
    Picture_arm->setObjectName("Picture_arm");
    Picture_arm->Set_Canvas_Size(120, 120);
    Picture_arm->Cls();
    main->addWidget(Picture_arm, 0, Qt::AlignHCenter);
    const QFont arial("Arial", 24);
    Label_time = new QLabel("11:12:13,14", this);
    Label_time->setObjectName("Label_time");
    Label_time->setFont(arial);
    main->addWidget(Label_time);
    Label_elapsed = new QLabel("11:12:13,14", this);
    Label_elapsed->setObjectName("Label_elapsed");
    Label_elapsed->setFont(arial);
    main->addWidget(Label_elapsed);
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(40);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
}

void Form_timer::changeEvent(QEvent* e) {
    if (e->type() == QEvent::ActivationChange) {
        if (isActiveWindow())
            Timer1->start();
        else
            Timer1->stop();
    }
    QWidget::changeEvent(e);
}

double Form_timer::Arm_Value(const std::string& time_caption) {
    // Characters 11 and 12 (1-based), read like a number: leading digits only.
    if (time_caption.size() < 11) return 0.0;
    const std::string text = time_caption.substr(10, 2);
    double value = 0.0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        value = value * 10 + (c - '0');
    }
    return value;
}

void Form_timer::Timer1_Timer() {
    const std::string caption = Display_Mill_Time(Local_Mill(), false);
    Label_time->setText(QString::fromStdString(caption));
    Running_Arm::Draw(*Picture_arm, Running_Arm::Angle(Arm_Value(caption), 99.0), Arm_Blue);
    if (Heat_Time_Caption) Label_elapsed->setText(QString::fromStdString(Heat_Time_Caption()));
}
