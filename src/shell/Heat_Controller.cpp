#include "shell/Heat_Controller.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <utility>

#include "capture/Stored_Frames.h"
#include "capture/cls_Capture_HDMI.h"
#include "common/Module_dependant.h"
#include "common/Startup_Facts.h"
#include "platform/Clock.h"
#include "platform/Error_Entry.h"
#include "platform/HdxError.h"
#include "platform/Files.h"
#include "recording/Frame_Journal.h"
#include "recording/cls_VideoFile_handler.h"
#include "settings/Capture_Triggers.h"

namespace {

// Why an input is refused; the text is "<what> refused: <why>".
enum class Why : uint8_t {
    Taken,
    No_File,
    No_Heat,
    Already_Running,
    Heat_Has_File,
    Busy,
    No_Window,
    Window_Open,
    Not_Closing,
};

constexpr size_t kPhases = 8;
constexpr size_t kInputs = 12;

// Rows: Heat_Phase; columns: Heat_Input, in their declaration order.
// Init Start  Press  Rel    AutoO  AutoC  Post   Frame  Fin    Abort  CamSt  Review
using W = Why;
constexpr std::array<std::array<Why, kInputs>, kPhases> kRules{{
    // No_File
    {W::Taken, W::No_File, W::No_File, W::No_Window, W::No_Heat, W::No_Window, W::Not_Closing, W::Taken, W::Taken,
     W::No_Heat, W::Taken, W::Taken},
    // Initiated
    {W::Taken, W::Taken, W::No_Heat, W::No_Window, W::No_Heat, W::No_Window, W::Not_Closing, W::Taken, W::Taken,
     W::No_Heat, W::Taken, W::Taken},
    // Running
    {W::Heat_Has_File, W::Already_Running, W::Taken, W::No_Window, W::Taken, W::No_Window, W::Not_Closing, W::Taken,
     W::Taken, W::Taken, W::Taken, W::Taken},
    // Capturing: a second press keeps the window going; automatic capture does not open another
    {W::Heat_Has_File, W::Already_Running, W::Taken, W::Taken, W::Window_Open, W::Taken, W::Not_Closing, W::Taken,
     W::Taken, W::Taken, W::Taken, W::Taken},
    // Closing: a press within the post-trigger time keeps the same window open
    {W::Heat_Has_File, W::Already_Running, W::Taken, W::Taken, W::Window_Open, W::Taken, W::Taken, W::Taken, W::Taken,
     W::Taken, W::Taken, W::Taken},
    // Appending: frames wait in the ring for the next window; nothing else runs
    {W::Busy, W::Busy, W::Busy, W::Busy, W::Busy, W::Busy, W::Busy, W::Taken, W::Busy, W::Busy, W::Busy, W::Busy},
    // Finished: the file is let go
    {W::Taken, W::No_File, W::No_File, W::No_Window, W::No_Heat, W::No_Window, W::Not_Closing, W::Taken, W::Taken,
     W::No_Heat, W::Taken, W::Taken},
    // Aborted: the file stays for a new start
    {W::Heat_Has_File, W::Taken, W::No_Heat, W::No_Window, W::No_Heat, W::No_Window, W::Not_Closing, W::Taken, W::Taken,
     W::No_Heat, W::Taken, W::Taken},
}};

const char* What(Heat_Input input) {
    switch (input) {
        case Heat_Input::Initiate: return "Initiate";
        case Heat_Input::Start: return "Start";
        case Heat_Input::Capture_Press: return "Capture";
        case Heat_Input::Capture_Release: return "Release";
        case Heat_Input::Auto_Open: return "Automatic capture";
        case Heat_Input::Auto_Close: return "Automatic close";
        case Heat_Input::Post_Time_Over: return "Window close";
        case Heat_Input::Frame: return "Frame";
        case Heat_Input::Finish: return "Heat finish";
        case Heat_Input::Abort: return "Abort";
        case Heat_Input::Camera_Stop: return "Camera stop";
        case Heat_Input::Open_Review: return "Open";
    }
    return "Input";
}

const char* Reason(Why why) {
    switch (why) {
        case Why::Taken: return "";
        case Why::No_File: return "no file initiated";
        case Why::No_Heat: return "no heat running";
        case Why::Already_Running: return "the heat is already running";
        case Why::Heat_Has_File: return "the heat under way has its file; finish it first";
        case Why::Busy: return "a capture window is being written";
        case Why::No_Window: return "no capture window open";
        case Why::Window_Open: return "a capture window is already open";
        case Why::Not_Closing: return "no window is closing";
    }
    return "";
}

Heat_Verdict Refused(const std::string& why) { return {false, why}; }

}  // namespace

