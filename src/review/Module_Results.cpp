#include "review/Module_Results.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "platform/Clock.h"
#include "platform/Error_Entry.h"
#include "recording/cls_VideoFile_handler.h"
#include "review/Crossing_Estimate.h"
#include "common/Module_dependant.h"

namespace Module_Results {

bool Load_Result_Array(cls_VideoFile_handler& handler, Result_Array_Type& results) {
    try {
        Result_Array_Type loaded;
        for (int16_t i = 1; i <= 6; ++i) {
            Result_Record& r = loaded[static_cast<size_t>(i - 1)];
            r.Box = i;
            r.Goal_Time = handler.Hdx_Heat_time(i, false);
            r.Split_Time = handler.Hdx_Heat_time(i, true);
            r.Dog_Name = handler.Hdx_Dog_name(i);
            if (r.Dog_Name == Unnamed_Dog) r.Dog_Name.clear();
            r.Click_Time = handler.Hdx_Heat_Click_Time(i);
            r.Dead_Heat = handler.Hdx_dead_heat(i);
            r.Estimate = Crossing_Estimate::Stored(handler, i);
            if (r.Goal_Time == 0) r.Goal_Time = No_Time;
            if (r.Split_Time == 0) r.Split_Time = No_Time;
        }
        results = std::move(loaded);
        return true;
    } catch (const std::exception& e) {
        Report_Exception(e, "Load_Result_Array of Form Form_Houndex");
    }
    // Never another heat's ranking: the six boxes without a time.
    for (size_t i = 0; i < results.size(); ++i) {
        results[i] = Result_Record{};
        results[i].Box = static_cast<int16_t>(i + 1);
    }
    return false;
}

void Sort_Result_Array(Result_Array_Type& results) {
    // Exchange passes until one makes no exchange: stable, so equal records keep their order.
    bool exchanged = true;
    while (exchanged) {
        exchanged = false;
        for (size_t r = 0; r + 1 < results.size(); ++r) {
            const Result_Record& a = results[r];
            const Result_Record& b = results[r + 1];
            // Click times come from the wrapping PC clock: "later" is a positive distance.
            const bool clicked_later = Platform::Mill_Since(b.Click_Time, a.Click_Time) > 0;
            if (a.Goal_Time > b.Goal_Time || (a.Goal_Time == b.Goal_Time && clicked_later)) {
                std::swap(results[r], results[r + 1]);
                exchanged = true;
            }
        }
    }
    // A dead-heat mark shares the rank of the dog above it. A partner clicked
    // again at the same field is clicked later than the marked dog: the marked
    // one must still follow it, or the dead heat reads as 1st and 2nd.
    for (size_t first = 0; first < results.size();) {
        size_t end = first + 1;
        while (end < results.size() && results[end].Goal_Time == results[first].Goal_Time) ++end;
        if (results[first].Goal_Time < DNF_Code && results[first].Dead_Heat) {
            const auto unmarked = std::find_if(results.begin() + static_cast<std::ptrdiff_t>(first),
                                               results.begin() + static_cast<std::ptrdiff_t>(end),
                                               [](const Result_Record& r) { return !r.Dead_Heat; });
            if (unmarked != results.begin() + static_cast<std::ptrdiff_t>(end))
                std::rotate(results.begin() + static_cast<std::ptrdiff_t>(first), unmarked, unmarked + 1);
        }
        first = end;
    }
}

std::array<int16_t, 6> Rank_Numbers(const Result_Array_Type& results) {
    std::array<int16_t, 6> ranks{};
    int16_t counter = 0;
    for (size_t r = 0; r < results.size(); ++r) {
        const auto position = static_cast<int16_t>(r + 1);
        if (!results[r].Dead_Heat || counter == 0) {
            ranks[r] = position;
            counter = position;
        } else {
            ranks[r] = counter;
        }
    }
    return ranks;
}

Result_Rows_Type Result_Rows(const Result_Array_Type& results, int32_t box_delay) {
    Result_Rows_Type rows;
    const std::array<int16_t, 6> ranks = Rank_Numbers(results);
    for (size_t r = 0; r < results.size(); ++r) {
        const Result_Record& rec = results[r];
        Result_Row& row = rows[r];
        row.Box = rec.Box;
        row.Dead_Heat_Circle = rec.Dead_Heat;
        row.Rank = std::to_string(ranks[r]);
        row.Name = rec.Dog_Name;
        // A dog without a split shows none: "00,00" would read as a time.
        row.Split = rec.Split_Time >= DNF_Code ? "" : Display_Mill_Time(rec.Split_Time + box_delay, true);
        if (rec.Goal_Time < DNF_Code) {
            row.Time = Display_Mill_Time(rec.Goal_Time + box_delay, true);
            if (rec.Estimate) row.Estimate = Crossing_Estimate::Estimate_Text(*rec.Estimate + box_delay);
        } else {
            row.Time = "---,---";
            // Without a split there is nothing to blank out: the column stays empty.
            if (!row.Split.empty()) row.Split = "---,---";
            row.Rank = "---";
        }
        if (rec.Goal_Time == DSQ_Code) row.Time = "DSQ";
        if (rec.Goal_Time == DNF_Code) row.Time = "DNF";
        if (rec.Goal_Time == No_Rank_Code) row.Time = "No rank";
    }
    return rows;
}

std::string Box_Delay_Text(int32_t box_delay) {
    if (box_delay < 1) return "";
    return "Box delay = " + std::to_string(box_delay) + "ms";
}

std::string Shown_Name(const Result_Row& row) { return row.Name.empty() ? "Box " + std::to_string(row.Box) : row.Name; }

bool Has_Result(const Result_Row& row) { return !row.Name.empty() || row.Time != "---,---"; }

std::string Export_Line(const Result_Row& row) {
    std::string line = row.Rank + "\t" + Shown_Name(row) + "\t" + row.Time;
    // Only a split that is a time gets its column: a row without a result
    // (DNF, DSQ, no time) shows "---,---" there and exports without it.
    if (!row.Split.empty() && row.Split != "00,00" && row.Split != "---,---") line += "\t" + row.Split;
    return line;
}

std::string Export_Text(const std::string& heat_id, const Result_Rows_Type& rows) {
    std::string text = "Heat" + heat_id + "\r\n";
    for (const Result_Row& row : rows)
        if (Has_Result(row)) text += Export_Line(row) + "\r\n";
    return text;
}

}  // namespace Module_Results
