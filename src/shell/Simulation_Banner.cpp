#include "Simulation_Banner.h"

Simulation_Banner::Simulation_Banner(QWidget* parent) : QLabel(parent) {
    setObjectName("Label_simulated");
    setAlignment(Qt::AlignCenter);
    setStyleSheet("QLabel { background: rgb(200, 0, 0); color: white; font: bold 14pt; padding: 4px; }");
    hide();
}

QString Simulation_Banner::Text_For(bool camera, bool control_box) {
    QString what;
    if (camera && control_box) {
        what = "SIMULATED CAMERA AND CONTROL BOX";
    } else if (camera) {
        what = "SIMULATED CAMERA";
    } else if (control_box) {
        what = "SIMULATED CONTROL BOX";
    } else {
        return {};
    }
    return what + ": not a real race";
}

void Simulation_Banner::Show_Sources(bool camera, bool control_box) {
    const QString text = Text_For(camera, control_box);
    setText(text);
    setVisible(!text.isEmpty());
}