const char* Heat_Phase_Name(Heat_Phase phase) {
    switch (phase) {
        case Heat_Phase::No_File: return "no file";
        case Heat_Phase::Initiated: return "initiated";
        case Heat_Phase::Running: return "running";
        case Heat_Phase::Capturing: return "capture window open";
        case Heat_Phase::Closing: return "closing";
        case Heat_Phase::Appending: return "appending";
        case Heat_Phase::Finished: return "finished";
        case Heat_Phase::Aborted: return "aborted";
    }
    return "?";
}

const char* Heat_Input_Name(Heat_Input input) { return What(input); }

Heat_Verdict Heat_Controller::Rule(Heat_Phase phase, Heat_Input input) {
    const Why why = kRules[static_cast<size_t>(phase)][static_cast<size_t>(input)];
    if (why == Why::Taken) return {true, {}};
    return {false, std::string(What(input)) + " refused: " + Reason(why)};
}

Heat_Controller::Heat_Controller(Host host, QObject* parent) : QObject(parent), m_Host(std::move(host)) {
    m_Post_Timer.setSingleShot(true);
    connect(&m_Post_Timer, &QTimer::timeout, this, [this] {
        if (Phase() != Heat_Phase::Closing) return;
        const int32_t left = Platform::Mill_Since(Platform::PC_Mill(), m_Close_At);
        if (left >= 0) {
            m_Post_Timer.start(left + 1);  // woken early: the time is not over yet
            return;
        }
        Trace("*Capture window closed: no frame came after the post-trigger time");
        End_Window();
    });
}

Heat_Controller::~Heat_Controller() = default;

void Heat_Controller::Attach_Capture(cls_Capture_HDMI* capture) {
    if (m_Capture) disconnect(m_Capture, nullptr, this, nullptr);
    m_Capture = capture;
    // Connected before any window's handler: the frame is kept before anything draws it.
    if (m_Capture) connect(m_Capture, &cls_Capture_HDMI::HDMIreceived, this, &Heat_Controller::Frame);
}

Heat_Phase Heat_Controller::Phase() const {
    if (m_Appending > 0) return Heat_Phase::Appending;
    if (m_Capturing) return m_Closing ? Heat_Phase::Closing : Heat_Phase::Capturing;
    if (m_Heat.Running()) return Heat_Phase::Running;
    if (!m_Heat.Current_File().empty()) return m_Aborted ? Heat_Phase::Aborted : Heat_Phase::Initiated;
    if (!m_Heat.Last_Saved().empty()) return Heat_Phase::Finished;
    return Heat_Phase::No_File;
}

int Heat_Controller::Frames_Held() const { return m_Capturing ? Stored_Frames.Count() : 0; }

