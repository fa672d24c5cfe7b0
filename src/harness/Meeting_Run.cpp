// The meeting harness: a seeded official runs heat after heat through the real
// main window against a stepped clock, and every recording is checked against
// the simulator's own record of what it delivered and filmed.
#include "Meeting_Run.h"
#include "common/Text.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QKeyEvent>
#include <QPointer>
#include <QSpinBox>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <array>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

#include "shell/Form_Houndex.h"
#include "Meeting_Capture_Log.h"
#include "recording/Frame_Journal.h"
#include "Meeting_Plan.h"
#include "Sim_Race_Session.h"
#include "capture/cls_Capture_HDMI.h"
#include "controlbox/SimInterfaceKit.h"
#include "event/Form_event_registration.h"
#include "event/Form_heat_competitors.h"
#include "platform/Clock.h"
#include "platform/testing/FakeClock.h"
#include "platform/Files.h"
#include "platform/System_Info.h"
#include "recording/cDIBSection.h"
#include "recording/cls_VideoFile_handler.h"
#include "review/Form_Hdx_Results.h"
#include "review/Module_Results.h"
#include "review/Official_Record.h"
#include "settings/Module_Ini.h"
#include "common/Module_dependant.h"
#include "common/Startup_Facts.h"
#include "platform/Find_Control.h"

using Platform::Control;

namespace fs = std::filesystem;

namespace {

constexpr int Dogs = 6;
constexpr int32_t Goal_Compensation = 200;
constexpr uint64_t Memory_Allowance = 16ull << 20;
// Under AddressSanitizer freed memory waits in quarantine: resident memory then
// says nothing about what the program gives back.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool Memory_Checked = false;
#else
constexpr bool Memory_Checked = true;
#endif

// The clock of the meeting: it moves only when the harness runs the program or
// the program sleeps, and every frame arrival and scheduled action in between
// happens at its own time.
class Meeting_Clock : public Platform::FakeClock {
public:
    using FakeClock::FakeClock;
    std::function<void(int)> Mover;
    void Sleep_Mill(int ms) override {
        if (Mover)
            Mover(ms);
        else
            Advance(ms);
    }
};

struct Dog_Result {
    int box = 0;
    std::string name;
    double crossing = 0;   // ms after the start
    int position = 0;      // the first review position with the nose past the line; 0: not recorded
    int32_t assigned = 0;  // what the recording holds
    std::string result = "no time";
    // The assistant's proposal, as shown beside the box's button.
    bool proposed = false;
    int proposed_field = 0;
    int32_t proposed_ms = 0;
    std::optional<int32_t> estimate_ms;
    double confidence = 0;
    std::string doubt;
    bool entered = false;  // stored with Enter at the proposal, not a click
};

struct Click {
    int box = 0;
    int position = 0;
    int32_t code = 0;  // armed result code, 0 for a time
    bool dead_heat = false;
    int32_t click_mill = 0;
};

struct Heat_Record {
    int heat = 0;
    std::string heat_name;  // as the recording holds it
    std::string recording;
    int32_t start = 0;
    std::vector<std::pair<int32_t, int32_t>> windows;
    std::vector<int32_t> delivered;
    int in_yield = 0;             // frames delivered inside a yield of the program
    double memory_growth_mb = 0;  // resident memory after the last append, against the initiation
    std::vector<Dog_Result> dogs;
    std::vector<std::string> events;
    std::vector<std::string> breaches;
    bool official = false;
    int trail = 0;  // changes kept in its audit trail
};

// The simulator's field records of one frame, the first-exposed first.
std::vector<int> Sim_Fields(bool interlaced) { return interlaced ? std::vector<int>{2, 1} : std::vector<int>{0}; }
std::vector<int> Sim_Fields(const Sim_Format& f) { return Sim_Fields(f.Interlaced); }

std::string Number(double v) {
    char b[32];
    std::snprintf(b, sizeof b, "%.1f", v);
    return b;
}

std::string File_Fingerprint(const std::string& path) {
    std::string bytes;
    if (!Platform::Read_File(path, bytes)) return "unreadable";
    uint64_t h = 1469598103934665603ull;
    for (const char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return std::to_string(bytes.size()) + ":" + std::to_string(h);
}

class Meeting {
public:
    explicit Meeting(const Meeting_Options& o)
        : options_(o),
          clock_(Meeting_Clock_Start(o)),
          session_(o.Folder, Sim_Pacing::Queued, [this](int32_t ms) { Run_For(ms); }),
          random_(o.Seed * 2654435761ull + 17) {
        const int property = Meeting_Format(o.Seed);
        format_ = SimVideoCap::Default_Formats()[static_cast<size_t>(property)];
        period_ = 1000.0 / format_.Fps / (format_.Interlaced ? 2 : 1);
        session_.Format = property;
    }
    int Run();

private:
    // --- time ------------------------------------------------------------------
    int32_t Now() { return clock_.PC_Mill(); }
    void Move_To(int64_t target);
    void Run_For(int32_t ms);
    void At(int32_t after_ms, std::function<void()> action) {
        actions_.emplace(elapsed_ + after_ms, std::move(action));
    }
    bool Run_Until(const std::function<bool()>& done, int32_t timeout_ms);

    // --- what the program received --------------------------------------------
    void Observe();
    // The "Capture" button pressed.
    void Open_Window();

    // --- the heat ----------------------------------------------------------------
    void Breach(const std::string& what) { heat_->breaches.push_back(what); }
    void Run_Heat(const Meeting_Heat_Plan& plan);
    bool Review_Previous(const Meeting_Heat_Plan& plan);
    bool Camera_On();
    void Camera_Click();
    bool Give_Start(Start_Signal how);
    void Abort();
    void Plan_Dogs(const Meeting_Heat_Plan& plan);
    void Schedule_Windows(const Meeting_Heat_Plan& plan);
    void Press(int trigger, bool down);
    void Go_To(int position);
    void Slide(bool off);
    bool Review_And_Time(const Meeting_Heat_Plan& plan, const std::vector<int32_t>& frames);
    void Click_Box(int box, int position, int32_t code, bool dead_heat);
    void Take_Proposals();
    void Await_Proposals();
    bool Enter_Proposal(int box);
    void Correct_In_Competitors();
    void Correct_In_Results();
    void Declare_And_Correct(const Meeting_Heat_Plan& plan);
    void Check_Recording(const std::vector<int32_t>& frames);
    void Check_Ranking();
    void Check_Earlier_Recordings();
    bool Import_Race_Card();
    void Write_Json();
    void Print_Summary(bool clean);

    Meeting_Options options_;
    Meeting_Clock clock_;
    Sim_Race_Session session_;
    Meeting_Random random_;
    // The camera's format, drawn for the meeting by its seed, and the time
    // between two review positions it gives: a field, or a whole frame.
    Sim_Format format_;
    double period_ = 20;
    Race_Programme programme_;
    Meeting_Race_Card race_card_;
    std::string race_card_path_;
    int race_card_imported_ = 0;  // the dogs the import said it stored
    Form_Houndex* form_ = nullptr;
    SimVideoCap* sim_ = nullptr;
    SimInterfaceKit* kit_ = nullptr;

    int64_t elapsed_ = 0;  // ms of the meeting clock so far
    int yield_depth_ = 0;
    int busy_ms_ = 0;  // how long the window thread may be busy between two yields
    bool auto_init_ = false;
    bool auto_open_ = false;
    int held_trigger_ = -1;  // the trigger held through the heat finish, -1 none
    std::multimap<int64_t, std::function<void()>> actions_;
    Capture_Log log_;
    bool heat_running_ = false;
    int32_t pre_trigger_ms_ = 0;
    int32_t post_trigger_ms_ = 0;
    std::string unwritable_;         // the heat's file, put aside while a folder stands in its place
    bool store_failed_ = false;      // the program said a window could not be stored
    bool ended_unwritable_ = false;  // a window ended while the file could not be written
    bool camera_clicked_ = false;
    int64_t camera_click_at_ = 0;
    int64_t start_click_at_ = -100000;
    int64_t capture_press_at_ = -100000;

    // The heat under way.
    Heat_Record* heat_ = nullptr;
    const Programme_Heat* programme_heat_ = nullptr;
    std::array<double, Dogs> crossing_{};  // ms after the start, box order
    std::array<std::string, Dogs> names_{};
    std::string heat_name_;
    std::pair<int, int> dead_pair_{0, 0};  // boxes: the earlier, the later
    std::vector<Click> clicks_;
    QPointer<Form_heat_competitors> left_open_;

    std::vector<Heat_Record> heats_;
    std::map<std::string, std::string> fingerprints_;  // finished recordings
    std::vector<double> errors_;
    struct Assistant_Figures {
        int finishers = 0, proposed = 0, first_field_right = 0, estimates = 0, estimates_close = 0;
        int pairs = 0, pairs_right = 0, unsure = 0, wrong_where_unsure = 0, entered = 0;
        int64_t slowest_ms = 0;
    } assistant_;
    std::vector<std::string> faults_;  // of the meeting as a whole
};

// --- time --------------------------------------------------------------------------

void Meeting::Move_To(int64_t target) {
    for (;;) {
        int64_t next = target;
        if (sim_ && sim_->Streaming())
            next = std::min(next, elapsed_ + std::max(0, Platform::Mill_Since(Now(), sim_->Next_Arrival_Mill())));
        if (!actions_.empty()) next = std::min(next, std::max(elapsed_, actions_.begin()->first));
        if (next > elapsed_) {
            clock_.Advance(static_cast<int>(next - elapsed_));
            elapsed_ = next;
        }
        if (sim_) sim_->Catch_Up();
        while (!actions_.empty() && actions_.begin()->first <= elapsed_) {
            auto action = std::move(actions_.begin()->second);
            actions_.erase(actions_.begin());
            action();
        }
        if (elapsed_ >= target) return;
    }
}

void Meeting::Run_For(int32_t ms) {
    const int64_t end = elapsed_ + std::max(ms, 0);
    do {
        Move_To(std::min(end, elapsed_ + 4));
        QCoreApplication::processEvents();
    } while (elapsed_ < end);
}

bool Meeting::Run_Until(const std::function<bool()>& done, int32_t timeout_ms) {
    const int64_t end = elapsed_ + timeout_ms;
    while (!done()) {
        if (elapsed_ >= end) return false;
        Run_For(10);
    }
    return true;
}

// --- what the program received ------------------------------------------------------

void Meeting::Observe() {
    sim_->On_Delivery = [this](const Sim_Delivery& d) {
        log_.Frame(d.Frame_Number, d.Stamp_Mill, form_ && form_->Heat_Running());
        if (yield_depth_ > 0 && heat_) ++heat_->in_yield;
    };
    kit_->On_Report = [this](const Sim_Kit_Report& r) { log_.Box_Report(r, heat_running_ && heat_); };
    // Automatic capture's windows, at the stamps the program opened and let them go.
    QObject::connect(&form_->Heat(), &Heat_Controller::Window_Opened, form_,
                     [this](int32_t stamp, Window_Source source) {
                         // The program watches only while a heat runs, which it may know before the harness.
                         if (source == Window_Source::Auto && heat_) log_.Auto_Open(stamp);
                     });
    QObject::connect(&form_->Heat(), &Heat_Controller::Window_Released, form_,
                     [this](int32_t stamp, Window_Source source) {
                         if (source == Window_Source::Auto) log_.Auto_Release(stamp);
                     });
    QObject::connect(&form_->Heat(), &Heat_Controller::Window_Changed, form_, [this](bool open) {
        if (!open && !unwritable_.empty()) ended_unwritable_ = true;
    });
    // An error window must never open while a window's frames are written.
    session_.On_Report([this](const std::string& report) {
        if (form_->Heat().Appending() && heat_) Breach("error report while frames were written: " + report);
        if (report.find("could not be stored") != std::string::npos) store_failed_ = true;
    });
    // Sees the button's press and release before the main window does.
    struct Button_Watch : QObject {
        Meeting* m;
        Button_Watch(Meeting* meeting, QObject* owner) : QObject(owner), m(meeting) {}
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::MouseButtonPress) m->Open_Window();
            if (e->type() == QEvent::MouseButtonRelease) m->log_.Close(m->Now());
            return false;
        }
    };
    Control<QPushButton>(*form_, "Cmd_capture")
        ->installEventFilter(new Button_Watch(this, Control<QPushButton>(*form_, "Cmd_capture")));
}

