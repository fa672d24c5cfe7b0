#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include <QObject>
#include <QTimer>

#include "review/Goal_Line.h"
#include "shell/Heat_State.h"

class cls_Capture_HDMI;

// Where a heat stands. Appending lasts only while a closed window's frames are
// written, with no event loop running, so no input ever arrives in it from
// outside; it is still ruled, for re-entry from inside the write.
enum class Heat_Phase { No_File, Initiated, Running, Capturing, Closing, Appending, Finished, Aborted };

// Everything that may act on a heat: the official, the Control Box, the camera,
// automatic capture and the post-trigger timer.
enum class Heat_Input {
    Initiate,
    Start,
    Capture_Press,
    Capture_Release,
    Auto_Open,
    Auto_Close,
    Post_Time_Over,
    Frame,
    Finish,
    Abort,
    Camera_Stop,
    Open_Review,
};

const char* Heat_Phase_Name(Heat_Phase phase);
const char* Heat_Input_Name(Heat_Input input);

struct Heat_Verdict {
    bool accepted = false;
    std::string why;  // the refusal as the status line shows it; empty when accepted
};

// Who opened a capture window: a window the official opened is his to close,
// never the automatic watch's.
enum class Window_Source { Button, Box, Auto };

// The heat: its file and writer, its start, its capture windows (pre-trigger
// ring, post-trigger time, automatic capture, journal) and their append, as
// one state machine with its rules in one table (Rule). Frames come straight
// from the capture controller; windows only show what it says and forward the
// official's actions. Nothing here runs the event loop: a write is finished
// before anything else can happen, and error reports raised during it are
// shown after it.
class Heat_Controller : public QObject {
    Q_OBJECT
public:
    struct Host {
        // The goal line automatic capture watches (crop pixels).
        std::function<Goal_Line_Points()> goal_line;
        // The heat's own file is open for review (its header would be written over).
        std::function<bool()> heat_file_in_review;
        // Percent of the append written; the window paints without running events.
        std::function<void(int percent)> append_progress;
        // Within the first seconds of the program: a window ending now is
        // not written (inputs settling at start-up).
        std::function<bool()> in_start_up;
        // The append is over (the progress window goes).
        std::function<void()> append_done;
    };

    explicit Heat_Controller(Host host, QObject* parent = nullptr);
    ~Heat_Controller() override;

    // The capture controller whose frames the heat keeps (nullptr: none yet).
    void Attach_Capture(cls_Capture_HDMI* capture);

    // The table: whether an input is taken in a phase, and why not.
    static Heat_Verdict Rule(Heat_Phase phase, Heat_Input input);
    Heat_Phase Phase() const;

    const Heat_State& State() const { return m_Heat; }
    bool Running() const { return m_Heat.Running(); }
    bool Capturing() const { return m_Capturing; }
    bool Closing() const { return m_Capturing && m_Closing; }
    bool Appending() const { return m_Appending > 0; }
    bool Auto_Capture() const { return m_Auto_Capture; }
    const std::string& Current_File() const { return m_Heat.Current_File(); }
    int32_t Start_PC_mill() const { return m_Heat.Start_PC_mill(); }
    int32_t Start_Mark() const { return m_Heat.Start_Mark(); }
    int Frames_Held() const;
    std::string Status_Text(bool camera_running, const std::string& reviewing) const;

    // The programme heat chosen with the heat selector.
    void Select_Heat(int heat) { m_Heat.Select_Heat(heat); }
    int Selected_Heat() const { return m_Heat.Selected_Heat(); }

    // Initiation: Begin_Initiation says whether one is allowed now; the writer
    // is then set up by the caller and Initiated names the file.
    Heat_Verdict Begin_Initiation();
    cls_VideoFile_handler& Writer() { return m_Heat.Writer(); }
    void Initiated(const std::string& path);
    // An initiated file no start has reached, given up for another.
    void Replace_Untouched();

    // The start signal, stamped where it entered the program. The start is
    // written into the heat's file first: a start the file does not hold is
    // refused.
    Heat_Verdict Start(int32_t pc_mill, int32_t local_mill, const std::string& date_time);

    // A capture trigger pressed / released at its stamp.
    Heat_Verdict Capture_Press(int32_t stamp_mill, Window_Source source);
    Heat_Verdict Capture_Release(int32_t stamp_mill, Window_Source source);

    // Heat finish: an open window is written, the heat stops and lets go of
    // its file. Returns the file let go ("" when none was initiated) and
    // whether it had a start.
    struct Finished_Heat {
        std::string file;
        bool raced = false;
    };
    Finished_Heat Finish();
    // Abort: the heat stops and an open window's frames are let go with it;
    // the file stays initiated for a new start.
    Heat_Verdict Abort();
    // The camera is about to stop: an open window is written first.
    void Camera_Stopping();
    // A review is about to open: refused only while frames are being written.
    Heat_Verdict Open_Review();

    // One camera frame (connected to the capture controller; also callable).
    void Frame();

signals:
    // The phase or the frame count changed: the status line follows.
    void Changed();
    // A window opened or closed (true while one is open).
    void Window_Changed(bool open);
    // A window opened at stamp (its pre-trigger frames are those before it) /
    // was let go at stamp (it ends after the post-trigger time), by source.
    void Window_Opened(int32_t stamp_mill, Window_Source source);
    void Window_Released(int32_t stamp_mill, Window_Source source);

private:
    void Set_Phase_Changed();
    void Open_Window(int32_t stamp_mill, Window_Source source);
    // Writes the open window's frames into the heat's file (store) or lets
    // them go with an aborted heat; the journal is deleted only when every
    // frame is there.
    void End_Window(bool store = true);
    void Auto_Step(int32_t stamp_mill);
    // Folds a journal kept by a window the file could not take into the file, when it can now.
    void Store_Kept_Journal();
    void Stop_Heat();

    Host m_Host;
    cls_Capture_HDMI* m_Capture = nullptr;
    Heat_State m_Heat;
    bool m_Aborted = false;
    bool m_Capturing = false;
    bool m_Closing = false;
    int32_t m_Close_At = 0;
    bool m_Auto_Window = false;
    bool m_Auto_Capture = false;
    bool m_Journal_Kept = false;  // a kept journal holds whole records only
    bool m_Continued = false;     // the open window's journal follows a kept one
    int m_Appending = 0;
    QTimer m_Post_Timer;
};
