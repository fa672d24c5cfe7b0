// The demo heat: drives the real main window as an operator would, in real
// time, and checks the result against what the simulated camera filmed.
#include "Demo_Run.h"

#include <QAction>
#include <QMenu>
#include <QApplication>
#include <QScreen>
#include <QPainter>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <sstream>

#include "shell/Form_Houndex.h"
#include "Sim_Race_Session.h"
#include "shell/Start_Sound.h"
#include "capture/Form_Camera_Delay.h"
#include "capture/SimVideoCap.h"
#include "capture/Video_Cap_Factory.h"
#include "capture/cls_Capture_HDMI.h"
#include "controlbox/Control_Box_Factory.h"
#include "controlbox/Control_Box_Panel.h"
#include "controlbox/SimInterfaceKit.h"
#include "event/Event_File.h"
#include "event/Module_Event_File.h"
#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/Files.h"
#include "platform/PictureBox.h"
#include "platform/testing/ScriptedDialogs.h"
#include "printing/Module_PrinterDialog.h"
#include "recording/cls_VideoFile_handler.h"
#include "review/Form_Hdx_Results.h"
#include "review/Goal_Line.h"
#include "review/Module_Results.h"
#include "settings/Form_Houndex_settings.h"
#include "settings/Module_Ini.h"
#include "common/Module_dependant.h"
#include "common/Startup_Facts.h"
#include "platform/Find_Control.h"

using Platform::Control;

namespace fs = std::filesystem;