void Meeting::Open_Window() {
    // The held button needs no box.
    if (heat_running_ && heat_) log_.Open(Now(), false);
}

// --- the operator's steps ------------------------------------------------------------

void Meeting::Camera_Click() {
    // The button takes one press a second.
    if (camera_clicked_ && elapsed_ - camera_click_at_ < 1100)
        Run_For(static_cast<int32_t>(1100 - (elapsed_ - camera_click_at_)));
    Control<QPushButton>(*form_, "Command_start_camera")->click();
    camera_clicked_ = true;
    camera_click_at_ = elapsed_;
}

bool Meeting::Camera_On() {
    if (Control<QPushButton>(*form_, "Command_start_camera")->text() != "Start camera") return true;
    Camera_Click();
    if (Control<QPushButton>(*form_, "Command_start_camera")->text() != "Stop camera") {
        Breach("the camera did not start");
        return false;
    }
    if (!Run_Until([this] { return form_->Capture_Controller()->Running_Fps() > 0; }, 15000)) {
        Breach("the camera rate was never measured");
        return false;
    }
    Run_For(random_.Between(100, 600));
    return true;
}

bool Meeting::Give_Start(Start_Signal how) {
    int32_t stamp = 0;
    switch (how) {
        case Start_Signal::Button:
            if (elapsed_ - start_click_at_ < 1100) Run_For(static_cast<int32_t>(1100 - (elapsed_ - start_click_at_)));
            stamp = Now();
            Control<QPushButton>(*form_, "Command_start_heat")->click();
            start_click_at_ = elapsed_;
            break;
        case Start_Signal::Direct_Line:
            stamp = Now();
            kit_->Set_Input(2, true);
            At(60, [this] { kit_->Set_Input(2, false); });
            break;
        case Start_Signal::Remote_Contact:
            kit_->Set_Input(1, true);  // the lever armed a moment before
            Run_For(random_.Between(200, 500));
            stamp = Now();
            kit_->Set_Input(0, true);
            // The contact opens again: the second edge is refused as already started.
            At(80, [this] { kit_->Set_Input(0, false); });
            At(400, [this] { kit_->Set_Input(1, false); });
            break;
    }
    if (!Run_Until([this] { return form_->Heat_Running(); }, 2000)) {
        Breach("the start was not taken");
        return false;
    }
    heat_running_ = true;
    heat_->start = stamp;
    return true;
}

