#include "recording/Sample_Read_Ahead.h"

#include <exception>

#include "recording/NX3_Layout.h"

Sample_Read_Ahead::~Sample_Read_Ahead() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable()) worker_.join();
}

void Sample_Read_Ahead::Request(const Geometry& where, int32_t n) {
    if (n < 1 || n > where.frames || where.sample_size <= 0 || where.width <= 0 || where.height <= 0) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if ((ready_n_ == n && ready_ == where) || (busy_ && job_n_ == n && job_ == where)) return;
        wanted_ = where;
        wanted_n_ = n;
        if (!worker_.joinable()) worker_ = std::thread([this] { Run(); });
    }
    wake_.notify_one();
}

bool Sample_Read_Ahead::Take(const Geometry& where, int32_t n, std::vector<uint8_t>& sample, cDIBSection& picture) {
    std::unique_lock<std::mutex> lock(mutex_);
    // Asked for and not read yet: the worker takes it at once (the review asks for one frame at a time).
    done_.wait(lock, [&] { return !(wanted_n_ == n && wanted_ == where) && !(busy_ && job_n_ == n && job_ == where); });
    if (ready_n_ != n || !(ready_ == where)) return false;
    sample.swap(sample_);
    picture.Swap(picture_);
    ready_n_ = 0;
    return true;
}

void Sample_Read_Ahead::Drop() {
    std::unique_lock<std::mutex> lock(mutex_);
    wanted_n_ = 0;
    done_.wait(lock, [this] { return !busy_; });
    ready_n_ = 0;
    file_.reset();
    file_path_.clear();
}

void Sample_Read_Ahead::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || wanted_n_ != 0; });
        if (stop_) return;
        job_ = wanted_;
        job_n_ = wanted_n_;
        wanted_n_ = 0;
        busy_ = true;
        lock.unlock();
        const bool read = Read_Into(job_, job_n_);
        lock.lock();
        if (read) {
            sample_.swap(work_sample_);
            picture_.Swap(work_picture_);
            ready_ = job_;
            ready_n_ = job_n_;
        }
        busy_ = false;
        job_n_ = 0;
        done_.notify_all();
    }
}

bool Sample_Read_Ahead::Read_Into(const Geometry& where, int32_t n) {
    try {
        if (!file_ || file_path_ != where.path) {
            file_.reset();
            file_path_.clear();
            auto file = std::make_unique<Binary_File>();
            file->Open(where.path, Binary_File::Mode::Read);
            file_ = std::move(file);
            file_path_ = where.path;
        }
        const size_t size = static_cast<size_t>(where.sample_size);
        work_sample_.resize(size);
        file_->Seek(where.first_sample_pos + (int64_t{n} - 1) * where.sample_size - 1);
        if (file_->Read(work_sample_.data(), size) != size || !NX3::Has_Tag(work_sample_.data(), "RGBS")) return false;
        const NX3::Sample_Fields f = NX3::Read_Sample_Fields(work_sample_.data());
        const int32_t data_area = where.sample_size - NX3::Sample_Overhead;
        if (f.jpeg_size < 1 || f.jpeg_size > data_area || f.element_count != data_area) return false;
        if (work_picture_.Width() != where.width || work_picture_.Height() != where.height ||
            !work_picture_.DIBSectionBitsPtr()) {
            if (!work_picture_.Create(where.width, where.height)) return false;
        }
        return mIntelJPEGLibrary::Decode_JPG_To_Bits(work_sample_.data() + NX3::Sample::Data, f.jpeg_size,
                                                     work_picture_.DIBSectionBitsPtr(), where.width, where.height,
                                                     where.layout);
    } catch (const std::exception&) {
        // The reader reads this frame itself and reports what is wrong.
        file_.reset();
        file_path_.clear();
        return false;
    }
}
