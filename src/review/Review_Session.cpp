#include "review/Review_Session.h"

#include <algorithm>
#include <exception>

#include "platform/Clock.h"
#include "platform/Error_Entry.h"
#include "platform/HdxError.h"
#include "recording/cls_VideoFile_handler.h"
#include "review/Official_Record.h"
#include "review/Review_Timing.h"

namespace {

// An empty result of six boxes: what shows while a header cannot be read.
Heat_Result Empty_Result(const std::string& file) {
    Heat_Result r;
    r.File = file;
    for (size_t i = 0; i < r.Ranked.size(); ++i) r.Ranked[i].Box = static_cast<int16_t>(i + 1);
    r.Rows = Module_Results::Result_Rows(r.Ranked, 0);
    return r;
}

}  // namespace

Review_Session::Review_Session(cls_VideoFile_handler& handler, Arming armed, QObject* parent)
    : QObject(parent), m_Handler(handler), m_File(handler.File_name()), m_Armed(std::move(armed)) {
    m_Result = Empty_Result(m_File);
    try {
        m_Result = Heat_Results::Read(m_Handler);
    } catch (const std::exception& e) {
        Report_Exception(e, "Load_Result_Array of Form Form_Houndex");
    }
    // A damaged line in the header is reported; the recording is still reviewed.
    try {
        m_Goal_Lines[0] = Goal_Line::Parse_Header_Line(m_Handler.Hdx_Goal_Finish());
        m_Goal_Lines[1] = Goal_Line::Parse_Header_Line(m_Handler.Hdx_Goal_Split());
    } catch (const std::exception& e) {
        m_Goal_Line_Problem = e.what();
    }
}

void Review_Session::Mark_Nose(int32_t position, const Nose_Mark& mark) {
    std::erase_if(m_Nose_Marks, [&](const auto& m) { return m.first == position; });  // marked again: the new place
    m_Nose_Marks.emplace_back(position, mark);
    if (m_Nose_Marks.size() > 2) m_Nose_Marks.erase(m_Nose_Marks.begin());
}

std::string Review_Session::What(const Click& click) {
    return "box " + std::to_string(click.Box) + (click.Split ? " split time" : " goal time");
}

std::string Review_Session::What(Name what, int16_t box) {
    switch (what) {
        case Name::Event: return "event name";
        case Name::Heat: return "heat name";
        case Name::Dog: break;
    }
    return "box " + std::to_string(box) + " dog name";
}

std::optional<Review_Session::Outcome> Review_Session::Refused() const {
    if (m_Busy) return Outcome{false, "Another change of this heat is being written"};
    if (m_Handler.File_name() != m_File || !m_Handler.File_open())
        return Outcome{false, "The recording " + m_File + " is no longer open"};
    return std::nullopt;
}

Review_Session::Outcome Review_Session::Change(const std::string& what, const std::string& reason,
                                               const std::function<std::string()>& value,
                                               const std::function<void()>& change, const std::string& kind) {
    if (const std::optional<Outcome> refused = Refused()) return *refused;
    m_Busy = true;
    Official_Record::Change_Outcome written;
    try {
        const Error_Report_Hold hold;  // the result is in flight until both are written
        const Platform::Yield_Hold no_events;
        written = Official_Record::Apply_Change(m_Handler, what, reason, value, change);
    } catch (const std::exception& e) {
        written = {false, e.what()};
    }
    m_Busy = false;
    if (!written.done) return {false, written.error};
    Reload(kind);
    return {true, {}};
}

