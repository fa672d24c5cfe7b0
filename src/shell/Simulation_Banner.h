#pragma once
#include <QLabel>

// The red strip across the top of the main window while the camera or the
// Control Box is simulated: a heat timed that way must never pass for a real one.
class Simulation_Banner : public QLabel {
    Q_OBJECT
public:
    explicit Simulation_Banner(QWidget* parent = nullptr);
    // Shows the strip naming what is simulated, or hides it when nothing is.
    void Show_Sources(bool camera, bool control_box);
    static QString Text_For(bool camera, bool control_box);
};
