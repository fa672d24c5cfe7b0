#pragma once
#include <array>

#include <QWidget>

class IInterfaceKit;
class QCheckBox;
class QLabel;
class QPushButton;
class SimInterfaceKit;
namespace Platform {
class PictureBox;
}

// "Control Box simulator": the switches of the virtual Control Box, its start
// LED (output 0) and its USB plug, so a heat can be run without hardware.
//
// Keys while the window has the focus (auto-repeat ignored):
//   S  direct start line (input 2), closed while held
//   C  Goal capture trigger (input 3), held while the key is held
//   X  Split capture trigger (input 4), held while the key is held
//   R  remote start contact (input 0), closed while held
//   A  start lever (input 1), toggles armed / not armed
class Form_Control_Box_Simulator : public QWidget {
    Q_OBJECT
public:
    explicit Form_Control_Box_Simulator(SimInterfaceKit* kit, QWidget* parent = nullptr);

    // The simulator for the program's Control Box object, or nullptr when that
    // is not the virtual box (a real board needs no simulator).
    static Form_Control_Box_Simulator* For_Kit(IInterfaceKit* kit, QWidget* owner);

    // The keys above; also for a window that forwards its key events here.
    // True when the key is one of them.
    bool Key_Event(int key, bool down, bool auto_repeat);

    QCheckBox* Check_input(int index) const { return inputs_[index]; }
    QPushButton* Command_plug() const { return plug_; }
    Platform::PictureBox* Picture_sim_LED() const { return led_; }
    QLabel* Label_sim_state() const { return state_; }
    bool LED_Lit() const { return led_lit_; }

    // The meaning of each input, as the switches are labelled.
    static const char* Input_Meaning(int index);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;

private:
    void Show_LED(bool lit);
    void Show_State();

    SimInterfaceKit* kit_;
    std::array<QCheckBox*, 8> inputs_{};
    QPushButton* plug_ = nullptr;
    Platform::PictureBox* led_ = nullptr;
    QLabel* state_ = nullptr;
    bool led_lit_ = false;
};