void Meeting::Abort() {
    Run_For(random_.Between(400, 1500));
    session_.Dialogs().Answer_Message(Platform::MsgResult::OK);
    const auto escape = [this](QEvent::Type type) {
        QKeyEvent e(type, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(form_, &e);
    };
    // The official presses Escape in the main window, whichever window was in front.
    QApplication::setActiveWindow(form_);
    form_->setFocus();
    // The open window goes with the aborted heat.
    log_.Abort(Now());
    escape(QEvent::KeyPress);
    if (!Run_Until([this] { return !form_->Heat_Running(); }, 2000)) Breach("Escape did not abort the heat");
    log_.Abort(Now());  // and what automatic capture opened before the abort came
    Run_For(random_.Between(20, 200));
    escape(QEvent::KeyRelease);
    heat_running_ = false;
    if (Control<QLabel>(*form_, "Label_heat_time")->text() != "Aborted")
        Breach("the heat clock does not say \"Aborted\"");
    Run_For(random_.Between(800, 2000));
}

void Meeting::Press(int trigger, bool down) {
    if (trigger == 0) {
        // The "Capture" button, as the window system delivers a press and release.
        QPushButton* b = Control<QPushButton>(*form_, "Cmd_capture");
        const QPoint at = b->rect().center();
        QApplication::postEvent(b, new QMouseEvent(down ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease,
                                                   QPointF(at), QPointF(b->mapToGlobal(at)), Qt::LeftButton,
                                                   down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier));
    } else {
        kit_->Set_Input(trigger, down);
    }
}

void Meeting::Slide(bool off) {
    QPushButton* b = Control<QPushButton>(*form_, "Cmd_capture");
    const QPoint at = off ? QPoint(-40, -40) : b->rect().center();
    QApplication::postEvent(b, new QMouseEvent(QEvent::MouseMove, QPointF(at), QPointF(b->mapToGlobal(at)),
                                               Qt::NoButton, Qt::LeftButton, Qt::NoModifier));
}

// The dogs' crossings, ms after the start: continuous times, some pairs closer
// than a field, the dead heat's pair inside one field.
void Meeting::Plan_Dogs(const Meeting_Heat_Plan& plan) {
    std::array<int, Dogs> order{1, 2, 3, 4, 5, 6};
    for (size_t i = order.size(); i > 1; --i) std::swap(order[i - 1], order[random_.Next() % i]);
    // Fields are exposed every 20 ms from the camera's frame arrivals, the pipe delay before.
    const double grid = Platform::Mill_Since(heat_->start, sim_->Next_Arrival_Mill()) - sim_->Pipe_Delay_Mill();
    const double period = period_;
    const auto next_field = [grid, period](double t) { return grid + std::floor((t - grid) / period + 1) * period; };
    const int dead = plan.Has(Meeting_Event::Dead_Heat) ? random_.Between(0, Dogs - 2) : -1;
    int close = random_.Between(0, Dogs - 2);
    if (close == dead) close = (close + 1) % (Dogs - 1);
    double t = random_.Uniform(2600, 3400);
    for (int i = 0; i < Dogs; ++i) {
        if (i > 0) {
            if (i - 1 == dead)
                t += random_.Uniform(0.1, 0.9) * (next_field(t) - t);
            else if (i - 1 == close || random_.Chance(0.25))
                t += random_.Uniform(0.3, 19.7);
            else
                t += random_.Uniform(25, 350);
        }
        crossing_[static_cast<size_t>(order[static_cast<size_t>(i)] - 1)] = t;
    }
    dead_pair_ = dead >= 0 ? std::make_pair(order[static_cast<size_t>(dead)], order[static_cast<size_t>(dead + 1)])
                           : std::make_pair(0, 0);
    Sim_Scene::Run run;
    const double start_scene = static_cast<double>(sim_->Scene_Time(heat_->start));
    run.Begin_Ms = start_scene;
    for (int b = 0; b < Dogs; ++b)
        run.Crossing_Ms[static_cast<size_t>(b)] = start_scene + crossing_[static_cast<size_t>(b)];
    sim_->Add_Scene_Run(run);
}

// The capture windows, as presses and releases at their times.
void Meeting::Schedule_Windows(const Meeting_Heat_Plan& plan) {
    const double first = *std::min_element(crossing_.begin(), crossing_.end());
    const double last = *std::max_element(crossing_.begin(), crossing_.end());
    const double delay = sim_->Pipe_Delay_Mill();
    const double since_start = Platform::Mill_Since(heat_->start, Now());
    struct Window {
        double open, close;
        int trigger;  // 0 the button, 3 or 5 a Control Box input
    };
    std::vector<Window> w;
    double open = plan.Has(Meeting_Event::Late_Press) ? first + delay + random_.Uniform(25, 200)
                                                      : first + delay - random_.Uniform(150, 450);
    const double close = last + delay + period_ * 2 + random_.Uniform(60, 400);
    const bool two = plan.Has(Meeting_Event::Two_Windows) ||
                     (plan.Has(Meeting_Event::Pointer_Slide_Off) && plan.Has(Meeting_Event::Box_Detach));
    if (two) {
        const double mid = random_.Uniform(first + delay, std::max(first + delay + 1, last + delay));
        const double gap = plan.Has(Meeting_Event::Quick_Reopen) ? random_.Uniform(40, 280) : random_.Uniform(320, 700);
        w.push_back({std::min(open, mid - 320), mid, 0});
        w.push_back({mid + gap, std::max(close, mid + gap + 320), 0});
    } else {
        w.push_back({open, std::max(close, open + 320), 0});
    }
    for (Window& x : w) {
        const double r = random_.Uniform(0, 1);
        x.trigger = r < 0.4 ? 0 : r < 0.8 ? 3 : 5;
    }
    if (plan.Has(Meeting_Event::Pointer_Slide_Off)) w.front().trigger = 0;
    // The box mostly drops off while its own input holds the window; sometimes
    // while the button does, which the box has no say in.
    if (plan.Has(Meeting_Event::Box_Detach) && w.back().trigger == 0 && random_.Chance(0.7)) w.back().trigger = 3;
    // A press of the button counts once every 300 ms; a window that begins
    // sooner after the last press waits for it.
    const auto after = [&](double t) { return static_cast<int32_t>(std::lround(t - since_start)); };
    for (size_t i = 0; i < w.size(); ++i) {
        const Window x = w[i];
        const int trigger = x.trigger;
        At(after(x.open), [this, trigger] { Press(trigger, true); });
        if (i + 1 == w.size() && plan.Has(Meeting_Event::Finish_While_Capturing))
            held_trigger_ = trigger;  // still held when the heat is finished
        else
            At(after(x.close), [this, trigger] { Press(trigger, false); });
        if (i == 0 && trigger == 0 && plan.Has(Meeting_Event::Pointer_Slide_Off)) {
            const double off = random_.Uniform(x.open + 50, x.close - 150);
            At(after(off), [this] { Slide(true); });
            At(after(off + random_.Uniform(30, 100)), [this] { Slide(false); });
        }
        const bool last_window = i + 1 == w.size();
        if (i == 0 && plan.Has(Meeting_Event::Two_Triggers_Held) && trigger != 0 &&
            !(last_window &&
              (plan.Has(Meeting_Event::Box_Detach) || plan.Has(Meeting_Event::Finish_While_Capturing)))) {
            // A second trigger joins the window and outlasts the first: the window ends with it.
            const int other = trigger == 3 ? 5 : 3;
            const double joined = x.open + random_.Uniform(40, 120);
            At(after(joined), [this, other] { Press(other, true); });
            At(after(x.close + random_.Uniform(120, 400)), [this, other] { Press(other, false); });
        }
        if (last_window && plan.Has(Meeting_Event::Failed_Append)) {
            // The file cannot be written when this window ends: a folder stands in its place.
            At(after(x.open + 60), [this] {
                const std::string file = form_->Heat().Current_File();
                std::error_code ec;
                fs::rename(file, file + ".aside", ec);
                if (!ec) fs::create_directory(file, ec);
                if (ec) return Breach("the recording could not be put aside: " + ec.message());
                unwritable_ = file;
            });
        }
        if (i + 1 == w.size() && plan.Has(Meeting_Event::Box_Detach)) {
            const double gone = random_.Uniform(x.open + 80, std::max(x.open + 81, x.close - 300));
            At(after(gone), [this] { kit_->Set_Plugged(false); });
            // Back on the bus with the trigger still held, or only after it was let go.
            const bool held = random_.Chance(0.6);
            const double back =
                held ? std::min(gone + random_.Uniform(80, 200), x.close - 40) : x.close + random_.Uniform(40, 300);
            At(after(back), [this] { kit_->Set_Plugged(true); });
            if (!held) heat_->events.push_back("capture trigger let go while the Control Box was off the bus");
        }
    }
}

bool Meeting::Review_Previous(const Meeting_Heat_Plan& plan) {
    const std::string previous = heats_.empty() ? std::string() : heats_.back().recording;
    if (previous.empty()) return true;
    if (plan.Has(Meeting_Event::Review_By_Menu)) {
        session_.Dialogs().Answer_File(previous);
        Control<QAction>(*form_, "item_open_file")->trigger();
    } else {
        Control<QAction>(*form_, "item_last_heat")->trigger();
    }
    if (!form_->Review_File_Open() || !Platform::Same_File(form_->Review_Handler()->File_name(), previous)) {
        Breach("the previous heat did not open for review");
        return false;
    }
    // The assistant's proposals come first (in real time, on their own
    // thread): the heat's memory is then the heat's own.
    Await_Proposals();
    // The official looks at the finish again.
    for (int i = 0; i < 3; ++i) {
        Go_To(random_.Between(1, std::max(1, Control<QSlider>(*form_, "Slider_play")->maximum())));
        Run_For(random_.Between(150, 600));
    }
    return true;
}

// --- review -----------------------------------------------------------------------------

// Moves the review to a position as the official does: page and arrow keys on
// the slider, a drag of the slider for the long way.
void Meeting::Go_To(int position) {
    QSlider* slider = Control<QSlider>(*form_, "Slider_play");
    const auto key = [this, slider](Qt::Key k) {
        for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent e(type, k, Qt::NoModifier);
            QApplication::sendEvent(slider, &e);
        }
        Run_For(random_.Between(30, 120));
    };
    if (std::abs(position - slider->value()) > 40) {
        slider->setSliderDown(true);
        slider->setSliderPosition(position + random_.Between(-8, 8));
        slider->setSliderDown(false);
        Run_For(random_.Between(50, 200));
    }
    for (int guard = 0; slider->value() != position && guard < 60; ++guard) {
        const int distance = position - slider->value();
        if (std::abs(distance) >= 5)
            key(distance > 0 ? Qt::Key_PageUp : Qt::Key_PageDown);
        else
            key(distance > 0 ? Qt::Key_Right : Qt::Key_Left);
    }
    if (slider->value() != position) Breach("the slider keys did not reach position " + std::to_string(position));
}

void Meeting::Click_Box(int box, int position, int32_t code, bool dead_heat) {
    Run_For(random_.Between(5, 40));  // clicks a moment apart keep their order
    if (position > 0 && Control<QSlider>(*form_, "Slider_play")->value() != position) Go_To(position);
    if (code != 0) {
        QAction* item = code == DNF_Code   ? Control<QAction>(*form_, "item_DNF")
                        : code == DSQ_Code ? Control<QAction>(*form_, "item_disqualified")
                                           : Control<QAction>(*form_, "item_NoRank");
        item->trigger();
        Control<QPushButton>(*form_, "Cmd_Notime")->click();
    }
    if (dead_heat) Control<QPushButton>(*form_, "Cmd_DeadHeat")->click();
    clicks_.push_back({box, Control<QSlider>(*form_, "Slider_play")->value(), code, dead_heat, Now()});
    Control<QPushButton>(*form_, "Command_BOX_set_time", static_cast<size_t>(box - 1))->click();
}

void Meeting::Correct_In_Competitors() {
    emit Control<QMenu>(*form_, "menu_form")->aboutToShow();
    Control<QAction>(*form_, "item_dog_names")->trigger();
    Form_heat_competitors* window = form_->Competitors_Window();
    if (!window) return Breach("the heat competitors window did not open");
    const int box = random_.Between(1, Dogs);
    const std::string corrected = names_[static_cast<size_t>(box - 1)] + " II";
    // Typed at the end of the name, one key at a time.
    QApplication::setActiveWindow(window);
    QLineEdit* field = window->Text_dog_name(box);
    field->setFocus();
    const auto key = [this, field](Qt::Key k, const QString& text, Qt::KeyboardModifiers mods) {
        for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent e(type, k, mods, text);
            QApplication::sendEvent(field, &e);
        }
        Run_For(random_.Between(60, 250));
    };
    key(Qt::Key_End, QString(), Qt::NoModifier);
    key(Qt::Key_Space, " ", Qt::NoModifier);
    key(Qt::Key_I, "I", Qt::ShiftModifier);
    key(Qt::Key_I, "I", Qt::ShiftModifier);
    if (field->text().toStdString() != corrected) Breach("typing gave \"" + field->text().toStdString() + "\"");
    names_[static_cast<size_t>(box - 1)] = corrected;
    heat_->events.push_back("box " + std::to_string(box) + " renamed \"" + corrected +
                            "\" in the heat competitors window");
    Run_For(random_.Between(200, 800));
    if (random_.Chance(0.4)) {
        // Left open; the official closes it later, when the next heat is on.
        left_open_ = window;
        heat_->events.push_back("heat competitors window left open");
        return;
    }
    window->item_hide->trigger();
    Run_For(50);
}

