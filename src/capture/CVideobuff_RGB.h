#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "recording/IStored_Frames.h"

// One kept frame between the capture callback and the recording writer: a
// private copy of the crop bitmap's bits (24-bit, rows bottom-up, padded to 4
// bytes) and the frame timestamp, which is never changed once put.
class CVideobuff_RGB {
public:
    CVideobuff_RGB() = default;
    CVideobuff_RGB(const CVideobuff_RGB&) = delete;
    CVideobuff_RGB& operator=(const CVideobuff_RGB&) = delete;

    int32_t RGB_Length() const { return rgb_length_; }
    // Discards the pixels and allocates a fresh zeroed array of exactly length
    // bytes. Raises HdxError 9 for a negative length and 7 when memory runs out
    // (the object is then empty).
    void RGB_Length(int32_t length);

    // Copies RGB_Length bytes from source (a single block move). The caller
    // guarantees the source holds that many; the second form checks it and
    // raises HdxError 9 instead of reading past a shorter source.
    void FillData_RGB(const void* source);
    void FillData_RGB(const void* source, size_t source_length);

    // RGB_Length(length) and FillData_RGB(source, source_length) in one: the
    // fresh array is written once, by the copy, and never zeroed first.
    void Assign_RGB(const void* source, size_t source_length, int32_t length);

    void PutTimestamp(int32_t mill, int32_t local, int32_t delta);
    int32_t Capture_Mill() const { return capture_mill_; }
    int32_t Capture_Local() const { return capture_local_; }
    int32_t Capture_Delta() const { return capture_delta_; }

    // The first pixel byte (nullptr while the length is 0); valid while the
    // object lives and its length is not set again.
    const uint8_t* Video_Adress() const { return pixels_.get(); }
    const uint8_t* RGB_Buffer_Address() const { return pixels_.get(); }

    // The picture compressed as it arrived (set once, by a compression worker,
    // before anything reads it). Drop_Pixels gives the raw picture back once
    // the compressed one is all the recording needs.
    void Set_Jpeg(const uint8_t* data, int32_t size, const Stored_Jpeg& facts);
    Stored_Jpeg Jpeg() const;
    void Drop_Pixels();
    // Place in arrival order (set when kept).
    int64_t Sequence() const { return sequence_; }
    void Set_Sequence(int64_t sequence) { sequence_ = sequence; }
    // Journal state bits (Compressed, In_Window); returns the bits before.
    static constexpr int Compressed_Bit = 1, In_Window_Bit = 2;
    int Mark(int bit) { return journal_state_.fetch_or(bit); }
    int Marks() const { return journal_state_.load(); }
    // A compressed frame outside any window is to be fitted again (the
    // recording's N has become known): its Compressed mark is taken back.
    // False when it is not compressed yet or already in a window.
    bool Unmark_Compressed() {
        int expected = Compressed_Bit;
        return journal_state_.compare_exchange_strong(expected, 0);
    }

    // Bytes this frame holds (raw picture and compressed picture).
    size_t Held_Bytes() const { return static_cast<size_t>(rgb_length_) + jpeg_.capacity(); }

private:
    std::unique_ptr<uint8_t[]> pixels_;
    std::vector<uint8_t> jpeg_;
    Stored_Jpeg jpeg_facts_;
    std::atomic<int> journal_state_{0};
    int64_t sequence_ = 0;
    int32_t rgb_length_ = 0;
    int32_t capture_mill_ = 0;
    int32_t capture_delta_ = 0;
    int32_t capture_local_ = 0;
};
