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

void Arrival_Compressor::Max_Queued(int32_t frames) {
    std::lock_guard<std::mutex> lock(mutex_);
    max_queued_ = std::max(1, frames);
}

int32_t Arrival_Compressor::Max_Queued() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return max_queued_;
}

int64_t Arrival_Compressor::Deferred() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return deferred_;
}

bool Arrival_Compressor::Start_Workers() {
    if (!workers_.empty()) return true;
    // Started with the first frame: a program that never captures runs none.
    try {
        for (int32_t t = 0; t < threads_wanted_; ++t) workers_.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
        // None at all: frames keep their raw pictures; the writer compresses them.
    }
    return !workers_.empty();
}

void Arrival_Compressor::Refill() {
    while (!waiting_.empty() && static_cast<int32_t>(queue_.size()) < max_queued_) {
        std::weak_ptr<CVideobuff_RGB> f = std::move(waiting_.front());
        waiting_.pop_front();
        if (!f.expired()) queue_.push_back(Task{std::move(f), false});
    }
}

bool Arrival_Compressor::Submit(std::shared_ptr<CVideobuff_RGB> frame) {
    if (!frame) return true;
    bool queued = true;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (settings_.Width <= 0 || settings_.Height <= 0 || settings_.Capacity <= 0) return true;
        if (!Start_Workers()) return true;
        if (!waiting_.empty() || static_cast<int32_t>(queue_.size()) >= max_queued_) {
            // Behind the frames already waiting, so arrival order holds.
            waiting_.push_back(frame);
            ++deferred_;
            queued = false;
        } else {
            queue_.push_back(Task{frame, false});
        }
    }
    if (queued) work_.notify_one();
    return queued;
}

bool Arrival_Compressor::Refit(const std::shared_ptr<CVideobuff_RGB>& frame) {
    if (!frame || !frame->Video_Adress()) return false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (settings_.Data_Area <= 0 || !Start_Workers()) return false;
        if (frame->Jpeg().Data_Area == settings_.Data_Area) return false;  // fitted already
        // Only a frame no window holds yet: its record is written once, after this fitting.
        if (!frame->Unmark_Compressed()) return false;
        queue_.push_back(Task{frame, false});
    }
    work_.notify_one();
    return true;
}

int32_t Arrival_Compressor::Choose_Data_Area(const std::vector<std::shared_ptr<CVideobuff_RGB>>& frames) {
    const int32_t count = static_cast<int32_t>(frames.size());
    Fit_Settings settings = Settings();
    if (count < 1 || settings.Data_Area > 0 || settings.Width <= 0 || settings.Capacity <= 0) return 0;
    int32_t largest = -1;
    for (int32_t index : Frame_Compressor::Test_Frames(count)) {
        const CVideobuff_RGB& f = *frames[static_cast<size_t>(index - 1)];
        if (!(f.Marks() & CVideobuff_RGB::Compressed_Bit)) return 0;  // on its way: chosen with a later frame
        const Stored_Jpeg j = f.Jpeg();
        // A frame that could not be compressed counts for nothing, as at the writer.
        if (!j.Data) continue;
        if (j.Data_Area != 0 || j.Quality != settings.Initial_Quality) return 0;
        largest = std::max(largest, j.Size);
    }
    if (largest < 0) return 0;
    settings.Data_Area = Frame_Compressor::Data_Area_Size(largest);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (settings_.Data_Area > 0) return 0;  // chosen meanwhile
        settings_.Data_Area = settings.Data_Area;
    }
    for (const std::shared_ptr<CVideobuff_RGB>& f : frames) Refit(f);
    return settings.Data_Area;
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
    Join_Window(std::vector<std::shared_ptr<CVideobuff_RGB>>{frame});
}

void Arrival_Compressor::Join_Window(const std::vector<std::shared_ptr<CVideobuff_RGB>>& frames) {
    // Whoever sets the second of the two marks has the record written: exactly once.
    std::vector<const std::shared_ptr<CVideobuff_RGB>*> compressed;
    for (const std::shared_ptr<CVideobuff_RGB>& f : frames)
        if (f && (f->Mark(CVideobuff_RGB::In_Window_Bit) & CVideobuff_RGB::Compressed_Bit)) compressed.push_back(&f);
    if (compressed.empty()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!journal_ || !Start_Workers()) return;
        // Outside the bound: a record costs no picture, and the ring's frames must not wait behind new ones.
        for (const std::shared_ptr<CVideobuff_RGB>* f : compressed) queue_.push_back(Task{*f, true});
    }
    work_.notify_all();
}

