#pragma once
#include <cstdint>
#include <string>

#include <QMainWindow>
#include <QPointer>

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class cls_Capture_HDMI;

namespace Platform {
class PictureBox;
}

// Watches the capture stream frame by frame: a scrolling bar graph of the time
// between frames (one pixel per millisecond, reference lines at 20, 40 and 80),
// frames received against frames expected at the nominal rate, and the source
// and machine. Fed once per frame by the race workflow while it is visible.
class Form_HDMI_performance : public QMainWindow {
    Q_OBJECT
public:
    explicit Form_HDMI_performance(QWidget* parent = nullptr);
    ~Form_HDMI_performance() override;

    // The main window's "HDMI performance" command: refuses with "No active
    // HDMI source!" until a camera run has delivered 31 frames; otherwise
    // toggles the menu item's check mark and opens (filled) or unloads the window.
    static void Menu_Command(cls_Capture_HDMI& capture, QAction* menu_item, QPointer<Form_HDMI_performance>& form,
                             QWidget* parent = nullptr);
    // "min max fps: " + 10000000 / max interval + "/" + 10000000 / min interval
    // (one decimal); empty when the intervals are not numbers.
    static std::string Fill_MinMax_Text(const std::string& max_interval, const std::string& min_interval);

    void HDMI_event(int32_t last_capture_mill, int32_t last_capture_delta);
    void Reset_Counters();
    void Show_Properties(const std::string& text);
    void HDMI_Dimensions(const std::string& text);
    void Fill_min_max_fps(const std::string& text);

    void Command_Hide_Me_Click();
    void Command_copy_to_clipboard_Click();
    void Command_Print_Form_Click();
    void item_copy_to_clipboard_Click();
    void item_random_delta_Click();
    void Label_frames_lost_Click();

    int32_t Perf_Received() const { return m_Perf_Received; }
    int32_t Perf_Start_Mill() const { return m_Perf_Start_Mill; }
    QString Caption_Text() const;

    Platform::PictureBox* Picture_Delta_Scroll;
    Platform::PictureBox* Picture_Scale;
    Platform::PictureBox* Picture_delta_scroll_lines;
    QLabel* Label_Frames_received;
    QLabel* Label_frames_Calculated;
    QLabel* Label_frames_lost;
    QLabel* Label_HDMI_dimensions;
    QLabel* Label_prop;
    QLabel* Label_Windows_version;
    QLabel* Lbl_PC_info;
    QLabel* Label_min_max_fps;
    QMenu* menu_debug;
    QTimer* Timer_delta;

signals:
    // The window is going away (the menu item loses its check mark).
    void Unloaded();

protected:
    void showEvent(QShowEvent* e) override;
    void changeEvent(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void Form_Activate();
    void Draw_Scale();
    void Plot_Bar(int32_t delta);
    void Print_Image(const QImage& image);

    QGroupBox* Frame_performance;
    QLabel* Label_header;
    QPushButton* Command_Hide_Me;
    QPushButton* Command_copy_to_clipboard;
    QPushButton* Command_Print_Form;
    QMenu* menu_form;
    QAction* item_random_delta;
    int32_t m_Perf_Start_Mill = 0;
    int32_t m_Perf_Received = 0;
    double m_Scale_Text_Width = 0;
    bool m_Unloading = false;
};
