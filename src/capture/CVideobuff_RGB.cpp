#include "capture/CVideobuff_RGB.h"

#include <cstring>
#include <new>
#include <string>

#include "platform/HdxError.h"

namespace {
constexpr int Out_Of_Memory = 7;
}

void CVideobuff_RGB::RGB_Length(int32_t length) {
    if (length < 0)
        throw HdxError(HdxErr::SubscriptOutOfRange,
                       "Subscript out of range (RGB_Length " + std::to_string(length) + ")");
    pixels_.reset();
    rgb_length_ = 0;
    if (length == 0) return;
    try {
        pixels_.reset(new uint8_t[static_cast<size_t>(length)]());
    } catch (const std::bad_alloc&) {
        throw HdxError(Out_Of_Memory, "Out of memory");
    }
    rgb_length_ = length;
}

void CVideobuff_RGB::FillData_RGB(const void* source) {
    if (rgb_length_ == 0) return;
    if (!source) throw HdxError(HdxErr::ObjectRequired, "FillData_RGB: no source");
    std::memcpy(pixels_.get(), source, static_cast<size_t>(rgb_length_));
}

void CVideobuff_RGB::FillData_RGB(const void* source, size_t source_length) {
    if (source_length < static_cast<size_t>(rgb_length_))
        throw HdxError(HdxErr::SubscriptOutOfRange, "FillData_RGB: the source holds " + std::to_string(source_length) +
                                                        " bytes, " + std::to_string(rgb_length_) + " are needed");
    FillData_RGB(source);
}

void CVideobuff_RGB::Assign_RGB(const void* source, size_t source_length, int32_t length) {
    if (length < 0)
        throw HdxError(HdxErr::SubscriptOutOfRange,
                       "Subscript out of range (RGB_Length " + std::to_string(length) + ")");
    if (source_length < static_cast<size_t>(length))
        throw HdxError(HdxErr::SubscriptOutOfRange, "FillData_RGB: the source holds " + std::to_string(source_length) +
                                                        " bytes, " + std::to_string(length) + " are needed");
    if (length > 0 && !source) throw HdxError(HdxErr::ObjectRequired, "FillData_RGB: no source");
    pixels_.reset();
    rgb_length_ = 0;
    if (length == 0) return;
    try {
        pixels_.reset(new uint8_t[static_cast<size_t>(length)]);  // every byte is written just below
    } catch (const std::bad_alloc&) {
        throw HdxError(Out_Of_Memory, "Out of memory");
    }
    std::memcpy(pixels_.get(), source, static_cast<size_t>(length));
    rgb_length_ = length;
}

void CVideobuff_RGB::PutTimestamp(int32_t mill, int32_t local, int32_t delta) {
    capture_mill_ = mill;
    capture_local_ = local;
    capture_delta_ = delta;
}

void CVideobuff_RGB::Set_Jpeg(const uint8_t* data, int32_t size, const Stored_Jpeg& facts) {
    jpeg_.assign(data, data + (size > 0 ? size : 0));
    jpeg_.shrink_to_fit();
    jpeg_facts_ = facts;
    jpeg_facts_.Size = static_cast<int32_t>(jpeg_.size());
}

Stored_Jpeg CVideobuff_RGB::Jpeg() const {
    Stored_Jpeg j = jpeg_facts_;
    j.Data = jpeg_.empty() ? nullptr : jpeg_.data();
    return j;
}

void CVideobuff_RGB::Drop_Pixels() {
    pixels_.reset();
    rgb_length_ = 0;
}