std::string Heat_Controller::Status_Text(bool camera_running, const std::string& reviewing) const {
    if (m_Appending > 0)
        return "Appending " + std::to_string(m_Appending) + " frames to " + ParsePath(m_Heat.Current_File(), 0);
    // A heat goes on behind a review: the status line says both.
    const std::string review = reviewing.empty() ? "" : "Reviewing " + ParsePath(reviewing, 0);
    if (m_Capturing) {
        const std::string held = "Capturing " + std::to_string(Frames_Held()) + " frames";
        return review.empty() ? held : review + " (" + held + ")";
    }
    if (!review.empty()) return m_Heat.Running() ? review + " (heat running)" : review;
    const std::string file = ParsePath(m_Heat.Current_File(), 0);
    const std::string camera = camera_running ? "" : " (camera stopped)";
    if (m_Heat.Running()) return "Heat running: " + file + camera;
    if (m_Aborted && !file.empty()) return "Heat aborted: " + file + camera;
    if (!file.empty()) return "File initiated: " + file + camera;
    if (camera_running) return "Camera running, no file";
    if (!m_Heat.Last_Saved().empty()) return "Camera stopped. Saved as " + ParsePath(m_Heat.Last_Saved(), 0);
    return "Camera stopped";
}

// --- Initiation and start ---------------------------------------------------------------

Heat_Verdict Heat_Controller::Begin_Initiation() { return Rule(Phase(), Heat_Input::Initiate); }

void Heat_Controller::Initiated(const std::string& path) {
    m_Heat.Initiated(path);
    m_Aborted = false;
    emit Changed();
}

void Heat_Controller::Replace_Untouched() {
    m_Heat.Writer().Close_File();
    m_Heat.Initiated(std::string());
    emit Changed();
}

Heat_Verdict Heat_Controller::Start(int32_t pc_mill, int32_t local_mill, const std::string& date_time) {
    const Heat_Verdict v = Rule(Phase(), Heat_Input::Start);
    if (!v.accepted) return v;
    {
        const Error_Report_Hold hold;  // the header is being written
        cls_VideoFile_handler& w = m_Heat.Writer();
        w.Set_Hdx_heat_start_local(local_mill);
        w.Set_Hdx_start_PC_mill(pc_mill);
        w.Set_Hdx_start_DateTime(date_time);
        const bool stored = w.Write_XML_Header();
        w.Close_File();
        if (!stored) return Refused("Start refused: the start could not be written into the file");
        m_Heat.Started(pc_mill, local_mill);
        m_Aborted = false;
        if (m_Capture) {
            // From now on the moments before a trigger are kept; nothing from before the start.
            m_Capture->Clear_Pre_Trigger();
            const Capture_Triggers triggers = Capture_Triggers::Read();
            m_Capture->Pre_Trigger_ms(triggers.Pre_Trigger_ms);
            // A window holds at most this much memory; the trace says when one is full.
            m_Capture->Window_Limit_MB(triggers.Window_Limit_MB);
            m_Auto_Capture = triggers.Auto_Capture;
            m_Capture->Auto().Configure(triggers.Auto_Threshold, triggers.Auto_Settle_ms);
            m_Capture->Auto().Reset();
            if (triggers.Auto_Capture)
                Trace("*Auto capture on: threshold " + std::to_string(triggers.Auto_Threshold) + ", closes after " +
                      std::to_string(triggers.Auto_Settle_ms) + " ms still");
            // Kept frames are compressed as they arrive, for this recording.
            m_Capture->Compress_On_Arrival(w.Compressor().Settings());
        }
    }
    emit Changed();
    return v;
}

// --- Capture windows --------------------------------------------------------------------

Heat_Verdict Heat_Controller::Capture_Press(int32_t stamp_mill, Window_Source source) {
    if (!m_Capture || !m_Capture->Running()) return Refused("Capture refused: camera not running");
    const Heat_Verdict v =
        Rule(Phase(), source == Window_Source::Auto ? Heat_Input::Auto_Open : Heat_Input::Capture_Press);
    if (!v.accepted) return v;
    if (m_Host.heat_file_in_review && m_Host.heat_file_in_review())
        return Refused("Capture refused: the heat's file is open for review");
    if (source != Window_Source::Auto) {
        // A window the official opens is closed by the official, not by the watch.
        m_Capture->Auto().Release();
        m_Auto_Window = false;
    }
    if (m_Capturing) {
        if (m_Closing) Trace("*Capture window kept open: pressed again before it closed");
        m_Closing = false;
        m_Post_Timer.stop();
        emit Changed();
        return v;
    }
    Open_Window(stamp_mill, source);
    return v;
}