void Meeting::Correct_In_Results() {
    Form_Hdx_Results* results = form_->Results_Form();
    const auto right_press = [](QWidget* w) {
        const QPoint at = w->rect().center();
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), Qt::RightButton,
                          type == QEvent::MouseButtonPress ? Qt::RightButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(w, &e);
        }
    };
    if (random_.Chance(0.5)) {
        heat_name_ += " (corrected)";
        session_.Dialogs().Answer_Input(heat_name_);
        right_press(results->Label_Heat_name);
        heat_->events.push_back("heat name corrected in the results window");
    } else {
        // The row of the results window, and the box the ranking puts there.
        std::vector<Ranked_Entry> boxes;
        cls_VideoFile_handler& h = *form_->Review_Handler();
        for (int b = 1; b <= Dogs; ++b)
            boxes.push_back({b, h.Hdx_Heat_time(static_cast<int16_t>(b), false),
                             h.Hdx_Heat_Click_Time(static_cast<int16_t>(b)), h.Hdx_dead_heat(static_cast<int16_t>(b)),
                             ""});
        const auto ranked = Rank_Results(boxes);
        const int row = random_.Between(0, Dogs - 1);
        const int box = ranked[static_cast<size_t>(row)].Box;
        const std::string corrected = "Corrected " + names_[static_cast<size_t>(box - 1)];
        names_[static_cast<size_t>(box - 1)] = corrected;
        session_.Dialogs().Answer_Input(corrected);
        right_press(results->Label_name[static_cast<size_t>(row)]);
        heat_->events.push_back("row " + std::to_string(row + 1) + " (box " + std::to_string(box) +
                                ") renamed in the results window");
    }
    Run_For(50);
}

// The assistant's search runs in real time on its own thread; it ends within
// seconds, so two minutes means it hangs (the figures then show no proposals).
void Meeting::Await_Proposals() {
    const auto began = std::chrono::steady_clock::now();
    while (form_->Proposals_Busy() && std::chrono::steady_clock::now() - began < std::chrono::seconds(120)) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// The assistant's proposals for the heat just opened, beside the truth; the
// official waits for them (they come from another thread, in real time).
void Meeting::Take_Proposals() {
    Await_Proposals();
    QCoreApplication::processEvents();
    const Heat_Proposals* proposals = form_->Proposals();
    if (!proposals) return Breach("the assistant gave no proposals for the heat");
    if (!proposals->Problem.empty()) Breach("the assistant could not look at the heat: " + proposals->Problem);
    assistant_.slowest_ms = std::max(assistant_.slowest_ms, proposals->Elapsed_Mill);
    // Every time the program shows is 2 ms after the exposure it belongs to.
    const double tolerance = format_.Fps >= 100 ? 2 : 3;
    for (Dog_Result& d : heat_->dogs) {
        const Box_Proposal* p = proposals->Box(d.box);
        if (!p) continue;
        d.proposed = p->Proposed;
        d.proposed_field = p->Proposed ? p->Position : 0;
        d.proposed_ms = p->Proposed ? p->Field_Time : 0;
        d.estimate_ms = p->Proposed ? p->Estimate : std::nullopt;
        d.confidence = p->Confidence;
        d.doubt = p->Doubt;
        if (d.position == 0) continue;  // its crossing is not in the recording
        ++assistant_.finishers;
        if (!d.proposed) {
            ++assistant_.unsure;
            continue;
        }
        ++assistant_.proposed;
        assistant_.first_field_right += d.proposed_field == d.position;
        if (d.estimate_ms) {
            ++assistant_.estimates;
            assistant_.estimates_close += std::abs(*d.estimate_ms - (d.crossing + 2)) <= tolerance;
        }
    }
    for (const Dog_Result& a : heat_->dogs)
        for (const Dog_Result& b : heat_->dogs) {
            if (a.box >= b.box || !a.proposed || !b.proposed || a.position == 0 || b.position == 0) continue;
            if (std::abs(a.crossing - b.crossing) <= 20) continue;
            const double ta = a.estimate_ms ? *a.estimate_ms : a.proposed_ms;
            const double tb = b.estimate_ms ? *b.estimate_ms : b.proposed_ms;
            ++assistant_.pairs;
            assistant_.pairs_right += (ta < tb) == (a.crossing < b.crossing);
        }
}

// Alt+box to the assistant's field, then Enter: only where it proposes the
// field the official would click. False (nothing done) anywhere else.
bool Meeting::Enter_Proposal(int box) {
    Dog_Result& d = heat_->dogs[static_cast<size_t>(box - 1)];
    if (!d.proposed || d.proposed_field != d.position || d.position == 0) return false;
    Run_For(random_.Between(5, 40));
    Control<QAction>(*form_, ("item_goto_proposal_" + std::to_string(box)).c_str())->trigger();
    if (Control<QSlider>(*form_, "Slider_play")->value() != d.position) {
        Breach("box " + std::to_string(box) + "'s proposal key did not go to field " + std::to_string(d.position));
        return false;
    }
    QAction* store = Control<QAction>(*form_, "item_store_proposal");
    if (!store->isEnabled()) {
        Breach("Enter is not offered at box " + std::to_string(box) + "'s proposed field");
        return false;
    }
    clicks_.push_back({box, d.position, 0, false, Now()});
    store->trigger();
    d.entered = true;
    ++assistant_.entered;
    return true;
}

// The official's review: each dog's time at the first field its nose is past the
// line, special results and the dead heat as the seed chose them.
bool Meeting::Review_And_Time(const Meeting_Heat_Plan& plan, const std::vector<int32_t>& frames) {
    // The finish may have opened it already.
    if (!form_->Review_File_Open()) Control<QAction>(*form_, "item_last_heat")->trigger();
    if (!form_->Review_File_Open() || !Platform::Same_File(form_->Review_Handler()->File_name(), heat_->recording)) {
        Breach("the heat's recording did not open for review");
        return false;
    }
    const int per_frame = format_.Interlaced ? 2 : 1;
    if (Control<QSlider>(*form_, "Slider_play")->maximum() != static_cast<int>(frames.size()) * per_frame)
        Breach("the review offers " + std::to_string(Control<QSlider>(*form_, "Slider_play")->maximum()) +
               " positions for " + std::to_string(frames.size()) + " frames");

    // Interlaced: review position p shows field (p odd: the first-exposed) of
    // the (p + 1) / 2-th frame kept. Progressive: position p is the p-th frame.
    std::map<int32_t, int64_t> frame_of;
    for (const Capture_Log::Entry& e : log_.Entries())
        if (e.kind == Capture_Log::Entry::Frame) frame_of[e.stamp] = e.frame;
    const double finish = sim_->Scene().Finish_X();
    struct Field {
        int64_t frame;
        int field;  // the simulator's: 2 the first-exposed, 1 the other, 0 a progressive frame
        const Sim_Field_Truth* truth;
    };
    std::vector<Field> fields;
    for (const int32_t stamp : frames) {
        const int64_t n = frame_of.count(stamp) ? frame_of[stamp] : 0;
        for (const int f : Sim_Fields(format_)) fields.push_back({n, f, sim_->Field_Truth(n, f)});
    }
    for (Dog_Result& d : heat_->dogs) {
        for (size_t i = 0; i < fields.size(); ++i) {
            // Fields exposed before the start show the dogs going round, not this race.
            if (fields[i].truth && Platform::Mill_Since(heat_->start, fields[i].truth->Exposure_Mill) < 0) continue;
            if (!fields[i].truth || fields[i].truth->Nose_X[static_cast<size_t>(d.box - 1)] < finish) continue;
            // Timed only where the field before it is the one the camera exposed just before.
            const bool seen_before = i > 0 && fields[i - 1].truth &&
                                     fields[i - 1].truth->Nose_X[static_cast<size_t>(d.box - 1)] < finish &&
                                     (fields[i].field == 1 ? fields[i - 1].frame == fields[i].frame
                                                           : fields[i - 1].frame + 1 == fields[i].frame);
            if (seen_before) d.position = static_cast<int>(i + 1);
            break;
        }
    }

    Take_Proposals();

    // The special results go to dogs outside the dead heat.
    std::vector<int> others;
    for (int b = 1; b <= Dogs; ++b)
        if (b != dead_pair_.first && b != dead_pair_.second) others.push_back(b);
    for (size_t i = others.size(); i > 1; --i) std::swap(others[i - 1], others[random_.Next() % i]);
    std::map<int, int32_t> special;
    for (const auto& [event, code] : {std::pair{Meeting_Event::DNF, DNF_Code}, std::pair{Meeting_Event::DSQ, DSQ_Code},
                                      std::pair{Meeting_Event::No_Rank, No_Rank_Code}})
        if (plan.Has(event) && !others.empty()) {
            special[others.back()] = code;
            others.pop_back();
        }

    std::vector<int> order{1, 2, 3, 4, 5, 6};
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
        return crossing_[static_cast<size_t>(a - 1)] < crossing_[static_cast<size_t>(b - 1)];
    });
    const auto dog = [this](int box) -> Dog_Result& { return heat_->dogs[static_cast<size_t>(box - 1)]; };
    const bool dead_heat = dead_pair_.first != 0 && dog(dead_pair_.first).position != 0 &&
                           dog(dead_pair_.first).position == dog(dead_pair_.second).position;
    if (dead_pair_.first != 0 && !dead_heat)
        heat_->events.push_back("dead heat not given: its pair is not in one recorded field");
    const bool reclick = random_.Chance(0.3);
    for (const int box : order) {
        if (dead_heat && box == dead_pair_.second) continue;  // clicked with its partner
        if (special.count(box)) {
            Click_Box(box, dog(box).position, special[box], false);
            continue;
        }
        if (dog(box).position == 0) continue;  // its crossing is not in the recording
        if (reclick && box == order.front() &&
            dog(box).position + 2 <= Control<QSlider>(*form_, "Slider_play")->maximum()) {
            // A wrong field first, then the right one: the last click counts.
            Click_Box(box, dog(box).position + 2, 0, false);
            heat_->events.push_back("box " + std::to_string(box) + " timed twice, the second click right");
        }
        const bool in_dead_heat = dead_heat && (box == dead_pair_.first || box == dead_pair_.second);
        // Some dogs the official takes from the assistant: its field, then Enter.
        if (!in_dead_heat && random_.Chance(0.5) && Enter_Proposal(box)) continue;
        Click_Box(box, dog(box).position, 0, false);
        if (dead_heat && box == dead_pair_.first) Click_Box(dead_pair_.second, dog(box).position, 0, true);
    }
    if (plan.Has(Meeting_Event::Competitors_Correction)) Correct_In_Competitors();
    if (plan.Has(Meeting_Event::Results_Correction)) Correct_In_Results();
    Check_Ranking();
    if (plan.Has(Meeting_Event::Declare_Official)) Declare_And_Correct(plan);
    Control<QAction>(*form_, "item_close_file")->trigger();
    return true;
}

