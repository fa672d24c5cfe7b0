#include "capture/Arrival_Compressor.h"

#include <algorithm>
#include <system_error>

#include "recording/mIntelJPEGLibrary.h"

Arrival_Compressor::Arrival_Compressor(int32_t threads) : threads_wanted_(std::max(1, threads)) {}

Arrival_Compressor::~Arrival_Compressor() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    work_.notify_all();
    for (std::thread& w : workers_) w.join();
}

void Arrival_Compressor::Configure(const Fit_Settings& settings) {
    std::lock_guard<std::mutex> lock(mutex_);
    settings_ = settings;
}

Fit_Settings Arrival_Compressor::Settings() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return settings_;
}

bool Arrival_Compressor::Active() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return settings_.Width > 0 && settings_.Height > 0 && settings_.Capacity > 0;
}

int64_t Arrival_Compressor::Compressed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return compressed_;
}

void Arrival_Compressor::Submit(std::shared_ptr<CVideobuff_RGB> frame) {
    if (!frame) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (settings_.Width <= 0 || settings_.Height <= 0 || settings_.Capacity <= 0) return;
        if (workers_.empty()) {
            // Started with the first frame: a program that never captures runs none.
            try {
                for (int32_t t = 0; t < threads_wanted_; ++t) workers_.emplace_back([this] { Work(); });
            } catch (const std::system_error&) {
                if (workers_.empty()) return;  // the frame keeps its raw picture; the writer compresses it
            }
        }
        queue_.push_back(std::move(frame));
    }
    work_.notify_one();
}

void Arrival_Compressor::Start_Journal(std::shared_ptr<Frame_Journal> journal) {
    std::lock_guard<std::mutex> lock(mutex_);
    journal_ = std::move(journal);
}

std::shared_ptr<Frame_Journal> Arrival_Compressor::Stop_Journal() {
    Drain();
    std::lock_guard<std::mutex> lock(mutex_);
    return std::move(journal_);
}

void Arrival_Compressor::Join_Window(const std::shared_ptr<CVideobuff_RGB>& frame) {
    // Whoever sets the second of the two marks writes the record: exactly once.
    if (frame && (frame->Mark(CVideobuff_RGB::In_Window_Bit) & CVideobuff_RGB::Compressed_Bit)) Journal(*frame);
}

void Arrival_Compressor::Journal(const CVideobuff_RGB& frame) {
    std::shared_ptr<Frame_Journal> journal;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        journal = journal_;
    }
    if (!journal) return;
    Stored_Frame_Ref ref;
    ref.Capture_Mill = frame.Capture_Mill();
    ref.Capture_Local = frame.Capture_Local();
    ref.Capture_Delta = frame.Capture_Delta();
    ref.Jpeg = frame.Jpeg();
    journal->Add(frame.Sequence(), ref);
}

void Arrival_Compressor::Drain() {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return queue_.empty() && busy_ == 0; });
}

void Arrival_Compressor::Work() {
    // Never zeroed: only the bytes the encoder writes are touched.
    std::unique_ptr<uint8_t[]> buffer;
    size_t buffer_size = 0;
    for (;;) {
        std::shared_ptr<CVideobuff_RGB> frame;
        Fit_Settings settings;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            work_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            if (stop_) return;
            frame = std::move(queue_.front());
            queue_.pop_front();
            settings = settings_;
            ++busy_;
        }
        if (buffer_size < static_cast<size_t>(settings.Capacity)) {
            buffer_size = static_cast<size_t>(settings.Capacity);
            buffer.reset(new uint8_t[buffer_size]);
        }
        const Stored_Frame_Ref ref{frame->Video_Adress(),  frame->RGB_Length(),    frame->Capture_Mill(),
                                   frame->Capture_Local(), frame->Capture_Delta(), {}};
        Stored_Jpeg facts;
        if (settings.Data_Area > 0) {
            const Fit_Findings f = Frame_Compressor::Find_Fit(settings, ref, 0, 0, buffer.get());
            // A frame that could not be encoded keeps its raw picture: the
            // writer tries again and reports it.
            if (f.Fit.Status == Fit_Status::Stored || f.Fit.Status == Fit_Status::Too_Large) {
                facts.Quality = f.Fit.Quality;
                facts.Data_Area = settings.Data_Area;
                facts.Too_Large = f.Fit.Status == Fit_Status::Too_Large;
                facts.Largest = f.Largest;
                facts.Smallest = f.Smallest;
                frame->Set_Jpeg(buffer.get(), f.Fit.Stored() ? f.Fit.Size : 0, facts);
                if (f.Fit.Stored()) frame->Drop_Pixels();
            }
        } else if (ref.Video_Adress && ref.RGB_Length >= settings.Image_Size) {
            int32_t size = settings.Capacity;
            try {
                // The same chroma as the writer's, so the writer can take this result as it is.
                mIntelJPEGLibrary::Encode_Bits_To_JPG(
                    ref.Video_Adress, settings.Width, settings.Height, buffer.get(), size, settings.Initial_Quality,
                    settings.Interlaced ? mIntelJPEGLibrary::Chroma::Full_Rows : mIntelJPEGLibrary::Chroma::Half_Rows);
                facts.Quality = settings.Initial_Quality;
                facts.Largest = facts.Smallest = size;
                frame->Set_Jpeg(buffer.get(), size, facts);
            } catch (...) {
                // Left raw: the writer compresses it and reports what fails.
            }
        }
        if (frame->Mark(CVideobuff_RGB::Compressed_Bit) & CVideobuff_RGB::In_Window_Bit) Journal(*frame);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            --busy_;
            ++compressed_;
            if (queue_.empty() && busy_ == 0) idle_.notify_all();
        }
    }
}
