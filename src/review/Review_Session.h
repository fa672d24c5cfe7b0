#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QObject>

#include "review/Crossing_Estimate.h"
#include "review/Goal_Line.h"
#include "review/Heat_Result.h"

class cls_VideoFile_handler;

// One open recording under review, without windows: its one ranked result,
// its goal lines, the nose marks made on it, the armed buttons, and every
// change an official makes to its result. Each change is written to the
// recording (with the audit trail of an official heat) before it counts; the
// result is then read again once and Changed tells every output, which reads
// Result(). A change that cannot be written changes nothing, here or on disk.
// Nothing here runs the event loop, so no other action can come in between.
class Review_Session : public QObject {
    Q_OBJECT
public:
    // The buttons armed before a box click; they outlive a recording (the next
    // one opened takes them over) until a click uses them or they are clicked off.
    // The special result chosen for No Time is used once: then it is No Time again.
    struct Arming {
        static constexpr const char* Plain_No_Time = "No Time";
        bool Plus_Hundredth = false;
        bool No_Time = false;
        bool Dead_Heat = false;
        std::string No_Time_Caption = Plain_No_Time;  // "No Time", "DSQ", "DNF" or "No Rnk"
    };

    struct Outcome {
        bool done = false;
        std::string error;  // why nothing was changed
    };

    // handler: the open recording, which outlives this session.
    Review_Session(cls_VideoFile_handler& handler, Arming armed, QObject* parent = nullptr);

    cls_VideoFile_handler& Handler() { return m_Handler; }
    const std::string& File() const { return m_File; }
    const Heat_Result& Result() const { return m_Result; }
    bool Official() const { return m_Result.Declaration.official; }
    // True while a change is written: any other change is refused meanwhile.
    bool Busy() const { return m_Busy; }

    // The goal lines the recording was made with (camera 1 goal, 2 split);
    // the official moves them on screen.
    Goal_Line_Points& Goal_Line(int camera) { return m_Goal_Lines[camera == 2 ? 1 : 0]; }
    // Why the recording's goal lines could not be read; empty when they could.
    const std::string& Goal_Line_Problem() const { return m_Goal_Line_Problem; }

    Arming& Armed() { return m_Armed; }
    const Arming& Armed() const { return m_Armed; }

    // The nose marked at a position (at most two, on different positions): the
    // two on either side of the goal line give the crossing between the fields.
    void Mark_Nose(int32_t position, const Nose_Mark& mark);
    const std::vector<std::pair<int32_t, Nose_Mark>>& Nose_Marks() const { return m_Nose_Marks; }

    // A box click: time is the elapsed heat time of the position shown
    // (position), before "+ 1/100". A goal click uses the armed No Time and Dead
    // heat, and takes the nose marks (an estimate only when they bracket the
    // position). Armed buttons a click uses are disarmed whatever the outcome.
    struct Click {
        int16_t Box = 1;
        int32_t Time = 0;
        bool Split = false;
        int32_t Position = 0;
        int32_t Click_Mill = 0;
    };
    Outcome Set_Time(const Click& click, const std::string& reason = {});
    Outcome Clear_All(const std::string& reason = {});
    using Name = Result_Name;
    Outcome Correct_Name(Name what, int16_t box, const std::string& value, const std::string& reason = {});
    // A correction of the box delay the heat was made with (whole ms, -60000..60000).
    Outcome Set_Box_Delay(int32_t ms, const std::string& reason = {});
    // Declares the heat official: its frames and its results hashed now.
    // progress gets 0..100 and must not run the event loop.
    Outcome Declare(const std::function<void(int)>& progress = {});

    // What a change is called in the audit trail and the reason box.
    static std::string What(const Click& click);
    static std::string What(Name what, int16_t box);

    // Reads the result again from the recording and tells everyone.
    void Reload(const std::string& change);

signals:
    // The result changed ("time", "cleared", "correction", "box delay", "official", "opened").
    void Changed(const std::string& change);

private:
    // Why no change can be made now (one being written, the recording gone); nullopt when one can.
    std::optional<Outcome> Refused() const;
    Outcome Change(const std::string& what, const std::string& reason, const std::function<std::string()>& value,
                   const std::function<void()>& change, const std::string& kind);

    cls_VideoFile_handler& m_Handler;
    std::string m_File;
    Heat_Result m_Result;
    Goal_Line_Points m_Goal_Lines[2];
    std::string m_Goal_Line_Problem;
    Arming m_Armed;
    std::vector<std::pair<int32_t, Nose_Mark>> m_Nose_Marks;
    bool m_Busy = false;
};
