#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <QObject>

#include "review/Crossing_Proposal.h"

class cls_VideoFile_handler;

// A heat's proposals: one per box, and what was seen in each field examined
// (for the outlines of the candidates kept and discarded).
struct Heat_Proposals {
    std::string File;
    std::vector<Box_Proposal> Boxes;      // box 1 first
    std::vector<Field_Finding> Findings;  // in position order
    int32_t Fields_Examined = 0;
    int64_t Elapsed_Mill = 0;  // how long the search took
    std::string Problem;       // why there are none (an unreadable recording)

    const Box_Proposal* Box(int box) const;
    const Field_Finding* At(int32_t position) const;
};

namespace Crossing_Search {

// The proposals of an open recording along line. The band without dogs is
// learnt from fields spread over the recording; a long recording is looked at
// every few fields first and field by field only where a dog is near the
// line. cancel, when set, ends the search early (its result is then partial).
Heat_Proposals Find(cls_VideoFile_handler& handler, const Goal_Line_Points& line, const Jackets::Table& jackets,
                    const Crossing_Detector::Settings& settings, const std::atomic<bool>* cancel = nullptr);

// "f 123  ≈3,456  92 %", or "unsure: why" / "—" for none.
std::string Label_Text(const Box_Proposal& p);

}  // namespace Crossing_Search

// Finds a recording's proposals on a worker thread with a reader of its own,
// so the window never waits; the result comes back on the thread that
// started it (Proposals_Ready). A new start or Cancel abandons the run under
// way; destroying the assistant ends it first. A recording closed or gone
// meanwhile only makes the run end without proposals.
class Crossing_Assistant : public QObject {
    Q_OBJECT
public:
    explicit Crossing_Assistant(QObject* parent = nullptr);
    ~Crossing_Assistant() override;

    void Start(const std::string& file, const Goal_Line_Points& line, const Jackets::Table& jackets,
               const Crossing_Detector::Settings& settings);
    void Cancel();
    bool Busy() const { return m_Busy; }
    // The last run's proposals, for the file it was started for; none while it runs.
    const std::optional<Heat_Proposals>& Result() const { return m_Result; }

signals:
    void Proposals_Ready();

private:
    void Join();
    std::thread m_Thread;
    std::shared_ptr<std::atomic<bool>> m_Cancel;
    uint64_t m_Generation = 0;
    bool m_Busy = false;
    std::optional<Heat_Proposals> m_Result;
};