namespace {

constexpr int Dogs = Sim_Scene::Dogs;
constexpr int32_t Field_Mill = 20;
// The capture window opens this long before the first dog's crossing reaches
// the program and closes this long after the last one's.
constexpr int32_t Window_Margin = 300;

const char* const Event_Name = "Houndex Demo Cup";
const char* const Heat_Name = "Demo Final";
const std::array<const char*, Dogs> Dog_Names = {"Red Rocket",   "Blue Streak", "Snowflake",
                                                 "Midnight Run", "Marmalade",   "Zebra Dash"};

// Runs the event loop for ms milliseconds (the camera's timer keeps delivering).
void Wait_Ms(int32_t ms) {
    if (ms <= 0) {
        QCoreApplication::processEvents();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until the PC clock reads at least mill.
void Wait_Until_Mill(int32_t mill) { Wait_Ms(Platform::Mill_Since(Platform::PC_Mill(), mill)); }

std::string Time_Column(int32_t ms) {
    char b[32];
    std::snprintf(b, sizeof b, "%7.3f s", ms / 1000.0);
    return b;
}

class Demo {
public:
    explicit Demo(const Demo_Options& o) : options_(o), session_(o.Folder, Sim_Pacing::Timer, Wait_Ms) {}
    int Run();

private:
    bool Fail(const std::string& why) {
        faults_.push_back(why);
        return false;
    }
    bool Prepare();
    bool Load();
    bool Calibrate();
    bool Heat();
    bool Review();
    bool Print_And_Export();
    void Screenshot(QWidget& window, const std::string& name);
    void Screen_Shot(const std::string& name);
    // Scene times (ms) at which each dog's nose reaches the finish line in a cycle.
    std::array<double, Dogs> Crossings(int64_t cycle) const;
    void Show(int position) { session_.Show(position); }
    void Click_Box(int box);
    bool Wait_Until(const std::function<bool()>& done, int32_t timeout_ms) {
        return session_.Wait_Until(done, timeout_ms);
    }

    Demo_Options options_;
    Sim_Race_Session session_;
    std::string folder_;
    Form_Houndex* form_ = nullptr;
    SimVideoCap* sim_ = nullptr;
    SimInterfaceKit* kit_ = nullptr;
    std::string recording_;
    int32_t start_mill_ = 0;
    std::array<int, 3> specials_{};  // dead heat earlier, later; disqualified
    std::vector<Demo_Dog> dogs_;
    std::vector<bool> before_line_;  // per box: a field of the recording showed it before the line
    std::vector<std::string> faults_;
};

std::array<double, Dogs> Demo::Crossings(int64_t cycle) const {
    const Sim_Scene& scene = sim_->Scene();
    const int64_t begin = cycle * Sim_Scene::Cycle_Mill;
    std::array<double, Dogs> t{};
    for (int box = 1; box <= Dogs; ++box)
        t[static_cast<size_t>(box - 1)] = static_cast<double>(begin) + (scene.Finish_X() - scene.Nose_X(box, begin)) /
                                                                           scene.Speed(box, begin) * 1000.0;
    return t;
}

bool Demo::Prepare() {
    if (!options_.Screenshot_Folder.empty()) {
        std::error_code ec;
        fs::create_directories(options_.Screenshot_Folder, ec);
    }
    Race_Programme programme;
    programme.Event = Event_Name;
    programme.Day = "Sat";
    Programme_Heat heat;
    heat.Name = Heat_Name;
    heat.Length = "480";
    for (int box = 1; box <= Dogs; ++box)
        heat.Dogs[static_cast<size_t>(box - 1)] = Dog_Names[static_cast<size_t>(box - 1)];
    programme.Heats.push_back(heat);
    session_.Crop = options_.Crop;
    if (!session_.Prepare(programme)) return Fail(session_.Fault());
    folder_ = session_.Folder();
    return true;
}

bool Demo::Load() {
    if (!session_.Load()) return Fail(session_.Fault());
    form_ = &session_.Form();
    sim_ = &session_.Camera();
    kit_ = &session_.Box();
    sim_->Harden_Scene(1);  // the camera as real ones film: what the assistant reads
    Control<QSpinBox>(*form_, "UpDown_heat")->setValue(1);
    form_->UpDown_heat_Change();
    // The settings as an official first opens them, beside the main window.
    form_->item_show_settings_Click();
    if (Form_Houndex_settings* settings = Form_Houndex_settings::Loaded()) {
        Screen_Shot("settings.png");
        settings->close();
    } else {
        return Fail("the settings window did not open");
    }
    return true;
}

bool Demo::Heat() {
    form_->Command_start_camera_Click();
    if (Control<QPushButton>(*form_, "Command_start_camera")->text() != "Stop camera")
        return Fail("the camera did not start");
    if (!Wait_Until([this] { return form_->Capture_Controller()->Running_Fps() > 0; }, 15000))
        return Fail("the camera rate was never measured");
    form_->Update_Running_Fps();
    std::cout << "camera running at " << form_->Capture_Controller()->Running_Fps() << " f/s" << std::endl;
    if (!Calibrate()) return false;

    form_->Command_initiate_file_Click();
    recording_ = form_->Heat().Current_File();
    if (recording_.empty() || !FileExists(recording_)) return Fail("no recording was initiated");

    kit_->Set_Input(2, true);  // the start
    if (!Wait_Until([this] { return form_->Heat_Running(); }, 3000)) return Fail("the start was not taken");
    start_mill_ = form_->Heat().Start_PC_mill();
    Wait_Ms(50);
    kit_->Set_Input(2, false);

    // The next cycle far enough ahead, among the next few the one whose two
    // closest dogs are closest together: that pair is the dead heat.
    const int32_t epoch = sim_->Scene_Epoch_Mill();
    const int32_t delay = sim_->Pipe_Delay_Mill();
    const int64_t now_scene = sim_->Scene_Time(Platform::PC_Mill());
    int64_t chosen = -1;
    double best = 1e9;
    for (int64_t c = now_scene / Sim_Scene::Cycle_Mill; c < now_scene / Sim_Scene::Cycle_Mill + 6; ++c) {
        const auto t = Crossings(c);
        const double first = *std::min_element(t.begin(), t.end());
        if (first + delay - Window_Margin < static_cast<double>(now_scene) + 1500) continue;
        double closest = 1e9;
        for (int a = 0; a < Dogs; ++a)
            for (int b = a + 1; b < Dogs; ++b) closest = std::min(closest, std::abs(t[a] - t[b]));
        if (chosen < 0 || closest < best) {
            chosen = c;
            best = closest;
        }
        if (best < 8) break;
    }
    const auto crossing = Crossings(chosen);
    const double first = *std::min_element(crossing.begin(), crossing.end());
    const double last = *std::max_element(crossing.begin(), crossing.end());
    const int32_t open_mill = epoch + static_cast<int32_t>(first) + delay - Window_Margin;
    const int32_t close_mill = epoch + static_cast<int32_t>(last) + delay + Field_Mill + Window_Margin;
    std::cout << "capture window " << Platform::Mill_Since(start_mill_, open_mill) << " to "
              << Platform::Mill_Since(start_mill_, close_mill) << " ms after the start" << std::endl;

    form_->Command1_Click();  // the operator hides the Control Box status panel
    Wait_Until_Mill(open_mill);
    kit_->Set_Input(3, true);
    if (!Wait_Until([this] { return form_->Heat().Capturing(); }, 1000)) return Fail("the capture window did not open");
    // The live view while the first dogs reach the line (the camera's timer
    // only waits for the drawing; every frame keeps its own stamp).
    Wait_Until_Mill(open_mill + Window_Margin + 40);
    Screen_Shot("main_live.png");
    Wait_Until_Mill(close_mill);
    kit_->Set_Input(3, false);
    if (!Wait_Until([this] { return !form_->Heat().Capturing(); }, 5000))
        return Fail("the capture window did not close");
    Wait_Ms(100);
    form_->Command_finish_Click();
    if (form_->Heat_Running()) return Fail("the heat did not finish");
    return true;
}

// The official measures the camera's delay with the start LED before the heat:
// clicks the LED in the live picture, starts, and stores an accepted median.
bool Demo::Calibrate() {
    Control<QAction>(*form_, "item_calibrate_delay")->trigger();
    auto* w = form_->findChild<Form_Camera_Delay*>("Form_Camera_Delay");
    if (!w) return Fail("the calibration window did not open");
    Platform::PictureBox* picture = Control<Platform::PictureBox>(*form_, "Picture_out");
    const QPoint led = sim_->Start_LED_Place();
    const int crop_x = form_->Crop_Width(), crop_y = form_->Crop_Height();
    const QPointF at((led.x() - cls_Capture_HDMI::Crop_Offset(1920, crop_x) + 0.5) * picture->width() / crop_x,
                     (led.y() - cls_Capture_HDMI::Crop_Offset(1080, crop_y) + 0.5) * picture->height() / crop_y);
    QMouseEvent press(QEvent::MouseButtonPress, at, picture->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(picture, &press);
    w->Command_start->click();
    if (!Wait_Until([w] { return w->Calibration() && !w->Calibration()->Running(); }, 30000))
        return Fail("the camera delay calibration did not end");
    Screenshot(*w, "camera_delay.png");
    std::cout << w->Calibration()->Verdict() << std::endl;
    // Timer jitter on a busy machine may spread the measurements: the heat then
    // keeps the compensation it had.
    if (w->Command_store->isEnabled()) w->Command_store->click();
    std::cout << "goal compensation " << form_->Goal_Compensation() << " ms (the simulated camera's delay "
              << sim_->Pipe_Delay_Mill() << " ms)" << std::endl;
    w->close();
    return true;
}

void Demo::Click_Box(int box) {
    // Clicks a few milliseconds apart keep their order in the click times.
    Wait_Ms(15);
    Control<QPushButton>(*form_, "Command_BOX_set_time", static_cast<size_t>(box - 1))->click();
}

bool Demo::Review() {
    form_->Handle_Open(recording_);
    if (!form_->Review_File_Open()) return Fail("the recording did not open for review");
    if (!form_->Field_Mode()) return Fail("the recording is not reviewed by fields");
    // The assistant's proposals beside the box buttons, the winner's field
    // gone to with its candidates outlined.
    for (int i = 0; i < 2000 && form_->Proposals_Busy(); ++i) Wait_Ms(10);
    if (const Heat_Proposals* p = form_->Proposals()) {
        int first = 0;
        for (const Box_Proposal& b : p->Boxes)
            if (b.Proposed && (first == 0 || b.Position < p->Box(first)->Position)) first = b.Box;
        Control<QAction>(*form_, "item_show_candidates")->setChecked(true);
        if (first != 0) form_->GoTo_Proposal(first);
        Screen_Shot("review_assistant.png");
        Control<QAction>(*form_, "item_show_candidates")->setChecked(false);
    }
    cls_VideoFile_handler& h = *form_->Review_Handler();
    const double finish_x = sim_->Scene().Finish_X();

    dogs_.assign(Dogs, Demo_Dog{});
    before_line_.assign(Dogs, false);
    for (int box = 1; box <= Dogs; ++box) {
        dogs_[static_cast<size_t>(box - 1)].Box = box;
        dogs_[static_cast<size_t>(box - 1)].Name = h.Hdx_Dog_name(static_cast<int16_t>(box));
    }
    // Each field of the recording, matched to what the camera filmed: the
    // frame by its capture stamp (the delivery stamp), the field by its order.
    const int fields = Control<QSlider>(*form_, "Slider_play")->maximum();
    for (int position = 1; position <= fields; ++position) {
        Show(position);
        const int sim_field = h.Field_To_Show() == 1 ? 2 : 1;  // 1: the first-captured field
        const Sim_Field_Truth* truth = nullptr;
        for (auto it = sim_->Truth().rbegin(); it != sim_->Truth().rend() && !truth; ++it)
            if (it->Delivered_Mill == h.Timestamp_long() && it->Field == sim_field) truth = &*it;
        if (!truth) return Fail("field " + std::to_string(position) + " is not one the camera delivered");
        for (Demo_Dog& d : dogs_) {
            // The pre-trigger frames may still show the dogs of the cycle before
            // the race: a crossing is a field past the line after one before it.
            const bool before = truth->Nose_X[static_cast<size_t>(d.Box - 1)] < finish_x;
            if (before) before_line_[static_cast<size_t>(d.Box - 1)] = true;
            if (d.Position != 0 || before || !before_line_[static_cast<size_t>(d.Box - 1)]) continue;
            d.Position = position;
            d.Past_Line = truth->Nose_X[static_cast<size_t>(d.Box - 1)] - finish_x;
            d.True_Time = Platform::Mill_Since(start_mill_, truth->Exposure_Mill);
        }
    }
    for (const Demo_Dog& d : dogs_)
        if (d.Position == 0) return Fail("box " + std::to_string(d.Box) + " never reached the line in the recording");

    // Times in the order the dogs came in, as the operator clicks them.
    std::vector<Demo_Dog*> order;
    for (Demo_Dog& d : dogs_) order.push_back(&d);
    // Within one field the dog further over the line crossed first.
    std::stable_sort(order.begin(), order.end(), [](const Demo_Dog* a, const Demo_Dog* b) {
        return a->Position != b->Position ? a->Position < b->Position : a->Past_Line > b->Past_Line;
    });
    // The dead heat and the disqualification from what the recording shows:
    // the two dogs that reached the line closest together (the same field when
    // two did), the last one in otherwise.
    std::array<double, Dogs> seen{};
    for (const Demo_Dog& d : dogs_) seen[static_cast<size_t>(d.Box - 1)] = d.True_Time - d.Past_Line / 1000.0;
    specials_ = Demo_Pick_Specials(seen);
    Demo_Dog& earlier = dogs_[static_cast<size_t>(specials_[0] - 1)];
    Demo_Dog& later = dogs_[static_cast<size_t>(specials_[1] - 1)];
    Demo_Dog& dsq = dogs_[static_cast<size_t>(specials_[2] - 1)];
    later.Dead_Heat = true;
    dsq.Disqualified = true;
    for (Demo_Dog* d : order) {
        if (d == &later) continue;  // clicked with its partner
        Show(d->Position);
        if (d == &dsq) {
            Control<QAction>(*form_, "item_disqualified")->trigger();
            Control<QPushButton>(*form_, "Cmd_Notime")->click();
        }
        Click_Box(d->Box);
        if (d == &earlier) {
            Control<QPushButton>(*form_, "Cmd_DeadHeat")->click();
            Click_Box(later.Box);  // the same field
        }
    }
    for (Demo_Dog& d : dogs_) d.Assigned = h.Hdx_Heat_time(static_cast<int16_t>(d.Box), false);
    // Every box timed: the results window where it opened, beside the picture and the box buttons.
    Screen_Shot("review_results.png");
    if (!h.Hdx_dead_heat(static_cast<int16_t>(later.Box))) Fail("the dead heat mark is missing");
    return true;
}

bool Demo::Print_And_Export() {
    // The winner's goal photo with its name queued, then the series.
    form_->GoTo_rank(1);
    Screen_Shot("main_review.png");
    // A close look at the line: the finish strip below the main window and the picture at 4x;
    // the goal photo then carries the strip round the winner's field.
    form_->item_show_strip_Click();
    form_->Set_Zoom(4);
    Screen_Shot("review_zoom_strip.png");
    form_->Set_Zoom(1);
    Control<QAction>(*form_, "item_print_strip")->setChecked(true);
    const int16_t winner = form_->Session() ? form_->Session()->Result().Ranked[0].Box : 0;
    session_.Dialogs().Answer_Input(std::string(Dog_Names[static_cast<size_t>(std::clamp<int>(winner, 1, Dogs) - 1)]));
    form_->item_dog_name_Click();
    Printer().Set_TrackDefault(false);
    const std::string single = Platform::Join_Path(folder_, "goal_photo.pdf");
    const std::string series = Platform::Join_Path(folder_, "goal_photo_series.pdf");
    Printer().Select(Printer_Info{Pdf_Printer_Name, "PDF", "FILE:"}, single);
    form_->item_print_frame_Click();
    Printer().Set_Output_File(series);
    form_->item_print_series_Click();
    for (const std::string& pdf : {single, series})
        if (!FileExists(pdf) || File_Size(pdf) == 0) Fail("no printout " + pdf);

    Form_Hdx_Results* results = form_->Results_Form();
    results->show();
    results->raise();
    Wait_Ms(50);
    results->Export_to_Clipboard();
    const std::string text = Platform::Clipboard_Text();
    if (text.rfind("Heat", 0) != 0) return Fail("the results export is empty");
    Platform::Write_File_Atomic(Platform::Join_Path(folder_, "results.txt"), text);
    Screenshot(*results, "results.png");
    return true;
}

void Demo::Screen_Shot(const std::string& name) {
    if (options_.Screenshot_Folder.empty()) return;
    QCoreApplication::processEvents();
    // The screen as an official would see it: every window of the program
    // where it stands, the main window first (under the others).
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        Fail("no screen for " + name);
        return;
    }
    QImage shot(screen->geometry().size(), QImage::Format_RGB32);
    shot.fill(QColor(58, 110, 165));
    QPainter painter(&shot);
    QList<QWidget*> windows{form_};
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != form_ && w->isVisible()) windows.push_back(w);
    for (QWidget* w : windows) painter.drawPixmap(w->geometry().topLeft() - screen->geometry().topLeft(), w->grab());
    painter.end();
    const std::string path = Platform::Join_Path(options_.Screenshot_Folder, name);
    if (!shot.save(QString::fromStdString(path))) Fail("cannot write " + path);
}

void Demo::Screenshot(QWidget& window, const std::string& name) {
    if (options_.Screenshot_Folder.empty()) return;
    QCoreApplication::processEvents();
    const std::string path = Platform::Join_Path(options_.Screenshot_Folder, name);
    if (!window.grab().save(QString::fromStdString(path))) Fail("cannot write " + path);
}

int Demo::Run() {
    bool ok = Prepare() && Load() && Heat() && Review() && Print_And_Export();
    if (ok) {
        for (const std::string& f : Demo_Time_Faults(dogs_)) Fail(f);
        const std::string summary = Demo_Summary_Text(dogs_, recording_);
        Platform::Write_File_Atomic(Platform::Join_Path(folder_, "summary.txt"), summary);
        std::cout << summary;
    }
    for (const auto& s : session_.Dialogs().shown)
        if (s.kind == "message" && s.title != "Houndex results export") std::cout << "message: " << s.text << "\n";
    for (const std::string& r : session_.Reports()) Fail("error report: " + r);
    session_.Close();
    for (const std::string& f : faults_) std::cerr << "demo: " << f << "\n";
    if (faults_.empty()) std::cout << "demo: all times within one field period of the truth" << std::endl;
    return faults_.empty() ? 0 : 1;
}

}  // namespace

std::string Demo_Summary_Text(const std::vector<Demo_Dog>& dogs, const std::string& recording) {
    std::ostringstream s;
    s << "Recording: " << recording << "\n";
    s << "box\tname\tassigned\ttrue crossing\tdifference\n";
    for (const Demo_Dog& d : dogs) {
        s << d.Box << "\t" << d.Name << "\t";
        if (d.Disqualified)
            s << "DSQ";
        else
            s << Time_Column(d.Assigned);
        s << "\t" << Time_Column(d.True_Time) << "\t";
        if (d.Disqualified)
            s << "-";
        else
            s << (d.Assigned - d.True_Time) << " ms";
        if (d.Dead_Heat) s << "\tdead heat";
        s << "\n";
    }
    return s.str();
}

std::vector<std::string> Demo_Time_Faults(const std::vector<Demo_Dog>& dogs) {
    std::vector<std::string> faults;
    if (dogs.size() != static_cast<size_t>(Dogs)) faults.push_back("not six dogs");
    for (const Demo_Dog& d : dogs) {
        const std::string box = "box " + std::to_string(d.Box);
        if (d.Disqualified) {
            if (d.Assigned != DSQ_Code)
                faults.push_back(box + " should be DSQ but holds " + std::to_string(d.Assigned));
            continue;
        }
        if (d.Assigned <= 0) {
            faults.push_back(box + " has no time");
            continue;
        }
        if (std::abs(d.Assigned - d.True_Time) > Field_Mill)
            faults.push_back(box + ": assigned " + std::to_string(d.Assigned) + " ms, crossed at " +
                             std::to_string(d.True_Time) + " ms");
        if (d.Dead_Heat) {
            bool partner = false;
            for (const Demo_Dog& o : dogs)
                if (&o != &d && !o.Disqualified && o.Assigned == d.Assigned) partner = true;
            if (!partner) faults.push_back(box + " is a dead heat without a partner of the same time");
        }
    }
    return faults;
}

std::array<int, 3> Demo_Pick_Specials(const std::array<double, 6>& crossing) {
    int a = 0, b = 1;
    for (int i = 0; i < Dogs; ++i)
        for (int j = i + 1; j < Dogs; ++j)
            if (std::abs(crossing[i] - crossing[j]) < std::abs(crossing[a] - crossing[b])) {
                a = i;
                b = j;
            }
    if (crossing[b] < crossing[a]) std::swap(a, b);
    int last = -1;
    for (int i = 0; i < Dogs; ++i)
        if (i != a && i != b && (last < 0 || crossing[i] > crossing[last])) last = i;
    return {a + 1, b + 1, last + 1};
}

int Run_Demo(const Demo_Options& options) {
    Demo demo(options);
    return demo.Run();
}
