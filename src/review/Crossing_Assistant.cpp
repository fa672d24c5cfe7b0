#include "review/Crossing_Assistant.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <set>

#include "platform/System_Info.h"
#include "recording/cDIBSection.h"
#include "recording/cls_VideoFile_handler.h"
#include "review/Review_Timing.h"

const Box_Proposal* Heat_Proposals::Box(int box) const {
    for (const Box_Proposal& p : Boxes)
        if (p.Box == box) return &p;
    return nullptr;
}

const Field_Finding* Heat_Proposals::At(int32_t position) const {
    const auto it = std::lower_bound(Findings.begin(), Findings.end(), position,
                                     [](const Field_Finding& f, int32_t p) { return f.Position < p; });
    return it != Findings.end() && it->Position == position ? &*it : nullptr;
}

namespace Crossing_Search {

namespace {

constexpr int32_t Background_Fields = 15;

std::optional<Field_Picture> Picture_Of(cls_VideoFile_handler& h, int32_t position, int32_t start,
                                        double compensation) {
    const cDIBSection* dib = h.Prepare_Position(position);
    if (!dib || h.Damaged_Frame() || !dib->DIBSectionBitsPtr()) return std::nullopt;
    Field_Picture f;
    f.Bits = dib->DIBSectionBitsPtr();
    f.Width = dib->Width();
    f.Height = dib->Height();
    f.Stride = dib->BytesPerScanLine();
    f.Position = position;
    f.Time = Review_Timing::Position_Elapsed(h, start, compensation);
    if (h.Reviewed_By_Field()) f.Kind = position % 2 ? 1 : 2;
    return f;
}

}  // namespace

Heat_Proposals Find(cls_VideoFile_handler& h, const Goal_Line_Points& line, const Jackets::Table& jackets,
                    const Crossing_Detector::Settings& settings, const std::atomic<bool>* cancel) {
    const auto began = std::chrono::steady_clock::now();
    const auto cancelled = [cancel] { return cancel && cancel->load(); };
    Heat_Proposals out;
    out.File = h.File_name();
    const int32_t fields = h.Num_fields();
    if (fields < 2) {
        out.Problem = "no fields to look at";
        return out;
    }
    const int32_t start = h.Hdx_start_PC_mill();
    const double compensation = h.Hdx_Goal_compensation();
    Crossing_Detector detector(line, jackets, settings);
    // The band without dogs, from fields spread over the whole recording
    // (each is kept until the band is settled: a few megabytes at 1080 rows).
    const int32_t samples = std::min<int32_t>(fields, Background_Fields);
    for (int32_t i = 0; i < samples && !cancelled(); ++i) {
        const int32_t p = 1 + static_cast<int32_t>(static_cast<int64_t>(i) * (fields - 1) / std::max(1, samples - 1));
        if (const auto f = Picture_Of(h, p, start, compensation)) detector.Learn(*f);
        // Both fields of the frame: each kind is learnt from as many.
        const int32_t other = p % 2 ? p + 1 : p - 1;
        if (h.Reviewed_By_Field() && other <= fields)
            if (const auto f = Picture_Of(h, other, start, compensation)) detector.Learn(*f);
    }
    detector.Settle();
    // The fields learnt from are gone: back to the system now, not when the
    // search ends (a heat's memory may be measured meanwhile).
    Platform::Return_Freed_Memory();
    if (!detector.Ready()) {
        out.Problem = detector.Band().isEmpty() ? "the goal line lies off the picture" : "no field could be read";
        return out;
    }
    std::vector<Field_Finding> findings;
    const auto by_position = [](const Field_Finding& a, const Field_Finding& b) { return a.Position < b.Position; };
    std::set<int32_t> done;
    const auto examine = [&](int32_t p) {
        if (p < 1 || p > fields || !done.insert(p).second) return;
        if (const auto f = Picture_Of(h, p, start, compensation)) findings.push_back(detector.Examine(*f));
    };
    // A dog's jacket is in the band for a quarter of a second at the least:
    // every eighth of a second finds it there.
    const int32_t period = std::max<int32_t>(1, h.Field_Period());
    const int32_t per_second = std::max(1, 1000 / period);
    const int32_t step = std::max(1, per_second / 8);
    for (int32_t p = 1; p <= fields && !cancelled(); p += step) examine(p);
    if (step > 1) {
        // Then, per dog, the fields where its nose is followed to the line:
        // every one between the last seen behind it and the first seen past
        // it, and round them as far as the track is taken, no closer than
        // about 16 ms apart (a faster camera's every field adds nothing).
        std::sort(findings.begin(), findings.end(), by_position);
        const int32_t reach = static_cast<int32_t>(Crossing_Detector::Track_Reach_Ms / period) + 2;
        const int32_t stride = std::max(1, per_second / 60);
        std::vector<std::pair<int32_t, int32_t>> dense;  // [first, last] read field by field
        std::vector<int32_t> around;                     // read field by field round these
        for (int box = 1; box <= detector.Options().Boxes; ++box) {
            int32_t behind = 0, past = 0;
            std::vector<int32_t> seen;
            for (const Field_Finding& f : findings) {
                if (f.Time <= 0) continue;  // before the start: not this race
                for (const Candidate& c : f.Candidates) {
                    if (c.Box != box || !c.Kept) continue;
                    seen.push_back(f.Position);
                    if (!c.Nose || c.Occluded || past > 0) continue;
                    if (detector.Past_By(*c.Nose) < 0)
                        behind = f.Position;
                    else if (behind > 0)
                        past = f.Position;
                }
            }
            if (past > 0)
                dense.emplace_back(behind - 2, past + 2);
            else
                around.insert(around.end(), seen.begin(), seen.end());
        }
        for (const auto& [first, last] : dense)
            for (int32_t q = first - reach; q <= last + reach && !cancelled(); ++q)
                if ((q >= first && q <= last) || (q - first) % stride == 0) examine(q);
        // A dog not followed to the line: the fields round where it was seen.
        for (const int32_t p : around)
            for (int32_t q = p - step; q <= p + step && !cancelled(); ++q) examine(q);
    }
    std::sort(findings.begin(), findings.end(), by_position);
    out.Fields_Examined = static_cast<int32_t>(findings.size());
    out.Boxes = detector.Propose(findings);
    out.Findings = std::move(findings);
    out.Elapsed_Mill =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began).count();
    return out;
}

