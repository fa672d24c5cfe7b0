#pragma once
#include <memory>
#include <string>

#include <QMainWindow>

#include "platform/Single_Instance.h"

class QAction;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QMenu;
class QSlider;
class QSpinBox;
class Keyboard_Hook;
namespace Platform {
class PictureBox;
}

// The main window: start-up object of the program, owner of every subsystem.
class Form_Houndex : public QMainWindow {
    Q_OBJECT
public:
    explicit Form_Houndex(std::string command_line = std::string(), QWidget* parent = nullptr);
    ~Form_Houndex() override;

    // The start-up sequence. False when the program must end at once (a fatal
    // start-up condition); the message has then been shown.
    bool Form_Load();
    void Form_Activate();
    // Closing by the close box: removes the keyboard hook, then Houndex_End.
    void Form_QueryUnload();
    void Houndex_End();

    // Keyboard hook callback: true when the key was handled and goes no further.
    bool IWindowsHook_HookProc(QKeyEvent* key);

    const std::string& Startup_File() const { return m_Startup_File; }
    bool Terminated() const { return m_Terminated; }
    int Max_Picture_Height() const { return m_Max_Picture_Height; }
    Keyboard_Hook* Hook() const { return m_Hook.get(); }

    // Compensations and box delay, re-read after each change in the settings window.
    void Load_Compensations();
    int32_t m_Goal_Compensation = 200;
    int32_t m_Split_Compensation = 200;
    int32_t m_Box_Delay = 0;

protected:
    void closeEvent(QCloseEvent* e) override;
    bool event(QEvent* e) override;

private:
    void Build_Controls();
    void Build_Menus();
    void Terminate();

    // Steps of the start-up sequence whose subsystems are built with later features.
    bool Verify_Phidgets();
    void Check_For_Phidget();
    void Check_Attached();
    void load_Capture_Folder();
    void Read_Last_Crop();
    void Read_Goal_Lines();
    void Stop_Camera();
    void Handle_Open(const std::string& path);

    std::string m_Command_Line;
    std::string m_Startup_File;
    bool m_Terminated = false;
    int m_Max_Picture_Height = 0;
    Platform::Single_Instance m_Instance;
    std::unique_ptr<Keyboard_Hook> m_Hook;

public:
    // Controls touched by start-up and shutdown (the other controls come with their features).
    QWidget* Frame_controls = nullptr;
    QGroupBox* Frame_settimes = nullptr;
    Platform::PictureBox* Picture_out = nullptr;
    QSpinBox* UpDown_heat = nullptr;
    QLabel* Label_event = nullptr;
    QLabel* Label_read_framesize = nullptr;
    QSlider* Slider_play = nullptr;
    QLabel* Picture_LED = nullptr;
    QMenu* menu_settings = nullptr;
    QMenu* menu_debug = nullptr;
    QMenu* Menu_assign_times = nullptr;
    QMenu* menu_specials = nullptr;
    QMenu* Menu_notime = nullptr;
    QAction* item_Exit = nullptr;
};
