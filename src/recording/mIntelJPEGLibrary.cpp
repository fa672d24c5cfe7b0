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

int32_t First_Field_Rows(int32_t height) { return (height + 1) / 2; }

// The JPEG row that holds picture row y (from the top) of a stacked picture.
int32_t Stacked_Row(int32_t y, int32_t height) { return y % 2 == 0 ? y / 2 : Second_Field_Row(height) + y / 2; }

// Top-down rows of a stacked picture, one per thread (reused: frames of one
// size follow each other).
std::vector<uint8_t>& Stacked_Scratch(int32_t width, int32_t height) {
    thread_local std::vector<uint8_t> rows;
    const size_t need = static_cast<size_t>(Bytes_Per_Scan_Line(width)) *
                        static_cast<size_t>(Stored_Height(height, Field_Layout::Stacked));
    if (rows.size() < need) rows.resize(need);
    return rows;
}

// The bottom-up section bits as the stacked top-down rows the JPEG holds.
void Stack_Fields(const uint8_t* bits, int32_t width, int32_t height, uint8_t* stacked) {
    const size_t stride = static_cast<size_t>(Bytes_Per_Scan_Line(width));
    const int32_t gap_from = First_Field_Rows(height), gap_to = Stored_Height(height, Field_Layout::Stacked);
    for (int32_t y = 0; y < height; ++y)
        std::memcpy(stacked + static_cast<size_t>(Stacked_Row(y, height)) * stride,
                    bits + static_cast<size_t>(height - 1 - y) * stride, stride);
    // The gap repeats field 1's last row: a flat edge costs the fewest bytes.
    const uint8_t* last = stacked + static_cast<size_t>(gap_from - 1) * stride;
    for (int32_t s = gap_from; s < Second_Field_Row(height) && s < gap_to; ++s)
        std::memcpy(stacked + static_cast<size_t>(s) * stride, last, stride);
}

void Unstack_Fields(const uint8_t* stacked, int32_t width, int32_t height, uint8_t* bits) {
    const size_t stride = static_cast<size_t>(Bytes_Per_Scan_Line(width));
    for (int32_t y = 0; y < height; ++y)
        std::memcpy(bits + static_cast<size_t>(height - 1 - y) * stride,
                    stacked + static_cast<size_t>(Stacked_Row(y, height)) * stride, stride);
}

// The picture height whose stacked JPEG has stored rows: the wanted one when
// it fits, else the smallest that does (an odd height stacks like the even one
// below it unless field 1 then fills its blocks); 0 when none has.
int32_t Unstacked_Height(int32_t stored, int32_t wanted) {
    if (wanted > 0 && Stored_Height(wanted, Field_Layout::Stacked) == stored) return wanted;
    for (int32_t h = 1; h <= stored; ++h)
        if (Stored_Height(h, Field_Layout::Stacked) == stored) return h;
    return 0;
}

}  // namespace

int32_t Second_Field_Row(int32_t height) {
    const int32_t first = First_Field_Rows(height);
    return (first + Field_Block_Rows - 1) / Field_Block_Rows * Field_Block_Rows;
}

int32_t Stored_Height(int32_t height, Field_Layout layout) {
    if (height <= 0) return 0;
    if (layout == Field_Layout::Interleaved || height < 2) return height;
    return Second_Field_Row(height) + height / 2;
}

int32_t Worst_Case_Size(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return 0;
    const unsigned long need =
        tjBufSize(width, Stored_Height(height, Field_Layout::Stacked), Subsampling(Chroma::Full_Rows));
    if (need == static_cast<unsigned long>(-1) ||
        need > static_cast<unsigned long>(std::numeric_limits<int32_t>::max()))
        return 0;
    return static_cast<int32_t>(need);
}

