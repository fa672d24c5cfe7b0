// A JPEG stream decoded into a bitmap section; a picture that decodes encodes
// again and that stream decodes to a picture of the same size.
#include <vector>

#include "Fuzz_Support.h"
#include "platform/HdxError.h"
#include "recording/cDIBSection.h"
#include "recording/mIntelJPEGLibrary.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    Fuzz::Init(argc, argv, false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fuzz::Reset();
    if (size > static_cast<size_t>(INT32_MAX)) return 0;
    cDIBSection picture;
    if (!mIntelJPEGLibrary::Decode_JPG_To_DIB(picture, data, static_cast<int32_t>(size))) return 0;
    if (!picture.DIBSectionBitsPtr() || picture.Width() <= 0 || picture.Height() <= 0)
        Fuzz::Fail("a decoded stream left no picture");
    const int32_t capacity = mIntelJPEGLibrary::Worst_Case_Size(picture.Width(), picture.Height());
    if (capacity <= 0) return 0;
    std::vector<uint8_t> out(static_cast<size_t>(capacity));
    int32_t jpeg_size = capacity;
    try {
        mIntelJPEGLibrary::Encode_DIB_To_JPG(picture, out.data(), jpeg_size, 75);
    } catch (const HdxError&) {
        Fuzz::Fail("a decoded picture does not encode");
    }
    cDIBSection again;
    if (!mIntelJPEGLibrary::Decode_JPG_To_DIB(again, out.data(), jpeg_size) || again.Width() != picture.Width() ||
        again.Height() != picture.Height())
        Fuzz::Fail("an encoded picture does not decode to its size");
    return 0;
}
