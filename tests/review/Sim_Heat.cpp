#include "Sim_Heat.h"

#include <cmath>
#include <cstring>

#include "Test_Pictures.h"
#include "recording/cls_VideoFile_handler.h"

int32_t Sim_Heat::Frames() const {
    const double frame = 1000.0 / Kind.Fps;
    return static_cast<int32_t>(std::ceil((Last_Exposure_Ms - First_Exposure_Ms) / frame)) + 1;
}

int32_t Sim_Heat::Field_Time(int32_t p) const {
    const double period = 1000.0 / Kind.Fps / (Kind.Interlaced ? 2 : 1);
    if (!Kind.Interlaced) return First_Exposure_Ms + static_cast<int32_t>(std::lround((p - 1) * period));
    // A frame's second field is exposed half a frame (the review's rounded field period) after its first.
    const int32_t frame = (p + 1) / 2;
    const int32_t first = First_Exposure_Ms + static_cast<int32_t>(std::lround((frame - 1) * 2 * period));
    return p % 2 == 1 ? first : first + static_cast<int32_t>(std::lround(period));
}

bool Sim_Heat::Record(const std::string& path) {
    Sim_Scene::Run run;
    run.Begin_Ms = 0;
    run.Crossing_Ms = Crossing_Ms;
    Scene.Add_Run(run);
    const int32_t finish = static_cast<int32_t>(std::lround(Scene.Finish_X()));
    Line = {{finish, Scene.Track_Top()}, {finish, Scene.Track_Bottom()}};

    cls_VideoFile_handler w;
    w.Set_Cropped_X(Width);
    w.Set_Cropped_Y(Height);
    w.Set_RGB_interlaced(Kind.Interlaced);
    if (!w.Initiate_NX3_File(path)) return false;
    w.Set_Running_Fps(static_cast<int16_t>(Kind.Fps));
    w.Set_Hdx_start_PC_mill(0);
    w.Set_Hdx_Goal_compensation("0");
    w.Set_Hdx_Goal_Finish(Goal_Line::Line_Text(Line));
    Frame_List frames;
    Sim_Scene::Canvas first, second;
    cDIBSection frame;
    if (!frame.Create(Width, Height)) return false;
    const int32_t per_frame = Kind.Interlaced ? 2 : 1;
    int32_t previous = 0;
    for (int32_t k = 0; k < Frames(); ++k) {
        const int32_t t = Field_Time(per_frame * k + 1);
        Scene.Render(t, {}, first);
        if (Kind.Interlaced) Scene.Render(Field_Time(per_frame * k + 2), {}, second);
        // The first field on the top row and every second row below it.
        for (int32_t y = 0; y < Height; ++y) {
            const QImage& source = Kind.Interlaced && y % 2 == 1 ? second.image : first.image;
            uint8_t* row = frame.DIBSectionBitsPtr() + static_cast<size_t>(Height - 1 - y) * frame.BytesPerScanLine();
            std::memcpy(row, source.constScanLine(y), static_cast<size_t>(Width) * 3);
        }
        // The review adds 2 ms to a stamp: this one makes the first field's time t.
        frames.Add(frame, t - 2, t - 2, k == 0 ? 0 : t - previous);
        previous = t;
    }
    if (w.Append_Stored_Frames(frames) != Frames()) return false;
    if (!w.Write_XML_Header()) return false;
    w.Close_File();
    return true;
}

int32_t Sim_Heat::Crossing_Field(int box) const {
    const double cross = Crossing_Ms[static_cast<size_t>(box - 1)];
    int32_t p = 1;
    while (p < Positions() && Field_Time(p) < cross) ++p;
    return p;
}