Review_Session::Outcome Review_Session::Set_Time(const Click& click, const std::string& reason) {
    if (click.Box < 1 || click.Box > 6) return {false, "There is no box " + std::to_string(click.Box)};
    Review_Timing::Assignment a;
    a.box = click.Box;
    a.time = click.Time + (m_Armed.Plus_Hundredth ? 10 : 0);
    a.split = click.Split;
    a.position = click.Position;
    m_Armed.Plus_Hundredth = false;
    std::optional<int32_t> estimate;
    if (!click.Split) {
        a.click_mill = click.Click_Mill;
        a.dead_heat = m_Armed.Dead_Heat;
        m_Armed.Dead_Heat = false;
        if (m_Armed.No_Time) {
            a.no_time_code = Review_Timing::No_Time_Code(m_Armed.No_Time_Caption);
            m_Armed.No_Time = false;
            m_Armed.No_Time_Caption = Arming::Plain_No_Time;
        }
        // The marks belong to the dog this click times, and only when they lie
        // on both sides of the clicked position; every goal click uses them up.
        if (a.no_time_code == 0 && m_Nose_Marks.size() == 2) {
            const int32_t p0 = m_Nose_Marks[0].first, p1 = m_Nose_Marks[1].first;
            if (std::min(p0, p1) <= click.Position && click.Position <= std::max(p0, p1))
                estimate = Crossing_Estimate::Estimate(m_Goal_Lines[0], m_Nose_Marks[0].second, m_Nose_Marks[1].second);
        }
        m_Nose_Marks.clear();
    }
    return Change(
        What(click), reason, [&] { return Official_Record::Box_Value(m_Handler, click.Box, click.Split); },
        [&] {
            Review_Timing::Apply(m_Handler, a);
            // An estimate goes with the time it was made for: a new time without one drops the old.
            if (!click.Split) Crossing_Estimate::Put(m_Handler, click.Box, estimate);
        },
        "time");
}

Review_Session::Outcome Review_Session::Clear_All(const std::string& reason) {
    return Change(
        "all results", reason, [&] { return Official_Record::All_Boxes_Value(m_Handler); },
        [&] { Review_Timing::Clear_All(m_Handler); }, "cleared");
}

Review_Session::Outcome Review_Session::Correct_Name(Name what, int16_t box, const std::string& value,
                                                     const std::string& reason) {
    if (what == Name::Dog && (box < 1 || box > 6)) return {false, "There is no box " + std::to_string(box)};
    const auto read = [&] {
        return what == Name::Event  ? m_Handler.Hdx_event()
               : what == Name::Heat ? m_Handler.Hdx_Heat_Name()
                                    : m_Handler.Hdx_Dog_name(box);
    };
    return Change(
        What(what, box), reason, read,
        [&] {
            if (what == Name::Event)
                m_Handler.Set_Hdx_event(value);
            else if (what == Name::Heat)
                m_Handler.Set_Hdx_Heat_Name(value);
            else
                m_Handler.Set_Hdx_Dog_name(box, value);
        },
        "correction");
}

Review_Session::Outcome Review_Session::Set_Box_Delay(int32_t ms, const std::string& reason) {
    if (ms < -60000 || ms > 60000) return {false, "A box delay is a whole number of ms from -60000 to 60000"};
    return Change(
        "box delay", reason, [&] { return std::to_string(Heat_Results::Recorded_Box_Delay(m_Handler)) + " ms"; },
        [&] { m_Handler.Set_Hdx_box_delay(std::to_string(ms)); }, "box delay");
}

Review_Session::Outcome Review_Session::Declare(const std::function<void(int)>& progress) {
    if (const std::optional<Outcome> refused = Refused()) return *refused;
    m_Busy = true;
    Outcome outcome{true, {}};
    try {
        const Error_Report_Hold hold;  // the hash and the declaration are in flight
        const Platform::Yield_Hold no_events;
        Official_Record::Declare(m_Handler, progress);
    } catch (const std::exception& e) {
        outcome = {false, e.what()};
    }
    m_Busy = false;
    if (outcome.done) Reload("official");
    return outcome;
}

void Review_Session::Reload(const std::string& change) {
    try {
        m_Result = Heat_Results::Read(m_Handler);
    } catch (const std::exception& e) {
        Report_Exception(e, "Load_Result_Array of Form Form_Houndex");
        m_Result = Empty_Result(m_File);
    }
    emit Changed(change);
}
