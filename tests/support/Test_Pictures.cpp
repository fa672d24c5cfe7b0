#include "Test_Pictures.h"

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

void Fill_Rows(cDIBSection& dib, int32_t top, int32_t rows, uint32_t colour) {
    for (int32_t y = top; y < top + rows; ++y)
        for (int32_t x = 0; x < dib.Width(); ++x) dib.Set_Pixel(x, y, colour);
}

void Fill_Noise(cDIBSection& dib, uint32_t seed, int amplitude) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> d(-amplitude, amplitude);
    for (int32_t y = 0; y < dib.Height(); ++y) {
        uint8_t* row = dib.Scan_Line(y);
        for (int32_t i = 0; i < dib.Width() * 3; ++i) row[i] = static_cast<uint8_t>(std::clamp(128 + d(rng), 0, 255));
    }
}

int Colour_Distance(uint32_t a, uint32_t b) {
    int worst = 0;
    for (int shift = 0; shift < 24; shift += 8)
        worst =
            std::max(worst, std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
    return worst;
}

void Frame_List::Add(const cDIBSection& picture, int32_t mill, int32_t local, int32_t delta) {
    auto f = std::make_unique<CVideobuff_RGB>();
    f->RGB_Length(picture.SizeImage());
    f->FillData_RGB(picture.DIBSectionBitsPtr());
    f->PutTimestamp(mill, local, delta);
    frames_.push_back(std::move(f));
}

void Frame_List::Add_Raw(int32_t length) {
    auto f = std::make_unique<CVideobuff_RGB>();
    f->RGB_Length(length);
    frames_.push_back(std::move(f));
}

std::optional<Stored_Frame_Ref> Frame_List::Item(int32_t index) const {
    if (index < 1 || index > Count()) return std::nullopt;
    const CVideobuff_RGB& f = *frames_[static_cast<size_t>(index - 1)];
    return Stored_Frame_Ref{f.Video_Adress(),  f.RGB_Length(),    f.Capture_Mill(),
                            f.Capture_Local(), f.Capture_Delta(), f.Jpeg()};
}