// The judge's order is declared official; some heats are looked at again
// afterwards and one dog re-timed, with a reason the trail keeps.
void Meeting::Declare_And_Correct(const Meeting_Heat_Plan& plan) {
    session_.Dialogs().Answer_Message(Platform::MsgResult::OK);
    form_->Results_Form()->item_declare_official->trigger();
    const Review_Session* review = form_->Session();
    if (!review || !review->Official()) return Breach("the heat was not declared official");
    heat_->official = true;
    heat_->events.push_back("the judge's order declared official");
    if (!plan.Has(Meeting_Event::Official_Correction)) return;
    // A timed dog outside the dead heat, clicked again at the field it was timed at.
    std::map<int, Click> last;
    for (const Click& c : clicks_) last[c.box] = c;
    std::vector<int> timed;
    for (const auto& [box, c] : last)
        if (c.code == 0 && !c.dead_heat && c.position > 0 && box != dead_pair_.first && box != dead_pair_.second)
            timed.push_back(box);
    if (timed.empty()) return;
    const int box = timed[random_.Next() % timed.size()];
    const size_t before = review->Result().Trail.size();
    session_.Dialogs().Answer_Input("photo checked again by the judge");
    Click_Box(box, last[box].position, 0, false);
    review = form_->Session();
    if (!review || review->Result().Trail.size() != before + 1 || review->Result().Status() != "amended")
        return Breach("the change after the declaration is not in the trail");
    heat_->trail = static_cast<int>(review->Result().Trail.size());
    heat_->events.push_back("box " + std::to_string(box) + " re-timed after the declaration, with a reason");
    Check_Ranking();
}

// --- checks ---------------------------------------------------------------------------------

void Meeting::Check_Ranking() {
    if (!form_->Review_File_Open()) return;
    // The header as clicked, ranked by the rule; the window's rows must show it.
    std::map<int, Click> last;
    for (const Click& c : clicks_) last[c.box] = c;
    std::vector<Ranked_Entry> boxes;
    for (int b = 1; b <= Dogs; ++b) {
        Ranked_Entry e;
        e.Box = b;
        if (last.count(b)) {
            e.Goal_Time = form_->Review_Handler()->Hdx_Heat_time(static_cast<int16_t>(b), false);
            e.Click_Time = last[b].click_mill;
            e.Dead_Heat = last[b].dead_heat;
        }
        boxes.push_back(e);
    }
    const auto ranked = Rank_Results(boxes);
    Form_Hdx_Results* results = form_->Results_Form();
    for (size_t r = 0; r < ranked.size(); ++r) {
        const std::string want_name = names_[static_cast<size_t>(ranked[r].Box - 1)];
        const std::string shown_name = results->Label_name[r]->text().toStdString();
        const std::string shown_rank = results->Label_rank[r]->text().toStdString();
        const int32_t t = ranked[r].Goal_Time;
        const std::string want_time = t == DSQ_Code             ? "DSQ"
                                      : t == DNF_Code           ? "DNF"
                                      : t == No_Rank_Code       ? "No rank"
                                      : t == 0 || t >= DNF_Code ? "---,---"
                                                                : Display_Mill_Time(t, true);
        const std::string shown_time = results->Label_time[r]->text().toStdString();
        if (shown_name != want_name || shown_rank != ranked[r].Rank || shown_time != want_time)
            Breach("results row " + std::to_string(r + 1) + " shows " + shown_rank + " \"" + shown_name + "\" " +
                   shown_time + ", the rule gives " + ranked[r].Rank + " \"" + want_name + "\" " + want_time);
    }
}

// Whether a stored picture shows the frame its stamp names: in each field,
// every dog whose nose is inside the crop (and clear of the finish line) ends
// where the simulator put it when that field was exposed, give or take what
// JPEG does to an edge.
std::string Picture_Fault(const uint8_t* bits, int width, int height, const SimVideoCap& sim, int64_t frame,
                          bool interlaced) {
    const Sim_Scene& scene = sim.Scene();
    const int left = cls_Capture_HDMI::Crop_Offset(scene.Width(), width);
    const int top = cls_Capture_HDMI::Crop_Offset(scene.Height(), height);
    const int64_t stride = Bytes_Per_Scan_Line(width);
    const double line = scene.Finish_X() - left;
    for (const int field : Sim_Fields(interlaced)) {
        const Sim_Field_Truth* truth = sim.Field_Truth(frame, field);
        if (!truth) return "the simulator has no record of frame " + std::to_string(frame);
        const int parity = field == 1 ? 1 : 0;  // the first-exposed field holds the top row
        for (int box = 1; box <= Dogs; ++box) {
            // Box 5's orange is about as bright as the sand: JPEG's coarser
            // colour takes the tip of its thin snout away.
            if (box == 5) continue;
            const double nose = truth->Nose_X[static_cast<size_t>(box - 1)] - left;
            // Beside the white finish line JPEG blurs a snout beyond telling.
            if (nose < 12 || nose > width - 12 || std::abs(nose - line) < 24) continue;
            int nose_y = scene.Nose_Y(box);
            if (interlaced && (nose_y & 1) != parity) --nose_y;
            // The nose's row and the field's rows either side: where a lane
            // line crosses the nose's row, a dark snout on it differs too little
            // from the ground there.
            int seen = -1;
            bool inside = false;
            for (const int y : {nose_y - 2, nose_y, nose_y + 2}) {
                const int row = y - top;
                if (row < 0 || row >= height || y < 0 || y >= scene.Background().height()) continue;
                inside = true;
                const uint8_t* pixels = bits + static_cast<int64_t>(height - 1 - row) * stride;
                const uint8_t* ground = scene.Background().constScanLine(y) + static_cast<int64_t>(left) * 3;
                for (int x = width - 1; x > seen; --x) {
                    if (std::abs(x - line) < scene.Finish_Line_Width() + 4) continue;
                    int diff = 0;
                    for (int c = 0; c < 3; ++c) diff += std::abs(pixels[x * 3 + c] - ground[x * 3 + c]);
                    // Well above JPEG's ringing beside a dark edge, below every coloured dog but orange.
                    if (diff > 170) {
                        seen = x;
                        break;
                    }
                }
            }
            if (!inside) continue;
            // JPEG moves a coloured snout's tip by up to 6 px in an interlaced
            // frame; a dog moves 15 px or more between two frames. A blurred tip
            // (the harder scene) fades over half the way it ran while exposed.
            const double blur = scene.Hardened() ? scene.Speed(box, sim.Scene_Time(truth->Exposure_Mill)) *
                                                       scene.Exposure_Mill() / 1000.0
                                                 : 0.0;
            if (std::abs(seen - nose) > 10 + blur / 2)
                return "box " + std::to_string(box) + "'s nose is at x " + std::to_string(seen) + " where frame " +
                       std::to_string(frame) + " had it at " + Number(nose);
        }
    }
    return {};
}

void Meeting::Check_Recording(const std::vector<int32_t>& frames) {
    cls_VideoFile_handler r;
    if (!r.Open_File(heat_->recording)) return Breach("the recording does not open");
    std::map<int32_t, int64_t> frame_of;
    for (const Capture_Log::Entry& e : log_.Entries())
        if (e.kind == Capture_Log::Entry::Frame) frame_of[e.stamp] = e.frame;
    std::vector<int32_t> kept;
    bool pictures_checked = false;
    for (int32_t i = 1; i <= r.num_Frames(); ++i) {
        if (!r.Read_RGB_sample(static_cast<int16_t>(i), true) || !r.Decoded_Bits()) {
            Breach("frame " + std::to_string(i) + " of the recording cannot be read");
            break;
        }
        kept.push_back(r.NX3_Capture_mill());
        if (pictures_checked || !frame_of.count(kept.back())) continue;
        const std::string fault =
            Picture_Fault(r.Decoded_Bits(), r.Width(), r.Height(), *sim_, frame_of[kept.back()], format_.Interlaced);
        if (!fault.empty()) {
            Breach("frame " + std::to_string(i) + " of the recording, stamped " + std::to_string(kept.back()) +
                   ", shows another moment: " + fault);
            pictures_checked = true;  // one such breach a heat tells enough
        }
    }
    if (kept != frames) {
        std::string why = "the recording holds " + std::to_string(kept.size()) + " frames, the windows took " +
                          std::to_string(frames.size());
        for (size_t i = 0; i < std::max(kept.size(), frames.size()); ++i)
            if (i >= kept.size() || i >= frames.size() || kept[i] != frames[i]) {
                why += "; first difference at frame " + std::to_string(i + 1) + ": stored " +
                       (i < kept.size() ? std::to_string(kept[i]) : "none") + ", delivered " +
                       (i < frames.size() ? std::to_string(frames[i]) : "none");
                break;
            }
        Breach(why);
    }
    if (r.Hdx_Heat_ID() != std::to_string(heat_->heat)) Breach("heat id \"" + r.Hdx_Heat_ID() + "\"");
    if (r.Hdx_event() != programme_.Event) Breach("event \"" + r.Hdx_event() + "\"");
    heat_->heat_name = r.Hdx_Heat_Name();
    if (r.Hdx_Heat_Name() != heat_name_) Breach("heat name \"" + r.Hdx_Heat_Name() + "\", not \"" + heat_name_ + "\"");
    if (r.Hdx_start_PC_mill() != heat_->start)
        Breach("start stamp " + std::to_string(r.Hdx_start_PC_mill()) + ", the start was given at " +
               std::to_string(heat_->start));

    std::map<int, Click> last;
    for (const Click& c : clicks_) last[c.box] = c;
    for (Dog_Result& d : heat_->dogs) {
        const int16_t b = static_cast<int16_t>(d.box);
        const std::string box = "box " + std::to_string(d.box);
        d.name = r.Hdx_Dog_name(b);
        if (d.name != names_[static_cast<size_t>(d.box - 1)])
            Breach(box + " is named \"" + d.name + "\", not \"" + names_[static_cast<size_t>(d.box - 1)] + "\"");
        d.assigned = r.Hdx_Heat_time(b, false);
        const bool clicked = last.count(d.box) != 0;
        int32_t want = 0;
        if (clicked) {
            const Click& c = last[d.box];
            const size_t frame = static_cast<size_t>(format_.Interlaced ? (c.position + 1) / 2 : c.position);
            // An interlaced frame's second field is shown half the frame period after its stamp.
            const int32_t second = static_cast<int32_t>(std::lround(500.0 / format_.Fps));
            if (c.code != 0) {
                want = c.code;
            } else if (frame >= 1 && frame <= frames.size()) {
                // The clicked position's stamp, the start, +2, the second field's offset, the compensation.
                want = Platform::Mill_Since(heat_->start, frames[frame - 1]) + 2 +
                       (format_.Interlaced && c.position % 2 == 0 ? second : 0) - Goal_Compensation;
            }
            if (r.Hdx_heat_frame(b) != c.position)
                Breach(box + " holds position " + std::to_string(r.Hdx_heat_frame(b)) + ", clicked at " +
                       std::to_string(c.position));
            if (r.Hdx_dead_heat(b) != c.dead_heat) Breach(box + ": the dead-heat mark is not as clicked");
        }
        if (d.assigned != want)
            Breach(box + " holds " + std::to_string(d.assigned) + ", the click gives " + std::to_string(want));
        d.result = d.assigned == DNF_Code       ? "DNF"
                   : d.assigned == DSQ_Code     ? "DSQ"
                   : d.assigned == No_Rank_Code ? "no rank"
                   : d.assigned == 0            ? "no time"
                                                : "time";
        if (d.result == "time" && clicked && last[d.box].code == 0) {
            const double error = d.assigned - d.crossing;
            errors_.push_back(error);
            // The first position past the line was exposed within one period
            // after the crossing; stamps and times are whole milliseconds.
            if (error < -1 || error > period_ + 3)
                Breach(box + ": assigned " + std::to_string(d.assigned) + " ms, crossed at " + Number(d.crossing) +
                       " ms");
        }
    }
}

