#include "recording/Picture_Ops.h"

#include <cstring>
#include <vector>

#include "recording/cDIBSection.h"

namespace Picture_Ops {

namespace {
bool Overlap(const uint8_t* a, size_t a_len, const uint8_t* b, size_t b_len) { return a < b + b_len && b < a + a_len; }
}  // namespace

void deinterlaceFrame2(const uint8_t* source, uint8_t* target, int16_t width, int16_t height, int16_t field) {
    if (!source || !target || width <= 0 || height <= 0 || (field != 1 && field != 2)) return;
    const size_t stride = static_cast<size_t>(Bytes_Per_Scan_Line(width));
    const size_t row_bytes = static_cast<size_t>(width) * 3;
    const int h = height;
    // Picture row y (from the top) is memory row h-1-y.
    auto src_row = [&](int y) { return source + static_cast<size_t>(h - 1 - y) * stride; };
    auto dst_row = [&](int y) { return target + static_cast<size_t>(h - 1 - y) * stride; };
    const int first = field == 2 ? 0 : 1;
    if (first >= h) {
        // A one-row picture has no second field; show the row it has.
        std::memmove(dst_row(0), src_row(0), row_bytes);
        return;
    }
    // Field rows first, so an in-place call still interpolates from unchanged rows.
    for (int y = first; y < h; y += 2) std::memmove(dst_row(y), src_row(y), row_bytes);
    for (int y = 1 - first; y < h; y += 2) {
        const bool above = y - 1 >= 0, below = y + 1 < h;
        uint8_t* out = dst_row(y);
        if (above && below) {
            const uint8_t* a = src_row(y - 1);
            const uint8_t* b = src_row(y + 1);
            for (size_t i = 0; i < row_bytes; ++i) out[i] = static_cast<uint8_t>((a[i] + b[i] + 1) >> 1);
        } else {
            std::memmove(out, src_row(above ? y - 1 : y + 1), row_bytes);
        }
    }
}

void Rotate90(const uint8_t* source, uint8_t* target, int32_t width, int32_t height, intptr_t /*reserved*/) {
    if (!source || !target || width <= 0 || height <= 0) return;
    const size_t s_stride = static_cast<size_t>(Bytes_Per_Scan_Line(width));
    const size_t t_stride = static_cast<size_t>(Bytes_Per_Scan_Line(height));
    const size_t s_len = s_stride * static_cast<size_t>(height);
    std::vector<uint8_t> copy;
    if (Overlap(source, s_len, target, t_stride * static_cast<size_t>(width))) {
        copy.assign(source, source + s_len);
        source = copy.data();
    }
    // Target pixel (tx, ty) is source pixel (ty, height-1-tx): target row ty is
    // source column ty read upwards, which in bottom-up storage is source memory
    // row tx. Target picture row ty sits in memory row width-1-ty.
    for (int32_t ty = 0; ty < width; ++ty) {
        uint8_t* out = target + static_cast<size_t>(width - 1 - ty) * t_stride;
        const uint8_t* in = source + static_cast<size_t>(ty) * 3;
        for (int32_t tx = 0; tx < height; ++tx, out += 3, in += s_stride) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
        }
    }
}

const char* BlendVersion() {
    static const char* text = [] {
        static char buf[65];
        std::memset(buf, ' ', 64);
        buf[64] = '\0';
        static const char name[] = "Houndex picture operations 1.0 (deinterlace, rotate 90)";
        std::memcpy(buf, name, sizeof(name) - 1);
        return buf;
    }();
    return text;
}

}  // namespace Picture_Ops