void Heat_Controller::Open_Window(int32_t stamp_mill, Window_Source source) {
    m_Capture->Pre_Trigger_ms(Capture_Triggers::Read().Pre_Trigger_ms);
    m_Capture->Post_linear(true);
    m_Capturing = true;
    m_Closing = false;
    m_Auto_Window = source == Window_Source::Auto;
    const std::string& file = m_Heat.Current_File();
    // A journal left by a window that could not be stored holds frames the
    // file lacks: they are folded in first, or this window's follow them.
    m_Continued = false;
    Store_Kept_Journal();
    try {
        if (!Platform::File_Exists(Frame_Journal::Path_For(file))) {
            m_Capture->Journal_Window(std::make_shared<Frame_Journal>(file, m_Heat.Writer().Complete_Samples()));
        } else {
            if (!m_Journal_Kept) throw std::runtime_error("an earlier window's journal is not whole");
            m_Capture->Journal_Window(Frame_Journal::Continue(file));
            m_Continued = true;
            Trace("*Capture journal continued behind the frames not yet stored");
        }
    } catch (const std::exception& e) {
        Trace(std::string("*No capture journal, the window is kept in memory only: ") + e.what());
    }
    // The frames of the moments before the trigger are the window's first.
    m_Capture->Take_Pre_Trigger(stamp_mill);
    emit Window_Opened(stamp_mill, source);
    emit Window_Changed(true);
    emit Changed();
}

Heat_Verdict Heat_Controller::Capture_Release(int32_t stamp_mill, Window_Source source) {
    const Heat_Verdict v =
        Rule(Phase(), source == Window_Source::Auto ? Heat_Input::Auto_Close : Heat_Input::Capture_Release);
    if (!v.accepted) return v;
    // The watch closes only a window it opened.
    if (source == Window_Source::Auto && !m_Auto_Window) return Refused("Automatic close refused: not its window");
    if (m_Closing) return v;  // released twice: the post-trigger time already runs
    emit Window_Released(stamp_mill, source);
    const int32_t post = Capture_Triggers::Read().Post_Trigger_ms;
    if (post <= 0) {
        End_Window();
        return v;
    }
    // The window stays open a while after the release; a frame stamped later
    // closes it, and so does the timer when no frame comes.
    Trace("Handle_Capture_end: open for " + std::to_string(post) + " ms more");
    m_Closing = true;
    m_Close_At = Platform::Mill_After(stamp_mill, post);
    m_Post_Timer.start(post + 100);
    emit Changed();
    return v;
}