bool Decode_JPG_To_DIB(cDIBSection& section, const uint8_t* jpeg, int32_t jpeg_size, Field_Layout layout,
                       int32_t height) {
    tjhandle h = Decompressor();
    if (!h) {
        Platform::MsgBox("Failed to initialise the IJL library: " + Code_Text(nullptr), Platform::MsgButtons::OK,
                         Platform::MsgIcon::Exclamation);
        return false;
    }
    int width = 0, stored_height = 0, subsamp = 0, colorspace = 0;
    if (!jpeg || jpeg_size <= 0 ||
        tjDecompressHeader3(h, jpeg, static_cast<unsigned long>(jpeg_size), &width, &stored_height, &subsamp,
                            &colorspace) != 0 ||
        width <= 0 || stored_height <= 0) {
        Drop_Decompressor();
        Platform::MsgBox("Failed to read JPG", Platform::MsgButtons::OK, Platform::MsgIcon::Exclamation);
        return false;
    }
    const int32_t picture_height = layout == Field_Layout::Stacked ? Unstacked_Height(stored_height, height) : 0;
    if (picture_height > 0) {
        if (!section.DIBSectionBitsPtr() || section.Width() != width || section.Height() != picture_height) {
            if (!section.Create(width, picture_height)) return false;
        }
        return Decode_JPG_To_Bits(jpeg, jpeg_size, section.DIBSectionBitsPtr(), width, picture_height,
                                  Field_Layout::Stacked);
    }
    // Reviewing decodes frame after frame of one size: keep the section then.
    if (!section.DIBSectionBitsPtr() || section.Width() != width || section.Height() != stored_height) {
        if (!section.Create(width, stored_height)) return false;
    }
    // One-channel streams come out with blue = green = red. A stream cut short
    // is a failure, not a picture half filled with grey.
    const bool decoded =
        tjDecompress2(h, jpeg, static_cast<unsigned long>(jpeg_size), section.DIBSectionBitsPtr(), width,
                      section.BytesPerScanLine(), stored_height, TJPF_BGR, TJFLAG_BOTTOMUP | TJFLAG_STOPONWARNING) == 0;
    if (!decoded) Drop_Decompressor();
    return decoded;
}

bool Decode_JPG_To_Bits(const uint8_t* jpeg, int32_t jpeg_size, uint8_t* bits, int32_t width, int32_t height,
                        Field_Layout layout) {
    tjhandle h = Decompressor();
    int w = 0, ht = 0, subsamp = 0, colorspace = 0;
    const int32_t stored_height = Stored_Height(height, layout);
    if (!h || !jpeg || jpeg_size <= 0 || !bits || width <= 0 || stored_height <= 0 ||
        tjDecompressHeader3(h, jpeg, static_cast<unsigned long>(jpeg_size), &w, &ht, &subsamp, &colorspace) != 0 ||
        w != width || ht != stored_height) {
        Drop_Decompressor();
        return false;
    }
    const int pitch = static_cast<int>(Bytes_Per_Scan_Line(width));
    const bool stacked = layout == Field_Layout::Stacked;
    uint8_t* into = stacked ? Stacked_Scratch(width, height).data() : bits;
    const bool decoded =
        tjDecompress2(h, jpeg, static_cast<unsigned long>(jpeg_size), into, width, pitch, stored_height, TJPF_BGR,
                      (stacked ? 0 : TJFLAG_BOTTOMUP) | TJFLAG_STOPONWARNING) == 0;
    if (!decoded) {
        Drop_Decompressor();
        return false;
    }
    if (stacked) Unstack_Fields(into, width, height, bits);
    return true;
}

bool Encode_Bits_To_JPG(const uint8_t* bits, int32_t width, int32_t height, uint8_t* output, int32_t& size, int quality,
                        Chroma chroma, Field_Layout layout) {
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
    const int pitch = static_cast<int>(Bytes_Per_Scan_Line(width));
    const bool stacked = layout == Field_Layout::Stacked && height >= 2;
    if (stacked) {
        uint8_t* rows = Stacked_Scratch(width, height).data();
        Stack_Fields(bits, width, height, rows);
        if (tjCompress2(h, rows, width, pitch, Stored_Height(height, layout), TJPF_BGR, &dest, &length,
                        Subsampling(chroma), quality, TJFLAG_NOREALLOC) != 0)
            Fail_Save(Code_Text(h));
    } else if (tjCompress2(h, bits, width, pitch, height, TJPF_BGR, &dest, &length, Subsampling(chroma), quality,
                           TJFLAG_BOTTOMUP | TJFLAG_NOREALLOC) != 0) {
        Fail_Save(Code_Text(h));
    }
    if (dest != output) {
        if (length > static_cast<unsigned long>(size))
            Fail_Save("-1 (the JPEG of " + std::to_string(length) + " bytes exceeds the buffer of " +
                      std::to_string(size) + " bytes)");
        std::memcpy(output, dest, length);
    }
    size = static_cast<int32_t>(length);
    return true;
}

bool Encode_DIB_To_JPG(const cDIBSection& section, uint8_t* output, int32_t& size, int quality, Chroma chroma,
                       Field_Layout layout) {
    return Encode_Bits_To_JPG(section.DIBSectionBitsPtr(), section.Width(), section.Height(), output, size, quality,
                              chroma, layout);
}

}  // namespace mIntelJPEGLibrary
