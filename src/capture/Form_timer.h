#pragma once
#include <functional>
#include <string>

#include <QWidget>

class QLabel;
class QTimer;

namespace Platform {
class PictureBox;
}

// The arm window: the time of day, the heat time and an arm that turns once a
// second with the hundredths of the clock. Ticks only while it is the active window.
class Form_timer : public QWidget {
    Q_OBJECT
public:
    explicit Form_timer(QWidget* parent = nullptr);

    // The caption of the main window's heat time label (the label is left alone while unset).
    std::function<std::string()> Heat_Time_Caption;

    void Timer1_Timer();
    // The number the arm follows: the two characters of the time caption from
    // the eleventh on, read as a number (0 when there are none).
    static double Arm_Value(const std::string& time_caption);

    Platform::PictureBox* Picture_arm;
    QLabel* Label_time;
    QLabel* Label_elapsed;
    QTimer* Timer1;

protected:
    void changeEvent(QEvent* e) override;
};