void Heat_Controller::End_Window(bool store) {
    if (!m_Capturing || !m_Capture) return;
    const Error_Report_Hold hold;  // the window's frames are in flight until the end
    Trace("Handle_Capture_end");
    m_Post_Timer.stop();
    m_Capturing = false;
    m_Closing = false;
    if (m_Auto_Window) m_Capture->Auto().Release();
    m_Auto_Window = false;
    // This window's frames and journal leave the controller at once.
    Stored_Frames_Collection frames = Stored_Frames.Take();
    const std::shared_ptr<Frame_Journal> journal = m_Capture->End_Journal();
    m_Capture->Post_linear(false);
    emit Window_Changed(false);
    const int32_t count = frames.Count();
    const std::string file = m_Heat.Current_File();
    if (!store) {
        // The official voided the heat: its open window goes with it.
        if (journal) journal->Discard();
        if (count > 0) Trace("*" + std::to_string(count) + " captured frames discarded: heat aborted");
        emit Changed();
        return;
    }
    if (m_Host.in_start_up && m_Host.in_start_up()) {
        Trace("Skipping Handle_Capture_end");
        if (journal) journal->Discard();
        if (count > 0) Trace("*" + std::to_string(count) + " captured frames discarded: start-up");
        emit Changed();
        return;
    }
    if (file.empty()) {
        // Cannot happen (a window needs a file); the journal keeps what there was.
        if (journal) journal->Close();
        if (count > 0) Trace("*" + std::to_string(count) + " captured frames without a file");
        emit Changed();
        return;
    }
    cls_VideoFile_handler& w = m_Heat.Writer();
    // The rate measured over the run replaces the one the file was initiated
    // with, unless there is none yet: the review's periods come from it.
    const long measured = std::lround(m_Capture->Measured_fps());
    if (cls_Capture_HDMI::Source_Rate(static_cast<double>(measured)))
        w.Set_Measured_fps(static_cast<int16_t>(measured));
    m_Appending = std::max(1, count);
    emit Changed();
    int32_t stored = 0;
    bool complete = false;
    std::string problem;
    const bool continued = std::exchange(m_Continued, false);
    try {
        // The frames were compressed as they arrived; the last few may still be on the way.
        m_Capture->Finish_Arrival();
        if (continued && journal) {
            // The journal holds the frames an earlier window could not store, then this
            // window's: it goes into the file whole, and what it lacks from memory after it.
            const int32_t journalled = journal->Problem().empty() ? journal->Records() : 0;
            journal->Close();
            Store_Kept_Journal();
            if (Platform::File_Exists(Frame_Journal::Path_For(file))) {
                problem = "the file cannot be written";
            } else if (journalled >= count) {
                stored = count;
                complete = true;
            } else {
                Stored_Frames_Collection rest;
                for (int32_t i = journalled + 1; i <= count; ++i) rest.Add(frames.Shared(i));
                const cls_VideoFile_handler::Append_Result r = w.Append_Window(rest, m_Host.append_progress);
                stored = journalled + r.stored;
                complete = r.Complete();
                problem = r.problem;
            }
        } else {
            const cls_VideoFile_handler::Append_Result r = w.Append_Window(frames, m_Host.append_progress);
            stored = r.stored;
            complete = r.Complete();
            problem = r.problem;
        }
        // N is known from the first window on: frames are fitted into it as they arrive.
        m_Capture->Compress_On_Arrival(w.Compressor().Settings());
    } catch (const std::exception& e) {
        problem = e.what();
        Report_Exception(e, "End_Window of Heat_Controller");
    }
    m_Appending = 0;
    if (journal) {
        if (complete && !continued)
            journal->Discard();
        else
            journal->Close();  // what the file lacks is still there
        if (!complete) m_Journal_Kept = journal->Problem().empty();
    }
    if (!complete) {
        std::string text = std::to_string(count - stored) + " of " + std::to_string(count) +
                           " frames of the capture window could not be stored in " + file +
                           (problem.empty() ? "" : " (" + problem + ")");
        if (journal && journal->Problem().empty())
            text += ". They are kept in " + Frame_Journal::Path_For(file) +
                    " and stored with the next capture window or when the recording is opened";
        else if (journal)
            text += ". The journal could not keep them all either: " + journal->Problem();
        NXF_Error_Handler(text, HdxErr::PathFileAccess, 0, "End_Window of Heat_Controller");
    }
    if (m_Host.append_done) m_Host.append_done();
    emit Changed();
}

void Heat_Controller::Store_Kept_Journal() {
    const std::string journal = Frame_Journal::Path_For(m_Heat.Current_File());
    if (m_Heat.Current_File().empty() || !Platform::File_Exists(journal)) return;
    const int32_t recovered = m_Heat.Writer().Recover_Journal();
    if (!Platform::File_Exists(journal)) {
        m_Journal_Kept = false;
        Trace("*Frames of an earlier window stored now: " + std::to_string(recovered));
    }
}