void Arrival_Compressor::Write_Record(Frame_Journal& journal, const CVideobuff_RGB& frame) {
    Stored_Frame_Ref ref;
    ref.Capture_Mill = frame.Capture_Mill();
    ref.Capture_Local = frame.Capture_Local();
    ref.Capture_Delta = frame.Capture_Delta();
    ref.Jpeg = frame.Jpeg();
    journal.Add(frame.Sequence(), ref);
}

void Arrival_Compressor::Journal(const CVideobuff_RGB& frame) {
    std::shared_ptr<Frame_Journal> journal;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        journal = journal_;
    }
    if (journal) Write_Record(*journal, frame);
}

void Arrival_Compressor::Drain() {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return queue_.empty() && waiting_.empty() && busy_ == 0; });
}

void Arrival_Compressor::Compress(CVideobuff_RGB& frame, const Fit_Settings& settings, uint8_t* buffer) {
    // A frame compressed before N was known brings that encoding: the ladder's first step.
    const Stored_Frame_Ref ref{frame.Video_Adress(),  frame.RGB_Length(),    frame.Capture_Mill(),
                               frame.Capture_Local(), frame.Capture_Delta(), frame.Jpeg()};
    Stored_Jpeg facts;
    if (settings.Data_Area > 0) {
        const Fit_Findings f = Frame_Compressor::Find_Fit(settings, ref, 0, 0, buffer);
        // A frame that could not be encoded keeps its raw picture: the
        // writer tries again and reports it.
        if (f.Fit.Status == Fit_Status::Stored || f.Fit.Status == Fit_Status::Too_Large) {
            facts.Quality = f.Fit.Quality;
            facts.Data_Area = settings.Data_Area;
            facts.Too_Large = f.Fit.Status == Fit_Status::Too_Large;
            facts.Largest = f.Largest;
            facts.Smallest = f.Smallest;
            frame.Set_Jpeg(buffer, f.Fit.Stored() ? f.Fit.Size : 0, facts);
            if (f.Fit.Stored()) frame.Drop_Pixels();
        }
    } else if (ref.Video_Adress && ref.RGB_Length >= settings.Image_Size) {
        int32_t size = settings.Capacity;
        try {
            // The same chroma and field layout as the writer's, so the writer can take this result as it is.
            settings.Encode(ref.Video_Adress, buffer, size, settings.Initial_Quality);
            facts.Quality = settings.Initial_Quality;
            facts.Largest = facts.Smallest = size;
            frame.Set_Jpeg(buffer, size, facts);
        } catch (...) {
            // Left raw: the writer compresses it and reports what fails.
        }
    }
}

void Arrival_Compressor::Work() {
    // Never zeroed: only the bytes the encoder writes are touched.
    std::unique_ptr<uint8_t[]> buffer;
    size_t buffer_size = 0;
    for (;;) {
        std::shared_ptr<CVideobuff_RGB> frame;
        bool journal_only = false;
        Fit_Settings settings;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            work_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            if (stop_) return;
            frame = queue_.front().frame.lock();
            journal_only = queue_.front().journal_only;
            queue_.pop_front();
            settings = settings_;
            ++busy_;
        }
        bool again = false;
        if (frame && journal_only) {
            Journal(*frame);
        } else if (frame) {
            if (buffer_size < static_cast<size_t>(settings.Capacity)) {
                buffer_size = static_cast<size_t>(settings.Capacity);
                buffer.reset(new uint8_t[buffer_size]);
            }
            Compress(*frame, settings, buffer.get());
            {
                // N became known while this frame was encoded without it: fitted at once.
                std::lock_guard<std::mutex> lock(mutex_);
                again = settings.Data_Area <= 0 && settings_.Data_Area > 0 && frame->Video_Adress();
                if (again) queue_.push_front(Task{frame, false});
            }
            if (!again && (frame->Mark(CVideobuff_RGB::Compressed_Bit) & CVideobuff_RGB::In_Window_Bit))
                Journal(*frame);
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            --busy_;
            if (frame && !journal_only && !again) ++compressed_;
            Refill();
            if (queue_.empty() && waiting_.empty() && busy_ == 0) idle_.notify_all();
        }
        work_.notify_all();
    }
}
