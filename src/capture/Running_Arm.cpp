#include "capture/Running_Arm.h"

#include <algorithm>
#include <cmath>

#include "capture/Module_HDMI_Support.h"
#include "platform/Picture_Canvas.h"

namespace Running_Arm {

double Angle(double count, double per_turn) { return count / per_turn * 2.0 * 3.14159 - 1.570795; }

void Draw(Platform::Picture_Canvas& picture, double angle, uint32_t bgr_colour) {
    picture.Cls();
    const double cx = static_cast<double>(static_cast<int64_t>(picture.Scale_Width()) / 2);
    const double cy = static_cast<double>(static_cast<int64_t>(picture.Scale_Height()) / 2);
    const int width =
        static_cast<int>(std::min(4.0, Module_HDMI_Support::Round_Half_Even(picture.Scale_Width() / 8.0)));
    picture.Set_Draw_Width(std::max(1, width));
    picture.Line(cx + cx * std::cos(angle), cy + cy * std::sin(angle), cx, cy, Platform::Bgr_Color(bgr_colour));
    picture.Refresh();
}

}  // namespace Running_Arm