void Heat_Controller::Auto_Step(int32_t stamp) {
    Auto_Trigger& a = m_Capture->Auto();
    // A window closed otherwise (heat finish, camera stop) is no longer the watch's.
    if (a.Window_Open() && !m_Capturing) a.Release();
    const Goal_Line_Points g = m_Host.goal_line ? m_Host.goal_line() : Goal_Line_Points{};
    const bool had_window = a.Window_Open();
    const Auto_Trigger::Decision d = a.Feed(m_Capture->Crop_DIB(), g.P1.X, g.P1.Y, g.P2.X, g.P2.Y, stamp);
    const std::string seen = std::to_string(a.Changed()) + " of " + std::to_string(a.Samples()) + " samples changed";
    if (d == Auto_Trigger::Decision::Open) {
        if (m_Capturing) {
            a.Release();  // already open by a press: the official closes it
            return;
        }
        const Heat_Verdict v = Capture_Press(stamp, Window_Source::Auto);
        if (v.accepted) {
            Trace("*Auto capture: open at " + std::to_string(stamp) + ", " + seen);
        } else {
            Trace("*Auto capture: " + v.why);
            a.Release();
        }
    } else if (d == Auto_Trigger::Decision::Close && had_window && m_Capturing) {
        Trace("*Auto capture: close at " + std::to_string(stamp) + ", still since the last change");
        Capture_Release(stamp, Window_Source::Auto);
    }
}

void Heat_Controller::Frame() {
    if (!m_Capture || m_Capture->Halted()) return;
    const int32_t stamp = m_Capture->last_Capture_mill();
    switch (Phase()) {
        case Heat_Phase::Closing:
            if (Platform::Mill_Since(m_Close_At, stamp) > 0) {
                // The post-trigger time is over: this frame belongs to the next window.
                if (m_Heat.Running()) m_Capture->Keep_Pre_Trigger();
                End_Window();
            } else {
                m_Capture->Store_HDMI_Buffer();
            }
            break;
        case Heat_Phase::Capturing: m_Capture->Store_HDMI_Buffer(); break;
        case Heat_Phase::Running:
        case Heat_Phase::Appending: m_Capture->Keep_Pre_Trigger(); break;
        default: break;
    }
    if (m_Auto_Capture && m_Heat.Running() && !Appending()) Auto_Step(stamp);
}

// --- Finish, abort, camera, review ------------------------------------------------------

void Heat_Controller::Stop_Heat() {
    m_Heat.Stopped();
    m_Post_Timer.stop();
    if (m_Capture) {
        m_Capture->Clear_Pre_Trigger();
        m_Capture->Auto().Release();
        m_Capture->Auto().Reset();
    }
    m_Auto_Capture = false;
}

Heat_Controller::Finished_Heat Heat_Controller::Finish() {
    Finished_Heat done;
    if (!Rule(Phase(), Heat_Input::Finish).accepted) return done;
    const Error_Report_Hold hold;
    End_Window();
    // The file may take the frames a window could not store now.
    Store_Kept_Journal();
    if (!m_Heat.Current_File().empty() && Platform::File_Exists(Frame_Journal::Path_For(m_Heat.Current_File())))
        Trace("*Frames not stored are kept in " + Frame_Journal::Path_For(m_Heat.Current_File()) +
              "; they are stored when the recording is opened");
    Stop_Heat();
    done.file = m_Heat.Current_File();
    done.raced = !done.file.empty() && m_Heat.Raced();
    m_Heat.Release_File();
    m_Aborted = false;
    emit Changed();
    return done;
}

Heat_Verdict Heat_Controller::Abort() {
    const Heat_Verdict v = Rule(Phase(), Heat_Input::Abort);
    if (!v.accepted) return v;
    const Error_Report_Hold hold;
    End_Window(false);
    Stop_Heat();
    m_Aborted = true;
    emit Changed();
    return v;
}

void Heat_Controller::Camera_Stopping() {
    if (!Rule(Phase(), Heat_Input::Camera_Stop).accepted) return;
    End_Window();
    // Frames from before the stop are no moments before a later trigger.
    if (m_Capture) m_Capture->Clear_Pre_Trigger();
}

Heat_Verdict Heat_Controller::Open_Review() { return Rule(Phase(), Heat_Input::Open_Review); }
