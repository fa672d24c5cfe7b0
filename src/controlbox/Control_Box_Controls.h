#pragma once
#include <array>

class QAbstractButton;
class QGroupBox;
class QLabel;
class QWidget;
class Shape_Control;
namespace Platform {
class PictureBox;
}

// The main-window controls the Control Box panel drives, by their names on the
// main window. Build_Control_Box_Controls creates the two panels with all their
// contents; the main window places them and fills in its own controls below
// (the buttons the panel enables, the Shape_circle1 indicators). Every pointer
// may be null: what is missing is left alone.
struct Control_Box_Controls {
    // Frame "Control Box" among the workflow buttons.
    QGroupBox* Frame_Control_box = nullptr;
    Platform::PictureBox* Picture_LED = nullptr;  // the start LED; mouse held = LED test
    std::array<QLabel*, 3> Label_GS{};            // items 0 ("Start") and 2 ("Capture")
    Shape_Control* Shape_start = nullptr;         // direct start line: yellow while closed
    QLabel* Label_attached = nullptr;             // "Not attached" / "Attached, serial = ..."
    QLabel* Label_remote_start = nullptr;         // "Start armed!" / "Start not armed!"
    Shape_Control* Shape_capture = nullptr;       // capture trigger: red while held
    QLabel* Label_RM = nullptr;                   // "RM open" / "RM closed"

    // Frame "Control status" shown over the video picture.
    QGroupBox* Frame_Control_status = nullptr;
    QAbstractButton* Command1 = nullptr;            // "Hide"
    QAbstractButton* Command_choose_box = nullptr;  // "Control Box...": opens the choice of board
    Platform::PictureBox* Picture_lamps = nullptr;  // remote, Goal and Split lamps
    QLabel* Label_lamps_caption = nullptr;          // "Remote           Goal                 Split"
    Shape_Control* Shape_RM_open = nullptr;         // remote lamp position
    std::array<Shape_Control*, 4> Shape_camera{};   // items 2 (Goal) and 3 (Split)
    Platform::PictureBox* Picture_armed_switch = nullptr;
    Shape_Control* Shape_lever = nullptr;
    Shape_Control* Shape_switchcenter = nullptr;
    QLabel* Label_Phidget_attached = nullptr;  // "Attached, serial = "

    // Directly on the main window (not created by the builder).
    std::array<Shape_Control*, 4> Shape_circle1{};  // items 2 and 3 follow Shape_camera
    QWidget* Command_start_heat = nullptr;          // "Start heat": needs an attached box
    QWidget* Command_initiate_file = nullptr;       // "Initiate file"
};

// Creates "Control Box" as a child of controls_parent and "Control status" as a
// child of status_parent (the video picture), with their contents and names.
Control_Box_Controls Build_Control_Box_Controls(QWidget* controls_parent, QWidget* status_parent);
