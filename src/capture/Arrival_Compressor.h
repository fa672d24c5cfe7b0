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
class Arrival_Compressor {
public:
    explicit Arrival_Compressor(int32_t threads = 2);
    ~Arrival_Compressor();
    Arrival_Compressor(const Arrival_Compressor&) = delete;
    Arrival_Compressor& operator=(const Arrival_Compressor&) = delete;

    // The frame size, start quality and N to compress for (the recording
    // writer's); frames submitted afterwards use them. A width of 0 turns
    // compression off: frames then keep their raw pictures.
    void Configure(const Fit_Settings& settings);
    Fit_Settings Settings() const;
    bool Active() const;

    // Queues the frame (nothing happens while not active).
    void Submit(std::shared_ptr<CVideobuff_RGB> frame);
    // Waits until every submitted frame is compressed.
    void Drain();
    // Frames of an open window reach the journal as soon as they are
    // compressed (and those compressed before they joined it, at once).
    void Start_Journal(std::shared_ptr<Frame_Journal> journal);
    // Waits for the frames on the way and hands the journal back.
    std::shared_ptr<Frame_Journal> Stop_Journal();
    void Join_Window(const std::shared_ptr<CVideobuff_RGB>& frame);

    // Frames compressed since this object was made.
    int64_t Compressed() const;

private:
    void Work();
    void Journal(const CVideobuff_RGB& frame);

    mutable std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable idle_;
    std::deque<std::shared_ptr<CVideobuff_RGB>> queue_;
    Fit_Settings settings_{};
    int32_t busy_ = 0;
    int64_t compressed_ = 0;
    bool stop_ = false;
    int32_t threads_wanted_;
    std::vector<std::thread> workers_;
    std::shared_ptr<Frame_Journal> journal_;
};
