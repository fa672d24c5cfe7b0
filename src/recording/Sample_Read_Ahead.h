#pragma once
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "recording/Binary_File.h"
#include "recording/cDIBSection.h"
#include "recording/mIntelJPEGLibrary.h"

// Reads and decodes the next frame of a recording under review on a worker,
// while the official looks at the one on screen, so the step to it costs no
// decode. The worker reads through its own handle and never reports: a sample
// it cannot read or decode cleanly is left to the reader, which reads it again
// and reports as it always did. Samples are never rewritten once stored, so a
// frame read ahead is the frame the reader would read.
class Sample_Read_Ahead {
public:
    // Where frame n's sample lies and how its picture is decoded.
    struct Geometry {
        std::string path;
        int64_t first_sample_pos = 0;  // 1-based, as the reader counts it
        int32_t sample_size = 0;
        int32_t frames = 0;
        int32_t width = 0;
        int32_t height = 0;
        mIntelJPEGLibrary::Field_Layout layout = mIntelJPEGLibrary::Field_Layout::Interleaved;
        bool operator==(const Geometry&) const = default;
    };

    Sample_Read_Ahead() = default;
    ~Sample_Read_Ahead();
    Sample_Read_Ahead(const Sample_Read_Ahead&) = delete;
    Sample_Read_Ahead& operator=(const Sample_Read_Ahead&) = delete;

    // Reads frame n ahead; a request not yet started is replaced.
    void Request(const Geometry& where, int32_t n);
    // Frame n read ahead for where: its sample and decoded picture are swapped
    // into sample and picture. Waits while the worker is yet to read n.
    // False when n was not read ahead, or not cleanly.
    bool Take(const Geometry& where, int32_t n, std::vector<uint8_t>& sample, cDIBSection& picture);
    // Forgets what was read and closes the worker's handle (the file closes).
    void Drop();

private:
    void Run();
    bool Read_Into(const Geometry& where, int32_t n);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::thread worker_;
    bool stop_ = false;
    bool busy_ = false;
    Geometry wanted_;
    int32_t wanted_n_ = 0;  // 0: nothing asked
    Geometry ready_;
    int32_t ready_n_ = 0;  // 0: nothing held
    Geometry job_;         // what the worker reads while busy_
    int32_t job_n_ = 0;
    std::vector<uint8_t> sample_;  // frame ready_n_
    cDIBSection picture_;
    // The worker's own: touched by the main thread only while the worker is idle.
    std::vector<uint8_t> work_sample_;
    cDIBSection work_picture_;
    std::unique_ptr<Binary_File> file_;
    std::string file_path_;
};