void Meeting::Check_Earlier_Recordings() {
    for (const auto& [path, print] : fingerprints_)
        if (File_Fingerprint(path) != print) Breach("the recording " + path + " changed after its heat ended");
}

// --- one heat ----------------------------------------------------------------------------------

void Meeting::Run_Heat(const Meeting_Heat_Plan& plan) {
    heats_.push_back(Heat_Record{});
    heat_ = &heats_.back();
    heat_->heat = plan.Heat;
    for (Meeting_Event e : plan.Events) heat_->events.push_back(Meeting_Event_Name(e));
    programme_heat_ = &programme_.Heats[static_cast<size_t>(plan.Heat - 1)];
    names_ = programme_heat_->Dogs;
    heat_name_ = programme_heat_->Name;
    clicks_.clear();
    busy_ms_ = random_.Between(0, 3) * 12;
    const size_t reports_before = session_.Reports().size();
    const size_t log_begin = log_.Size();

    auto finish = [&] {
        for (size_t i = reports_before; i < session_.Reports().size(); ++i) {
            // The unwritable file says so, and so does the window it could not take.
            const bool expected = plan.Has(Meeting_Event::Failed_Append) &&
                                  (session_.Reports()[i].find("could not be stored") != std::string::npos ||
                                   session_.Reports()[i].find("Path/File access error") != std::string::npos);
            if (!expected) Breach("error report: " + session_.Reports()[i]);
        }
        Check_Earlier_Recordings();
        if (!heat_->recording.empty() && FileExists(heat_->recording))
            fingerprints_[heat_->recording] = File_Fingerprint(heat_->recording);
    };

    // The next heat is chosen before or after the look at the last one.
    const bool choose_first = random_.Chance(0.5);
    if (choose_first) Control<QSpinBox>(*form_, "UpDown_heat")->setValue(plan.Heat);
    if ((plan.Has(Meeting_Event::Review_By_Menu) || plan.Has(Meeting_Event::Review_By_Last_Heat)) &&
        !Review_Previous(plan))
        return finish();
    if (!Camera_On()) return finish();
    if (left_open_) {
        left_open_->item_hide->trigger();
        Run_For(50);
    }
    if (plan.Has(Meeting_Event::Camera_Restart)) {
        Camera_Click();
        Run_For(random_.Between(200, 900));
        if (!Camera_On()) return finish();
    }
    if (!choose_first) Control<QSpinBox>(*form_, "UpDown_heat")->setValue(plan.Heat);
    Run_For(random_.Between(300, 1500));

    // The heat begins with its file; the camera has been running before it.
    Platform::Return_Freed_Memory();
    const uint64_t memory_before = Platform::Resident_Memory();
    std::set<std::string> before;
    for (const auto& f : fs::directory_iterator(session_.Folder())) before.insert(f.path().string());
    const auto new_recording = [&] {
        for (const auto& f : fs::directory_iterator(session_.Folder()))
            // The recording itself, not its journal or header copy beside it.
            if (!before.count(f.path().string()) && f.path().extension() == ".nx3")
                heat_->recording = f.path().string();
        if (heat_->recording.empty() || !Platform::Same_File(heat_->recording, form_->Heat().Current_File())) {
            Breach("no recording was initiated");
            return false;
        }
        return true;
    };
    if (!auto_init_) {
        Control<QPushButton>(*form_, "Command_initiate_file")->click();
        if (!new_recording()) return finish();
        Run_For(random_.Between(500, 2500));
    }

    Write_Ini("Settings", "auto_capture", plan.Has(Meeting_Event::Auto_Capture) ? "1" : "0", Facts().Ini_file_path);
    store_failed_ = false;
    ended_unwritable_ = false;
    if (plan.Has(Meeting_Event::Reattach_Start_Closed) && !auto_init_) {
        // Off the bus; the start line closes meanwhile; back with it closed: no start may come of it.
        kit_->Set_Plugged(false);
        Run_For(random_.Between(200, 600));
        kit_->Set_Input(2, true);
        Run_For(random_.Between(100, 400));
        kit_->Set_Plugged(true);
        Run_For(random_.Between(300, 800));
        if (form_->Heat_Running()) Breach("a start line found closed at attach started the heat");
        if (Control<QLabel>(*form_, "Label_status")
                ->text()
                .toStdString()
                .find("closed when the Control Box attached") == std::string::npos)
            Breach("the official was not told of the start line found closed");
        kit_->Set_Input(2, false);
        Run_For(random_.Between(300, 900));
    }
    const Start_Signal signal = plan.Start;
    if (!Give_Start(signal)) return finish();
    if (auto_init_ && !new_recording()) return finish();
    if (plan.Has(Meeting_Event::Abort_Restart) || plan.Has(Meeting_Event::Abort_With_Window)) {
        const int trigger =
            plan.Has(Meeting_Event::Abort_With_Window) ? std::array<int, 3>{0, 3, 5}[random_.Between(0, 2)] : -1;
        if (trigger >= 0) {
            Run_For(random_.Between(300, 700));
            Press(trigger, true);
            Run_For(random_.Between(200, 600));
        }
        Abort();
        if (trigger >= 0) {
            if (form_->Heat().Capturing()) Breach("the abort left a capture window open");
            Press(trigger, false);
            Run_For(random_.Between(300, 700));
        }
        if (!Give_Start(static_cast<Start_Signal>(random_.Between(0, 2)))) return finish();
    }
    if (plan.Has(Meeting_Event::Review_During_Heat) && !heats_.empty() && heats_.size() >= 2) {
        // The previous heat is looked at while this one runs; the heat must go on behind it.
        const std::string previous = heats_[heats_.size() - 2].recording;
        if (!previous.empty() && FileExists(previous)) {
            session_.Dialogs().Answer_File(previous);
            Control<QAction>(*form_, "item_open_file")->trigger();
            Run_For(random_.Between(100, 400));
            if (!form_->Review_File_Open()) Breach("the previous heat did not open during the heat");
            if (!form_->Camera_Running() || !form_->Heat_Running()) Breach("opening a review stopped the heat");
        }
    }
    Plan_Dogs(plan);
    Schedule_Windows(plan);
    // The heat runs until every window has closed and been written.
    Run_Until([this] { return actions_.empty(); }, 20000);
    if (form_->Review_File_Open() && heat_running_) {
        // Back to the live picture: the camera runs on for the heat.
        Camera_Click();
        Run_For(200);
        if (form_->Review_File_Open() || !form_->Camera_Running()) Breach("the live view did not come back");
    }
    const auto finish_heat = [&] {
        log_.Finish(Now());  // the finish writes a window still open first, without the post-trigger time
        if (plan.Has(Meeting_Event::Finish_By_Last_Heat))
            Control<QAction>(*form_, "item_last_heat")->trigger();
        else
            Control<QPushButton>(*form_, "Command_finish")->click();
        heat_running_ = false;
        if (form_->Heat_Running()) Breach("the heat did not finish");
    };
    if (held_trigger_ >= 0) {
        Run_For(random_.Between(300, 900));
        finish_heat();
        Run_For(random_.Between(100, 600));
        Press(held_trigger_, false);
        held_trigger_ = -1;
        Run_For(100);
    } else {
        Run_For(1500);
    }
    // Automatic capture may still watch running dogs here (the finish writes its window, and the
    // frames check below holds it to account); no other window may be open.
    if (!plan.Has(Meeting_Event::Auto_Capture) && (log_.Window_Open() || form_->Heat().Capturing()))
        Breach(std::string("a capture window is still open (") +
               (form_->Heat().Capturing() ? "the program's" : "only in the harness's account") + ")");
    // A review opened at the heat's end ("Open last heat") searches it for
    // proposals meanwhile: what that search holds while it runs is the review's.
    Await_Proposals();
    // What the program itself gave back after its append: the harness frees nothing here.
    const uint64_t memory_after = Platform::Resident_Memory();
    heat_->memory_growth_mb = (static_cast<double>(memory_after) - static_cast<double>(memory_before)) / 1048576.0;
    // The first heat also sets up what the program keeps for good (compression workers, encoders);
    // a review opened during the heat keeps its own pictures and windows, which are not the heat's.
    // What the camera's queues and the allocator keep grows with the pictures a second.
    const double rate = std::max(1.0, sim_->Delivered_Fps() / 25.0);
    const auto allowance =
        static_cast<uint64_t>(rate * static_cast<double>(heats_.size() == 1 ? 2 * Memory_Allowance : Memory_Allowance));
    if (Memory_Checked && !plan.Has(Meeting_Event::Review_During_Heat) && memory_after > memory_before + allowance)
        Breach("memory after the last append is " + std::to_string((memory_after - memory_before) >> 20) +
               " MB above the level before the heat");
    if (heat_running_) {
        Run_For(random_.Between(200, 900));
        finish_heat();
    }

    if (!unwritable_.empty()) {
        // The stick is back: the file can be written again.
        std::error_code ec;
        fs::remove(unwritable_, ec);
        fs::rename(unwritable_ + ".aside", unwritable_, ec);
        if (ec) Breach("the recording could not be put back: " + ec.message());
        if (!store_failed_ && ended_unwritable_) Breach("no report said the window was not stored");
        if (!FileExists(Frame_Journal::Path_For(unwritable_)) && store_failed_)
            Breach("the journal of the window not stored is gone");
        unwritable_.clear();
    }
    heat_->delivered = log_.Window_Frames(log_begin, pre_trigger_ms_, post_trigger_ms_);
    heat_->windows = log_.Windows(log_begin);
    for (int b = 1; b <= Dogs; ++b) {
        Dog_Result d;
        d.box = b;
        d.crossing = crossing_[static_cast<size_t>(b - 1)];
        heat_->dogs.push_back(d);
    }
    Run_For(random_.Between(300, 1200));
    Review_And_Time(plan, heat_->delivered);
    Check_Recording(heat_->delivered);
    finish();
}