std::string Label_Text(const Box_Proposal& p) {
    if (!p.Proposed) return p.Doubt.empty() ? "\u2014" : "unsure: " + p.Doubt;
    char percent[16];
    std::snprintf(percent, sizeof percent, "%d %%", static_cast<int>(p.Confidence * 100 + 0.5));
    return "f " + std::to_string(p.Position) + "  " +
           (p.Estimate ? Crossing_Estimate::Estimate_Text(*p.Estimate) : std::string("no estimate")) + "  " + percent;
}

}  // namespace Crossing_Search

Crossing_Assistant::Crossing_Assistant(QObject* parent) : QObject(parent) {}

Crossing_Assistant::~Crossing_Assistant() {
    if (m_Cancel) m_Cancel->store(true);
    Join();
}

void Crossing_Assistant::Join() {
    if (m_Thread.joinable()) m_Thread.join();
}

void Crossing_Assistant::Cancel() {
    if (m_Cancel) m_Cancel->store(true);
    ++m_Generation;  // whatever it still hands back is dropped
    m_Busy = false;
    m_Result.reset();
    // The run checks the flag between fields: the wait is one field's work.
    Join();
}

void Crossing_Assistant::Start(const std::string& file, const Goal_Line_Points& line, const Jackets::Table& jackets,
                               const Crossing_Detector::Settings& settings) {
    Cancel();
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    m_Cancel = cancel;
    m_Busy = true;
    const uint64_t generation = m_Generation;
    m_Thread = std::thread([this, cancel, generation, file, line, jackets, settings] {
        Heat_Proposals result;
        {
            cls_VideoFile_handler reader;
            if (!reader.Open_For_Reading(file)) {
                result.File = file;
                result.Problem = "the recording cannot be read";
            } else {
                result = Crossing_Search::Find(reader, line, jackets, settings, cancel.get());
                reader.Close_File();
            }
        }
        // What the search took (the band's samples above all) goes back to the
        // system, not kept by this thread's heap.
        Platform::Return_Freed_Memory();
        if (cancel->load()) return;
        // Back on the owner's thread; a cancelled or newer run's owner drops it.
        QMetaObject::invokeMethod(
            this,
            [this, generation, result = std::move(result)]() mutable {
                if (generation != m_Generation) return;
                m_Busy = false;
                m_Result = std::move(result);
                emit Proposals_Ready();
            },
            Qt::QueuedConnection);
    });
}
