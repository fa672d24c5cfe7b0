#include "Sim_Heat.h"

#include <cmath>
#include <cstring>

#include "Test_Pictures.h"
#include "recording/cls_VideoFile_handler.h"

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
    w.Set_RGB_interlaced(true);
    if (!w.Initiate_NX3_File(path)) return false;
    w.Set_Hdx_start_PC_mill(0);
    w.Set_Hdx_Goal_compensation("0");
    w.Set_Hdx_Goal_Finish(Goal_Line::Line_Text(Line));
    Frame_List frames;
    Sim_Scene::Canvas first, second;
    cDIBSection frame;
    if (!frame.Create(Width, Height)) return false;
    for (int32_t k = 0; k < Frames; ++k) {
        const int32_t t = First_Exposure_Ms + 40 * k;
        Scene.Render(t, {}, first);
        Scene.Render(t + 20, {}, second);
        // The first field on the top row and every second row below it.
        for (int32_t y = 0; y < Height; ++y) {
            const QImage& source = y % 2 == 0 ? first.image : second.image;
            uint8_t* row = frame.DIBSectionBitsPtr() + static_cast<size_t>(Height - 1 - y) * frame.BytesPerScanLine();
            std::memcpy(row, source.constScanLine(y), static_cast<size_t>(Width) * 3);
        }
        // The review adds 2 ms to a stamp: this one makes the first field's time t.
        frames.Add(frame, t - 2, t - 2, 40);
    }
    if (w.Append_Stored_Frames(frames) != Frames) return false;
    if (!w.Write_XML_Header()) return false;
    w.Close_File();
    return true;
}

int32_t Sim_Heat::Crossing_Field(int box) const {
    const double cross = Crossing_Ms[static_cast<size_t>(box - 1)];
    return static_cast<int32_t>(std::ceil((cross - First_Exposure_Ms) / 20.0)) + 1;
}
