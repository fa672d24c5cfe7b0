#include "controlbox/Form_Control_Box_Simulator.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "controlbox/SimInterfaceKit.h"
#include "platform/PictureBox.h"

const char* Form_Control_Box_Simulator::Input_Meaning(int index) {
    static const char* const meanings[] = {
        "Remote start contact (RM)",
        "Start lever armed",
        "Direct start line",
        "Goal camera capture trigger",
        "Split camera capture trigger",
        "Second Goal capture trigger",
        "Not used",
        "Not used",
    };
    return index >= 0 && index < 8 ? meanings[index] : "";
}

Form_Control_Box_Simulator::Form_Control_Box_Simulator(SimInterfaceKit* kit, QWidget* parent)
    : QWidget(parent, Qt::Window), kit_(kit) {
    setObjectName("Form_Control_Box_Simulator");
    setWindowTitle("Control Box simulator");
    auto* col = new QVBoxLayout(this);

    auto* box = new QGroupBox("Inputs", this);
    auto* box_layout = new QVBoxLayout(box);
    for (int i = 0; i < 8; ++i) {
        auto* c = new QCheckBox(QString("%1  %2").arg(i).arg(Input_Meaning(i)), box);
        c->setObjectName(QString("Check_input_%1").arg(i));
        c->setChecked(kit_ && kit_->Switch_Level(i));
        connect(c, &QCheckBox::toggled, this, [this, i](bool on) {
            if (kit_) kit_->Set_Input(i, on);
        });
        box_layout->addWidget(c);
        inputs_[i] = c;
    }
    col->addWidget(box);

    auto* row = new QHBoxLayout();
    led_ = new Platform::PictureBox(this);
    led_->setObjectName("Picture_sim_LED");
    led_->Set_Back_Color(palette().color(QPalette::Window));
    led_->Set_Canvas_Size(28, 28);
    row->addWidget(led_);
    row->addWidget(new QLabel("Start LED (output 0)", this));
    row->addStretch(1);
    plug_ = new QPushButton(this);
    plug_->setObjectName("Command_plug");
    row->addWidget(plug_);
    col->addLayout(row);

    state_ = new QLabel(this);
    state_->setObjectName("Label_sim_state");
    col->addWidget(state_);
    auto* keys = new QLabel(
        "Keys: S start line (held), C Goal capture (held), X Split capture (held),\n"
        "R remote contact (held), A start lever (toggle)",
        this);
    keys->setObjectName("Label_sim_keys");
    col->addWidget(keys);

    connect(plug_, &QPushButton::clicked, this, [this] {
        if (kit_) kit_->Set_Plugged(!kit_->Plugged());
        Show_State();
    });
    if (kit_) {
        connect(kit_, &SimInterfaceKit::Output_Changed, this, [this](int index, bool state) {
            if (index == 0) Show_LED(state);
        });
        connect(kit_, &IInterfaceKit::OnAttach, this, [this](int32_t) { Show_State(); });
        connect(kit_, &IInterfaceKit::OnDetach, this, [this](int32_t) { Show_State(); });
        connect(kit_, &QObject::destroyed, this, [this] { kit_ = nullptr; });
    }
    setFocusPolicy(Qt::StrongFocus);
    Show_LED(kit_ && kit_->OutputState(0));
    Show_State();
}

Form_Control_Box_Simulator* Form_Control_Box_Simulator::For_Kit(IInterfaceKit* kit, QWidget* owner) {
    auto* sim = dynamic_cast<SimInterfaceKit*>(kit);
    return sim ? new Form_Control_Box_Simulator(sim, owner) : nullptr;
}

void Form_Control_Box_Simulator::Show_LED(bool lit) {
    led_lit_ = lit;
    led_->Cls();
    led_->Set_Draw_Width(2);
    const double c = led_->Scale_Width() / 2;
    led_->Circle(c, c, c - 3, lit ? QColor(255, 255, 0) : QColor(100, 100, 100), true);
    led_->Circle(c, c, c - 3, Qt::black, false);
    led_->Refresh();
}

void Form_Control_Box_Simulator::Show_State() {
    if (!kit_) {
        state_->setText("No Control Box");
        plug_->setEnabled(false);
        return;
    }
    plug_->setText(kit_->Plugged() ? "Detach" : "Attach");
    QString text = kit_->Plugged() ? "Plugged in" : "Unplugged";
    text += kit_->IsAttached() ? ", attached, serial = " + QString::number(kit_->SerialNumber()) : ", not attached";
    state_->setText(text);
}

bool Form_Control_Box_Simulator::Key_Event(int key, bool down, bool auto_repeat) {
    int input = -1;
    bool toggle = false;
    switch (key) {
        case Qt::Key_S: input = 2; break;
        case Qt::Key_C: input = 3; break;
        case Qt::Key_X: input = 4; break;
        case Qt::Key_R: input = 0; break;
        case Qt::Key_A:
            input = 1;
            toggle = true;
            break;
        default: return false;
    }
    if (auto_repeat) return true;
    if (toggle) {
        if (down) inputs_[input]->toggle();
    } else {
        inputs_[input]->setChecked(down);
    }
    return true;
}

void Form_Control_Box_Simulator::keyPressEvent(QKeyEvent* e) {
    if (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier) || !Key_Event(e->key(), true, e->isAutoRepeat()))
        QWidget::keyPressEvent(e);
}

void Form_Control_Box_Simulator::keyReleaseEvent(QKeyEvent* e) {
    if (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier) || !Key_Event(e->key(), false, e->isAutoRepeat()))
        QWidget::keyReleaseEvent(e);
}
