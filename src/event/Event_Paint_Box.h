#pragma once

namespace Platform {
class PictureBox;
}

namespace Event_Windows {

// Paints the box-number square of box 1..6 in the box's racing colours, the
// number at the top left in Arial bold as large as fits the picture's height.
// Any other box number leaves the picture cleared. The event windows' copy of
// the results' box painter, with the same colours; it moves to the review
// windows' painter when those exist.
void Paint_box(Platform::PictureBox& picture, int box);

}  // namespace Event_Windows
