#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include <QPoint>
#include <QPointer>
#include <QWidget>

#include "capture/Camera_Delay_Calibration.h"

class QLabel;
class QPushButton;
class QSpinBox;
class QTimer;
class QTreeWidget;
class cls_Capture_HDMI;

// What the calibration window needs of the program.
struct Camera_Delay_Host {
    // The camera runs and no heat runs: only then may the LED be switched.
    std::function<bool()> Ready;
    // Switches Control Box output 0 (the start LED).
    std::function<void(bool)> Switch_LED;
    // 1: the Goal camera is selected, 2: the Split camera.
    std::function<int()> Selected_Camera;
    // The compensation in use for that camera, ms.
    std::function<int32_t(int)> Compensation;
    // Stores a compensation for that camera (the setting, and the one in use).
    std::function<void(int, int32_t)> Store;
};

// "Calibrate camera delay": the official clicks the start LED in the live
// picture, starts, and gets every measurement, the median and the spread;
// an accepted median can be stored as the selected camera's compensation.
class Form_Camera_Delay : public QWidget {
    Q_OBJECT
public:
    // picture: the live picture the official clicks the LED in; its canvas
    // shows the crop picture stretched over the whole widget.
    Form_Camera_Delay(cls_Capture_HDMI& capture, QWidget* picture, Camera_Delay_Host host, QWidget* parent = nullptr);
    ~Form_Camera_Delay() override;

    // The LED's place in the crop picture (crop pixels), as a click would mark it.
    void Mark_LED(QPoint crop_px);
    std::optional<QPoint> LED_Place() const { return m_LED; }
    void Command_start_Click();
    void Command_stop_Click();
    void Command_store_Click();
    // What the window's timer does: the switch that is due, the verdict, the display.
    void Tick();
    // The Control Box wrote output index (0: the start LED) at stamp_mill
    // (IInterfaceKit::OnOutputWritten): the switch's time.
    void LED_Written(int index, bool lit, int32_t stamp_mill);
    const Camera_Delay_Calibration* Calibration() const { return m_Calibration.get(); }

    QLabel* Label_instructions = nullptr;
    QLabel* Label_LED_place = nullptr;
    QLabel* Picture_zoom = nullptr;
    QSpinBox* UpDown_switches = nullptr;
    QPushButton* Command_start = nullptr;
    QPushButton* Command_stop = nullptr;
    QLabel* Label_progress = nullptr;
    QTreeWidget* List_measurements = nullptr;
    QLabel* Label_result = nullptr;
    QPushButton* Command_store = nullptr;
    QPushButton* Command_close = nullptr;
    QTimer* Timer_switch = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void On_Frame();
    void Show_State();
    // The verdict, and the selected camera's compensation in use now.
    QString Result_Text() const;
    void Show_Zoom();
    int Camera() const;

    cls_Capture_HDMI& m_Capture;
    QPointer<QWidget> m_Picture;
    Camera_Delay_Host m_Host;
    std::optional<QPoint> m_LED;
    std::unique_ptr<Camera_Delay_Calibration> m_Calibration;
    size_t m_Shown_Measurements = 0;
};