// --- the meeting --------------------------------------------------------------------------------

// The race card goes in as an official brings it: "Import dog names" in the
// registration window, the file chosen, the preview read and accepted. Every
// heat the meeting races then takes its names from what the import stored.
bool Meeting::Import_Race_Card() {
    if (race_card_.Bytes.empty()) {
        faults_.push_back("the race card cannot be written in " + race_card_.Encoding);
        return false;
    }
    race_card_path_ = Platform::Join_Path(session_.Folder(), "race_card.csv");
    if (!Platform::Write_File_Atomic(race_card_path_, race_card_.Bytes)) {
        faults_.push_back("the race card cannot be written to " + race_card_path_);
        return false;
    }
    Form_event_registration* registration = form_->Registration_Window();
    if (!registration) {
        faults_.push_back("no event registration window to import the race card");
        return false;
    }
    Platform::ScriptedDialogs& dialogs = session_.Dialogs();
    const size_t before = dialogs.shown.size();
    dialogs.Answer_File(race_card_path_);
    dialogs.Answer_Message(Platform::MsgResult::Yes);
    registration->item_import_dog_names->trigger();
    const std::vector<Platform::ScriptedDialogs::Shown> said(dialogs.shown.begin() + static_cast<ptrdiff_t>(before),
                                                             dialogs.shown.end());
    const size_t heats = race_card_.Expected.Heats.size();
    const bool previewed =
        said.size() == 3 && said[0].kind == "open" && said[1].buttons == Platform::MsgButtons::YesNo &&
        said[1].text.find(std::to_string(race_card_.Dogs) + " dogs in " + std::to_string(heats)) != std::string::npos &&
        said[1].text.find("Heat " + std::to_string(heats) + ":") != std::string::npos;
    if (!previewed)
        faults_.push_back("the race card import did not show its preview (" + std::to_string(said.size()) +
                          " boxes shown" + (said.size() > 1 ? ": " + said[1].text : std::string()) + ")");
    if (!said.empty() && said.back().text == std::to_string(race_card_.Dogs) + " Dogs imported!")
        race_card_imported_ = race_card_.Dogs;
    else
        faults_.push_back("the race card import ended with \"" + (said.empty() ? std::string() : said.back().text) +
                          "\"");
    // What the event file holds now is what each heat will be raced with.
    for (size_t h = 0; h < heats; ++h) {
        const int heat = static_cast<int>(h + 1);
        const Programme_Heat& want = race_card_.Expected.Heats[h];
        if (registration->Heat_Name(heat) != want.Name)
            faults_.push_back("heat " + std::to_string(heat) + " is named \"" + registration->Heat_Name(heat) +
                              "\" after the import, not \"" + want.Name + "\"");
        if (registration->Heat_Length(heat) != want.Length)
            faults_.push_back("heat " + std::to_string(heat) + " is " + registration->Heat_Length(heat) +
                              " m after the import, not " + want.Length + " m");
        for (int box = 1; box <= Dogs; ++box)
            if (registration->Reg_Dog_Name(heat, box) != want.Dogs[static_cast<size_t>(box - 1)])
                faults_.push_back("heat " + std::to_string(heat) + " box " + std::to_string(box) + " holds \"" +
                                  registration->Reg_Dog_Name(heat, box) + "\" after the import, not \"" +
                                  want.Dogs[static_cast<size_t>(box - 1)] + "\"");
    }
    return race_card_imported_ == race_card_.Dogs;
}

void Meeting::Write_Json() {
    std::ostringstream j;
    j << "{\"seed\": " << options_.Seed << ",\n \"event\": " << Json_Text(programme_.Event)
      << ",\n \"camera_format\": " << Json_Text(Sim_Format_Name(format_))
      << ",\n \"race_card\": {\"file\": " << Json_Text(race_card_path_)
      << ", \"encoding\": " << Json_Text(race_card_.Encoding) << ", \"heats\": " << race_card_.Expected.Heats.size()
      << ", \"dogs\": " << race_card_.Dogs << ", \"dogs_imported\": " << race_card_imported_ << "}"
      << ",\n \"first_pc_mill\": " << Meeting_Clock_Start(options_)
      << ",\n \"auto_initiate\": " << (auto_init_ ? "true" : "false")
      << ", \"open_after_finish\": " << (auto_open_ ? "true" : "false") << ",\n \"heats\": [";
    for (size_t h = 0; h < heats_.size(); ++h) {
        const Heat_Record& r = heats_[h];
        j << (h ? ",\n" : "\n") << "  {\"heat_id\": " << Json_Text(std::to_string(r.heat))
          << ", \"heat_name\": " << Json_Text(r.heat_name) << ", \"recording\": " << Json_Text(r.recording)
          << ", \"start_pc_mill\": " << r.start << ",\n   \"windows\": [";
        for (size_t i = 0; i < r.windows.size(); ++i)
            j << (i ? ", " : "") << "{\"open_mill\": " << r.windows[i].first
              << ", \"close_mill\": " << r.windows[i].second << "}";
        j << "], \"official\": " << (r.official ? "true" : "false") << ", \"trail\": " << r.trail
          << ", \"delivered_in_yield\": " << r.in_yield << ", \"memory_growth_mb\": " << Number(r.memory_growth_mb)
          << ",\n   \"delivered\": [";
        for (size_t i = 0; i < r.delivered.size(); ++i) j << (i ? ", " : "") << r.delivered[i];
        j << "],\n   \"dogs\": [";
        for (size_t i = 0; i < r.dogs.size(); ++i) {
            const Dog_Result& d = r.dogs[i];
            j << (i ? ",\n            " : "") << "{\"box\": " << d.box << ", \"name\": " << Json_Text(d.name)
              << ", \"crossing_ms\": " << Number(d.crossing) << ", \"assigned_ms\": ";
            if (d.result == "time")
                j << d.assigned;
            else
                j << "null";
            j << ", \"result\": " << Json_Text(d.result) << ", \"position\": " << d.position
              << ", \"proposed_field\": " << (d.proposed ? std::to_string(d.proposed_field) : "null")
              << ", \"proposed_ms\": " << (d.proposed ? std::to_string(d.proposed_ms) : "null")
              << ", \"estimate_ms\": " << (d.estimate_ms ? std::to_string(*d.estimate_ms) : "null")
              << ", \"confidence\": " << Number(d.confidence * 100) << ", \"doubt\": " << Json_Text(d.doubt)
              << ", \"entered\": " << (d.entered ? "true" : "false") << "}";
        }
        j << "],\n   \"events\": [";
        for (size_t i = 0; i < r.events.size(); ++i) j << (i ? ", " : "") << Json_Text(r.events[i]);
        j << "],\n   \"breaches\": [";
        for (size_t i = 0; i < r.breaches.size(); ++i) j << (i ? ", " : "") << Json_Text(r.breaches[i]);
        j << "]}";
    }
    const Assistant_Figures& a = assistant_;
    j << "],\n \"assistant\": {\"finishers\": " << a.finishers << ", \"proposed\": " << a.proposed
      << ", \"first_field_right\": " << a.first_field_right << ", \"estimates\": " << a.estimates
      << ", \"estimates_within\": " << a.estimates_close << ", \"tolerance_ms\": " << (format_.Fps >= 100 ? 2 : 3)
      << ", \"pairs\": " << a.pairs << ", \"pairs_in_order\": " << a.pairs_right << ", \"unsure\": " << a.unsure
      << ", \"entered\": " << a.entered << ", \"slowest_ms\": " << a.slowest_ms << "}";
    j << ",\n \"breaches\": [";
    bool any = false;
    for (const std::string& f : faults_) j << (std::exchange(any, true) ? ", " : "") << Json_Text(f);
    for (const Heat_Record& r : heats_)
        for (const std::string& b : r.breaches)
            j << (std::exchange(any, true) ? ",\n  " : "") << Json_Text("heat " + std::to_string(r.heat) + ": " + b);
    j << "]}\n";
    Platform::Write_File_Atomic(Platform::Join_Path(session_.Folder(), "meeting.json"), j.str());
}

