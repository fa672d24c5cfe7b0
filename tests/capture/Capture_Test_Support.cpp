#include "Capture_Test_Support.h"

#include "Rateless_Video_Cap.h"

#include "capture/Capture_State.h"
#include "capture/Stored_Frames.h"
#include "capture/Video_Cap_Factory.h"
#include "common/Module_dependant.h"
#include "common/Startup_Facts.h"

void Capture_Test::SetUp() {
    Hdx_Test::SetUp();
    Change_Facts([&](Startup_Facts& f) { f.Ini_file_path = Path("Houndex_HDMI.ini"); });
    Stored_Frames.Clear();
    Capture_State::Current_FriendlyName.clear();
    Capture_State::Current_PropertyString.clear();
    Capture_State::Saved_Friendly_Name.clear();
    Capture_State::Saved_Video_Prop_Num.clear();
    Capture_State::Running_Fps_Value = 0;
    Clear_Key_States();
}

void Capture_Test::TearDown() {
    Set_Video_Cap_Factory({});
    Stored_Frames.Clear();
    Clear_Key_States();
    Hdx_Test::TearDown();
}

std::unique_ptr<cls_Capture_HDMI> Capture_Test::Controller(std::vector<Sim_Format> formats, bool rate_reported) {
    auto cap = std::make_unique<SimVideoCap>(Sim_Pacing::Stepped, SimVideoCap::Default_Name, std::move(formats));
    sim = cap.get();
    sim->SelectSource("video:1");
    if (!rate_reported) return std::make_unique<cls_Capture_HDMI>(std::make_unique<Rateless_Video_Cap>(std::move(cap)));
    return std::make_unique<cls_Capture_HDMI>(std::move(cap));
}

void Capture_Test::Frames(int n, int ms) {
    for (int i = 0; i < n; ++i) {
        clock.Advance(ms);
        sim->Step();
    }
}

Coordinate_Frame::Coordinate_Frame(int32_t w, int32_t h, bool up)
    : width(w), height(h), stride((w * 3 + 3) / 4 * 4), bottom_up(up) {
    pixels.assign(static_cast<size_t>(stride) * h, 0);
    for (int32_t y = 0; y < h; ++y) {
        const int32_t memory_row = up ? h - 1 - y : y;
        uint8_t* row = pixels.data() + static_cast<size_t>(memory_row) * stride;
        for (int32_t x = 0; x < w; ++x) {
            row[x * 3 + 0] = static_cast<uint8_t>(x & 0xFF);
            row[x * 3 + 1] = static_cast<uint8_t>((x >> 8) | ((y >> 8) << 4));
            row[x * 3 + 2] = static_cast<uint8_t>(y & 0xFF);
        }
    }
}

Video_Frame Coordinate_Frame::Frame(int32_t mill) const {
    Video_Frame f;
    f.Pixels = pixels.data();
    f.Length = static_cast<int32_t>(pixels.size());
    f.Width = width;
    f.Height = height;
    f.Stride = stride;
    f.Bottom_Up = bottom_up;
    f.Stamp.Mill = f.Stamp.Arrival_Mill = mill;
    return f;
}

void Coordinate_Frame::Decode(uint32_t bgr, int32_t& x, int32_t& y) {
    // cDIBSection pixels read as 0x00BBGGRR.
    const uint32_t red = bgr & 0xFF, green = (bgr >> 8) & 0xFF, blue = (bgr >> 16) & 0xFF;
    x = static_cast<int32_t>(blue | ((green & 0x0F) << 8));
    y = static_cast<int32_t>(red | ((green >> 4) << 8));
}
