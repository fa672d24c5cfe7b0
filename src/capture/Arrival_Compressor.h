#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "capture/CVideobuff_RGB.h"
#include "recording/Frame_Compressor.h"
#include "recording/Frame_Journal.h"

// Compresses kept frames as they arrive, on worker threads, so that neither
// the window thread nor the end of a capture window waits for the encoder.
// Once the recording's data area N is known each frame is fitted down the
// quality ladder into N bytes and its raw picture dropped; before that it is
// compressed once at the initial quality and keeps its raw picture, which the
// fitting may still need. Frames are taken in arrival order.
//
// The workers hold no frame alive: a frame its owner lets go (a ring frame
// pushed out) is skipped. The queue is bounded; a frame that finds it full
// keeps its raw picture and waits in arrival order until there is room.
class Arrival_Compressor {
public:
    // Frames waiting for a worker before later ones wait outside the queue:
    // 2 s of a 50 frames/s camera.
    static constexpr int32_t Default_Max_Queued = 100;

    explicit Arrival_Compressor(int32_t threads = 2);
    virtual ~Arrival_Compressor();
    Arrival_Compressor(const Arrival_Compressor&) = delete;
    Arrival_Compressor& operator=(const Arrival_Compressor&) = delete;

    // The frame size, start quality and N to compress for (the recording
    // writer's); frames submitted afterwards use them. A width of 0 turns
    // compression off: frames then keep their raw pictures.
    void Configure(const Fit_Settings& settings);
    Fit_Settings Settings() const;
    bool Active() const;

    // Queues the frame (nothing happens while not active). False when the
    // queue is full: the frame keeps its raw picture and is compressed as
    // soon as the workers have room, never left out.
    bool Submit(std::shared_ptr<CVideobuff_RGB> frame);
    void Max_Queued(int32_t frames);
    int32_t Max_Queued() const;
    // Frames that found the queue full since this object was made.
    int64_t Deferred() const;

    // Chooses the recording's N from frames kept before it is known (the
    // pre-trigger ring, oldest first) by the writer's own rule: the test
    // frames the writer would take from them, at the initial quality. Those
    // frames and every later one are then fitted into N and hold only their
    // compressed picture. Returns N; 0 while it cannot be chosen yet (no
    // frames, a test frame not compressed yet, N already known, not active).
    int32_t Choose_Data_Area(const std::vector<std::shared_ptr<CVideobuff_RGB>>& frames);
    // Fits a frame compressed before N was known into N (nothing for a frame
    // in a window, without its raw picture, or not compressed yet).
    bool Refit(const std::shared_ptr<CVideobuff_RGB>& frame);

    // Waits until every submitted frame is compressed and every record is written.
    void Drain();
    // Frames of an open window reach the journal as soon as they are
    // compressed (and those compressed before they joined it, through a
    // worker too: the window thread never writes or syncs the journal).
    void Start_Journal(std::shared_ptr<Frame_Journal> journal);
    // Waits for the frames on the way and hands the journal back.
    std::shared_ptr<Frame_Journal> Stop_Journal();
    void Join_Window(const std::shared_ptr<CVideobuff_RGB>& frame);
    // Many frames at once (the ring at the press): one hand-over to the workers.
    void Join_Window(const std::vector<std::shared_ptr<CVideobuff_RGB>>& frames);

    // Frames compressed since this object was made.
    int64_t Compressed() const;

protected:
    // Writes one frame's record (on a worker thread).
    virtual void Write_Record(Frame_Journal& journal, const CVideobuff_RGB& frame);

private:
    struct Task {
        std::weak_ptr<CVideobuff_RGB> frame;
        bool journal_only = false;
    };
    void Work();
    void Compress(CVideobuff_RGB& frame, const Fit_Settings& settings, uint8_t* buffer);
    void Journal(const CVideobuff_RGB& frame);
    // With the lock held: workers running (false when none could be started).
    bool Start_Workers();
    // With the lock held: waiting frames into the queue while there is room.
    void Refill();

    mutable std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable idle_;
    std::deque<Task> queue_;
    std::deque<std::weak_ptr<CVideobuff_RGB>> waiting_;  // found the queue full
    int32_t max_queued_ = Default_Max_Queued;
    int64_t deferred_ = 0;
    Fit_Settings settings_{};
    int32_t busy_ = 0;
    int64_t compressed_ = 0;
    bool stop_ = false;
    int32_t threads_wanted_;
    std::vector<std::thread> workers_;
    std::shared_ptr<Frame_Journal> journal_;
};
