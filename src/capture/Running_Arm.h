#pragma once
#include <cstdint>

namespace Platform {
class Picture_Canvas;
}

// The rotating arm that shows frames (or time) are flowing: one line from the
// picture's centre, starting at twelve o'clock and turning clockwise.
namespace Running_Arm {

// count / per_turn x 2 x 3.14159 - 1.570795 radians.
double Angle(double count, double per_turn);
// Clears the picture and draws the arm at that angle in the colour 0x00BBGGRR;
// the line is a eighth of the picture's scale width thick, at most 4.
void Draw(Platform::Picture_Canvas& picture, double angle, uint32_t bgr_colour);

}  // namespace Running_Arm