void Meeting::Print_Summary(bool clean) {
    for (const Heat_Record& r : heats_) {
        int timed = 0;
        for (const Dog_Result& d : r.dogs) timed += d.result == "time";
        std::cout << "heat " << r.heat << ": " << r.windows.size() << " window(s), " << r.delivered.size()
                  << " frames kept, " << r.in_yield << " of the heat's frames delivered inside a yield, " << timed
                  << " dogs timed";
        for (const std::string& e : r.events) std::cout << "; " << e;
        std::cout << (r.breaches.empty() ? "; all checks held" : "; BREACHED") << "\n";
        for (const std::string& b : r.breaches) std::cerr << "meeting: heat " << r.heat << ": " << b << "\n";
    }
    for (const std::string& f : faults_) std::cerr << "meeting: " << f << "\n";
    double sum = 0, worst = 0;
    for (const double e : errors_) {
        sum += e;
        worst = std::max(worst, e);
    }
    if (!Memory_Checked) std::cout << "memory not checked: built with AddressSanitizer\n";
    std::cout << "camera format " << Sim_Format_Name(format_) << ", times checked against one "
              << (format_.Interlaced ? "field" : "frame") << " of " << Number(period_) << " ms\n";
    std::cout << (clean ? "meeting: every check held in every heat" : "meeting: checks breached") << "\n";
    const Assistant_Figures& a = assistant_;
    const auto share = [](int n, int of) { return Number(of ? 100.0 * n / of : 0) + " %"; };
    std::cout << "assistant (" << Sim_Format_Name(format_) << "): proposals for " << a.proposed << " of " << a.finishers
              << " finishers (" << share(a.proposed, a.finishers) << "), the first field past the line in "
              << a.first_field_right << " (" << share(a.first_field_right, a.proposed) << "), estimates within +-"
              << (format_.Fps >= 100 ? 2 : 3) << " ms " << a.estimates_close << " of " << a.estimates << " ("
              << share(a.estimates_close, a.estimates) << "), pairs more than 0.02 s apart in order " << a.pairs_right
              << " of " << a.pairs << ", unsure " << a.unsure << ", stored with Enter " << a.entered
              << ", slowest heat " << a.slowest_ms << " ms\n";
    std::cout << "assigned times against the true crossings over " << errors_.size() << " dogs: mean "
              << Number(errors_.empty() ? 0 : sum / static_cast<double>(errors_.size())) << " ms, max " << Number(worst)
              << " ms" << std::endl;
}

int Meeting::Run() {
    Platform::Set_Clock(&clock_);
    clock_.Mover = [this](int ms) { Move_To(elapsed_ + ms); };
    // The window thread is busy drawing while frames come in: each yield finds
    // the clock a little further on, so frames queue up and some are delivered
    // inside the frame handler's yield, as they are live.
    Platform::Set_Yield_Hook([this] {
        if (yield_depth_ < 3) {
            ++yield_depth_;
            Move_To(elapsed_ + random_.Between(0, busy_ms_));
            QCoreApplication::processEvents();
            --yield_depth_;
        } else {
            QCoreApplication::processEvents();
        }
    });
    // The programme comes in as a race card, in Windows-1252 for odd seeds:
    // the event file starts with the event's name and day only.
    race_card_ = Make_Race_Card(Meeting_Programme(options_.Seed, options_.Heats), options_.Seed % 2 == 1);
    programme_ = race_card_.Expected;
    const auto plan = Plan_Meeting(options_.Seed, options_.Heats);
    // Some officials let the start signal initiate the file and the finish open the review.
    auto_init_ = options_.Seed % 4 == 3;
    auto_open_ = options_.Seed % 2 == 0;
    bool ok = session_.Prepare(Race_Programme{programme_.Event, programme_.Day, {}});
    if (ok) {
        Write_Ini("Settings", "auto_init", auto_init_ ? "1" : "0", Facts().Ini_file_path);
        Write_Ini("Settings", "open_after_finish", auto_open_ ? "1" : "0", Facts().Ini_file_path);
        // Windows with and without the moments before the press and after the release.
        pre_trigger_ms_ = std::array<int32_t, 3>{1000, 0, 400}[options_.Seed % 3];
        post_trigger_ms_ = (options_.Seed / 3) % 2 == 0 ? 0 : 200;
        Write_Ini("Settings", "pre_trigger_ms", std::to_string(pre_trigger_ms_), Facts().Ini_file_path);
        Write_Ini("Settings", "post_trigger_ms", std::to_string(post_trigger_ms_), Facts().Ini_file_path);
        ok = session_.Load();
    }
    if (!ok) faults_.push_back(session_.Fault());
    if (ok) {
        form_ = &session_.Form();
        sim_ = &session_.Camera();
        kit_ = &session_.Box();
        if (options_.Hard_Scene) sim_->Harden_Scene(options_.Seed);
        Observe();
        if (Import_Race_Card())
            for (const Meeting_Heat_Plan& p : plan) Run_Heat(p);
        heat_ = nullptr;
        if (left_open_) left_open_->item_hide->trigger();
        for (const auto& [path, print] : fingerprints_)
            if (File_Fingerprint(path) != print)
                faults_.push_back("the recording " + path + " changed after its heat ended");
        // Every recording's evidence holds: a declared heat's frames, results and
        // trail as verify checks them, and no trail beside a heat not declared.
        for (const Heat_Record& r : heats_) {
            cls_VideoFile_handler h;
            if (r.recording.empty() || !h.Open_File(r.recording)) continue;
            const Official_Record::Evidence e = Official_Record::Check_Evidence(h, true);
            const bool declared = Official_Record::Read_Declaration(h).official;
            h.Close_File();
            for (const std::string& p : e.problems)
                faults_.push_back("heat " + std::to_string(r.heat) + ": its evidence does not hold: " + p);
            if (declared != r.official)
                faults_.push_back("heat " + std::to_string(r.heat) + (declared ? " is" : " is not") +
                                  " declared official in its recording");
        }
        size_t recordings = 0;
        for (const auto& f : fs::directory_iterator(session_.Folder())) recordings += f.path().extension() == ".nx3";
        if (recordings != heats_.size())
            faults_.push_back(std::to_string(recordings) + " recordings for " + std::to_string(heats_.size()) +
                              " heats");
    }
    if (sim_) sim_->On_Delivery = {};
    if (kit_) kit_->On_Report = {};
    session_.Close();
    Platform::Set_Yield_Hook({});
    clock_.Mover = {};
    Platform::Set_Clock(nullptr);
    if (!session_.Folder().empty()) Write_Json();
    bool clean = faults_.empty();
    for (const Heat_Record& r : heats_) clean = clean && r.breaches.empty();
    Print_Summary(clean);
    return clean ? 0 : 1;
}

}  // namespace

bool Parse_Meeting_Clock(const std::string& text, Meeting_Options& options) {
    static const std::pair<const char*, Meeting_Clock_Place> places[] = {{"ordinary", Meeting_Clock_Place::Ordinary},
                                                                         {"sign", Meeting_Clock_Place::Sign_Change},
                                                                         {"wrap", Meeting_Clock_Place::Wrap}};
    for (const auto& [name, place] : places)
        if (text == name) {
            options.Clock = place;
            return true;
        }
    int64_t mill = 0;
    if (!Whole_Number_In(text, INT32_MIN, INT32_MAX, mill)) return false;
    options.Clock = Meeting_Clock_Place::Given;
    options.Clock_Mill = static_cast<int32_t>(mill);
    return true;
}

// An ordinary reading, one before the 32-bit clock turns negative (24.8 days
// after the system started) or one before it passes zero again (49.7 days),
// so the meeting crosses it.
int32_t Meeting_Clock_Start(const Meeting_Options& options) {
    Meeting_Random r(options.Seed * 31 + 5);
    switch (options.Clock) {
        case Meeting_Clock_Place::Given: return options.Clock_Mill;
        case Meeting_Clock_Place::By_Seed:
            // As it always was, so that a seed keeps its meeting: the crossing within the first heats.
            switch (options.Seed % 3) {
                case 0: return INT32_MAX - r.Between(20000, 90000);
                case 1: return r.Between(1000000, 400000000);
                default: return -r.Between(20000, 90000);
            }
        case Meeting_Clock_Place::Ordinary: return r.Between(1000000, 400000000);
        case Meeting_Clock_Place::Sign_Change:
        case Meeting_Clock_Place::Wrap: break;
    }
    // A heat takes 10 to 15 s of the clock: the crossing falls in any heat, at any moment of it.
    const int32_t before = r.Between(3000, 3000 + 13000 * std::clamp(options.Heats, 1, 100));
    return options.Clock == Meeting_Clock_Place::Sign_Change ? Platform::Mill_After(INT32_MAX, -before) : -before;
}

int Run_Meeting(const Meeting_Options& options) {
    Meeting meeting(options);
    return meeting.Run();
}
