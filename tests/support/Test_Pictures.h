#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "capture/CVideobuff_RGB.h"
#include "recording/IStored_Frames.h"
#include "recording/cDIBSection.h"

// Colours as 0x00BBGGRR.
constexpr uint32_t Red = 0x0000FF, Green = 0x00FF00, Blue = 0xFF0000, White = 0xFFFFFF, Black = 0;

// Fills rows [top, top + rows) with colour (picture coordinates).
void Fill_Rows(cDIBSection& dib, int32_t top, int32_t rows, uint32_t colour);
// Deterministic noise around mid grey; amplitude 0 gives a flat picture.
void Fill_Noise(cDIBSection& dib, uint32_t seed, int amplitude);
// Largest per-channel difference between two colours.
int Colour_Distance(uint32_t a, uint32_t b);

// The kept frames as the capture side holds them.
class Frame_List : public IStored_Frames {
public:
    void Add(const cDIBSection& picture, int32_t mill = 0, int32_t local = 0, int32_t delta = 0);
    // A frame of length bytes that does not match any picture size.
    void Add_Raw(int32_t length);
    int32_t Count() const override { return static_cast<int32_t>(frames_.size()); }
    std::optional<Stored_Frame_Ref> Item(int32_t index) const override;
    void Clear() override { frames_.clear(); }

private:
    std::vector<std::unique_ptr<CVideobuff_RGB>> frames_;
};
