// The main window's part in measuring the camera delay: the menu command that
// opens the calibration window, and the simulated start LED.
#include <QLineEdit>

#include "Form_Houndex.h"
#include "capture/Form_Camera_Delay.h"
#include "capture/SimVideoCap.h"
#include "capture/cls_Capture_HDMI.h"
#include "controlbox/IInterfaceKit.h"
#include "controlbox/SimInterfaceKit.h"
#include "platform/Clock.h"
#include "platform/Error_Entry.h"
#include "platform/PictureBox.h"
#include "platform/System_Info.h"
#include "platform/Window_Fit.h"
#include "settings/Form_Houndex_settings.h"
#include "settings/Module_Ini.h"
#include "common/Startup_Facts.h"

void Form_Houndex::item_calibrate_delay_Click() {
    try {
        if (!obj_Capture_HDMI) return;
        if (!m_Calibration) {
            Camera_Delay_Host host;
            host.Ready = [this] { return obj_Capture_HDMI && obj_Capture_HDMI->Running() && !m_Heat.Running(); };
            host.Switch_LED = [this](bool lit) {
                if (obj_Phidget) obj_Phidget->Set_OutputState(0, lit);
            };
            host.Selected_Camera = [this] { return int{m_Selected_Camera}; };
            host.Compensation = [this](int camera) { return camera == 2 ? m_Split_Compensation : m_Goal_Compensation; };
            host.Store = [this](int camera, int32_t ms) {
                const std::string text = std::to_string(ms);
                // An open settings window shows the Goal camera's value: it takes the
                // new one (and stores it), so a later keystroke there cannot bring back the old.
                Form_Houndex_settings* settings = Form_Houndex_settings::Loaded();
                if (camera == 1 && settings)
                    settings->Text_goalcam_delay->setText(QString::fromStdString(text));
                else
                    Write_Ini("Settings", camera == 2 ? "split_compensation" : "goal_compensation", text,
                              Facts().Ini_file_path);
                Load_Compensations();
                Trace("*Camera delay stored: " + std::string(camera == 2 ? "split" : "goal") +
                      "_compensation = " + text);
            };
            m_Calibration = new Form_Camera_Delay(*obj_Capture_HDMI, Picture_out, std::move(host), this);
            // A tool window stays above the main window while the LED is clicked on the picture.
            m_Calibration->setWindowFlag(Qt::Tool);
        }
        // The switch's time is when the box wrote it: follow the box in use now.
        if (obj_Phidget)
            connect(obj_Phidget.get(), &IInterfaceKit::OnOutputWritten, m_Calibration, &Form_Camera_Delay::LED_Written,
                    Qt::UniqueConnection);
        const bool first = !m_Calibration->isVisible();
        m_Calibration->show();
        if (first) {
            // Beside the live picture, never over it: the LED is clicked there.
            m_Calibration->adjustSize();
            const QRect picture(Picture_out->mapToGlobal(QPoint(0, 0)), Picture_out->size());
            m_Calibration->move(
                Platform::Clear_Of(picture, m_Calibration->size().grownBy(Platform::Frame_Margins(m_Calibration)),
                                   Platform::Screen_Available_Geometry()));
        }
        m_Calibration->raise();
    } catch (const std::exception& e) {
        Report_Exception(e, "item_calibrate_delay_Click of Form Form_Houndex");
    }
}

void Form_Houndex::Follow_Start_LED() {
    auto* box = dynamic_cast<SimInterfaceKit*>(obj_Phidget.get());
    if (!box) return;
    connect(box, &SimInterfaceKit::Output_Changed, this, [this](int index, bool lit) {
        if (index != 0 || !obj_Capture_HDMI) return;
        if (SimVideoCap* camera = SimVideoCap::Find(obj_Capture_HDMI->Component()))
            camera->Start_LED_Switched(lit, Platform::PC_Mill());
    });
}
