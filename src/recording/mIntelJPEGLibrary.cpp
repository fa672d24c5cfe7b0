#include "recording/mIntelJPEGLibrary.h"

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <turbojpeg.h>

#include "platform/Dialogs.h"
#include "platform/HdxError.h"
#include "recording/cDIBSection.h"

namespace mIntelJPEGLibrary {

namespace {

int Subsampling(Chroma chroma) { return chroma == Chroma::Full_Rows ? TJSAMP_422 : TJSAMP_420; }

struct Tj_Handle {
    tjhandle handle = nullptr;
    ~Tj_Handle() {
        if (handle) tjDestroy(handle);
    }
};

Tj_Handle& Decompressor_Slot() {
    thread_local Tj_Handle h;
    return h;
}

tjhandle Decompressor() {
    Tj_Handle& h = Decompressor_Slot();
    if (!h.handle) h.handle = tjInitDecompress();
    return h.handle;
}

// A stream that failed can leave the library's decoder half way through its
// header; the next picture then fails too. A fresh decoder starts clean.
void Drop_Decompressor() {
    Tj_Handle& h = Decompressor_Slot();
    if (h.handle) tjDestroy(h.handle);
    h.handle = nullptr;
}

tjhandle Compressor() {
    thread_local Tj_Handle h;
    if (!h.handle) h.handle = tjInitCompress();
    return h.handle;
}

// The library's code with its own words, e.g. "1 (Invalid argument)".
std::string Code_Text(tjhandle handle) {
    const char* text = tjGetErrorStr2(handle);
    return std::to_string(tjGetErrorCode(handle)) + " (" + (text ? text : "") + ")";
}

[[noreturn]] void Fail_Save(const std::string& code) { throw HdxError(JPG_Error, "Failed to save to JPG " + code); }

}  // namespace

int32_t Worst_Case_Size(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return 0;
    const unsigned long need = tjBufSize(width, height, Subsampling(Chroma::Full_Rows));
    if (need == static_cast<unsigned long>(-1) ||
        need > static_cast<unsigned long>(std::numeric_limits<int32_t>::max()))
        return 0;
    return static_cast<int32_t>(need);
}

bool Decode_JPG_To_DIB(cDIBSection& section, const uint8_t* jpeg, int32_t jpeg_size) {
    tjhandle h = Decompressor();
    if (!h) {
        Platform::MsgBox("Failed to initialise the IJL library: " + Code_Text(nullptr), Platform::MsgButtons::OK,
                         Platform::MsgIcon::Exclamation);
        return false;
    }
    int width = 0, height = 0, subsamp = 0, colorspace = 0;
    if (!jpeg || jpeg_size <= 0 ||
        tjDecompressHeader3(h, jpeg, static_cast<unsigned long>(jpeg_size), &width, &height, &subsamp, &colorspace) !=
            0 ||
        width <= 0 || height <= 0) {
        Drop_Decompressor();
        Platform::MsgBox("Failed to read JPG", Platform::MsgButtons::OK, Platform::MsgIcon::Exclamation);
        return false;
    }
    // Reviewing decodes frame after frame of one size: keep the section then.
    if (!section.DIBSectionBitsPtr() || section.Width() != width || section.Height() != height) {
        if (!section.Create(width, height)) return false;
    }
    // One-channel streams come out with blue = green = red. A stream cut short
    // is a failure, not a picture half filled with grey.
    const bool decoded =
        tjDecompress2(h, jpeg, static_cast<unsigned long>(jpeg_size), section.DIBSectionBitsPtr(), width,
                      section.BytesPerScanLine(), height, TJPF_BGR, TJFLAG_BOTTOMUP | TJFLAG_STOPONWARNING) == 0;
    if (!decoded) Drop_Decompressor();
    return decoded;
}

bool Decode_JPG_To_Bits(const uint8_t* jpeg, int32_t jpeg_size, uint8_t* bits, int32_t width, int32_t height) {
    tjhandle h = Decompressor();
    int w = 0, ht = 0, subsamp = 0, colorspace = 0;
    if (!h || !jpeg || jpeg_size <= 0 || !bits ||
        tjDecompressHeader3(h, jpeg, static_cast<unsigned long>(jpeg_size), &w, &ht, &subsamp, &colorspace) != 0 ||
        w != width || ht != height) {
        Drop_Decompressor();
        return false;
    }
    const bool decoded = tjDecompress2(h, jpeg, static_cast<unsigned long>(jpeg_size), bits, width,
                                       static_cast<int>(Bytes_Per_Scan_Line(width)), height, TJPF_BGR,
                                       TJFLAG_BOTTOMUP | TJFLAG_STOPONWARNING) == 0;
    if (!decoded) Drop_Decompressor();
    return decoded;
}

bool Encode_Bits_To_JPG(const uint8_t* bits, int32_t width, int32_t height, uint8_t* output, int32_t& size, int quality,
                        Chroma chroma) {
    tjhandle h = Compressor();
    if (!h) throw HdxError(JPG_Error, "Failed to initialise the IJL library: " + Code_Text(nullptr));
    if (!bits || width <= 0 || height <= 0) Fail_Save("-1 (no picture to encode)");
    if (!output || size <= 0) Fail_Save("-1 (no output buffer)");
    if (quality < 1 || quality > 100) Fail_Save("-1 (quality " + std::to_string(quality) + " is not 1 to 100)");
    const int32_t need = Worst_Case_Size(width, height);
    if (need == 0) Fail_Save("-1 (picture too large)");

    // With a buffer of the worst-case size the library writes straight into it;
    // a smaller one gets the JPEG copied in only when it fits.
    thread_local std::vector<unsigned char> scratch;
    unsigned char* dest = output;
    if (size < need) {
        if (scratch.size() < static_cast<size_t>(need)) scratch.resize(static_cast<size_t>(need));
        dest = scratch.data();
    }
    unsigned long length = static_cast<unsigned long>(need);
    if (tjCompress2(h, bits, width, static_cast<int>(Bytes_Per_Scan_Line(width)), height, TJPF_BGR, &dest, &length,
                    Subsampling(chroma), quality, TJFLAG_BOTTOMUP | TJFLAG_NOREALLOC) != 0)
        Fail_Save(Code_Text(h));
    if (dest != output) {
        if (length > static_cast<unsigned long>(size))
            Fail_Save("-1 (the JPEG of " + std::to_string(length) + " bytes exceeds the buffer of " +
                      std::to_string(size) + " bytes)");
        std::memcpy(output, dest, length);
    }
    size = static_cast<int32_t>(length);
    return true;
}

bool Encode_DIB_To_JPG(const cDIBSection& section, uint8_t* output, int32_t& size, int quality, Chroma chroma) {
    return Encode_Bits_To_JPG(section.DIBSectionBitsPtr(), section.Width(), section.Height(), output, size, quality,
                              chroma);
}

}  // namespace mIntelJPEGLibrary
