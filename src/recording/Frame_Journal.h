#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "recording/Binary_File.h"
#include "recording/IStored_Frames.h"

// The frames of an open capture window as they reach the disk: a file beside
// the recording, NAME.nx3.journal, appended to as each frame is compressed and
// deleted once the window's frames are in the recording. After a crash it is
// folded into the recording (Recover_Journal in the writer). Each record holds
// the frame's stamps, its compressed picture with the fitting facts and a
// check sum, so a record cut short by the crash is recognised and left out.
class Frame_Journal {
public:
    static std::string Path_For(const std::string& recording) { return recording + ".journal"; }

    // Creates the journal (replacing a stale one). frames_before: complete
    // samples in the recording when the window opened, after every earlier
    // window's frames are in it (the writer's Complete_Samples()): recovery
    // counts the journal's records from there. Throws when the journal cannot
    // be made, and then leaves no file behind.
    Frame_Journal(const std::string& recording, int32_t frames_before);
    // Opens the whole journal a window left when the recording could not take
    // its frames, so that the next window's frames follow them (throws when
    // it cannot be opened).
    static std::shared_ptr<Frame_Journal> Continue(const std::string& recording);
    ~Frame_Journal();
    Frame_Journal(const Frame_Journal&) = delete;
    Frame_Journal& operator=(const Frame_Journal&) = delete;

    // One frame (any thread). sequence: its place in arrival order. Never
    // throws: the first failure stops the journal and is kept in Problem().
    void Add(int64_t sequence, const Stored_Frame_Ref& frame);
    // Forces what was written onto the storage device.
    void Sync();
    // Closes and deletes the journal: the window is in the recording.
    void Discard();
    // Closes it only (a newer window's journal has taken its place).
    void Close();
    const std::string& Path() const { return path_; }
    // Whole records written: after a Problem() the journal holds only these.
    int32_t Records() const;
    // Empty while every frame handed over is in the journal; else why the
    // journal stopped, and how many frames it holds.
    std::string Problem() const;

    // What a journal holds, in arrival order: complete records only.
    struct Frame {
        int64_t sequence = 0;
        int32_t mill = 0, local = 0, delta = 0;
        Stored_Jpeg facts;  // Data is not set: bytes hold the picture
        std::vector<uint8_t> bytes;
    };
    struct Contents {
        bool ok = false;
        int32_t frames_before = 0;
        std::vector<Frame> frames;
        int64_t damaged_bytes = 0;  // at the end, left out
    };
    static Contents Read(const std::string& journal_path);

    // A journal's frames as the writer reads stored frames.
    class Frames : public IStored_Frames {
    public:
        explicit Frames(std::vector<Frame> frames) : frames_(std::move(frames)) {}
        int32_t Count() const override { return static_cast<int32_t>(frames_.size()); }
        std::optional<Stored_Frame_Ref> Item(int32_t index) const override;
        void Clear() override { frames_.clear(); }

    private:
        std::vector<Frame> frames_;
    };

private:
    struct Continuing {};
    Frame_Journal(const std::string& recording, Continuing);
    void Stop(const std::string& why);  // with the lock held

    mutable std::mutex mutex_;
    Binary_File file_;
    std::string path_;
    int32_t records_ = 0;
    int32_t synced_at_ = 0;  // PC milliseconds of the last sync
    std::string problem_;
};
