#pragma once
#include <cstdint>

struct Result_Record;

namespace Platform {
class PictureBox;
}

// The box-number square in the box's racing colours, shared by every window
// that shows a start box (results, main window's dog panel, event windows).
//
// The picture is cleared, then box 1..6 is filled with its colours and its
// number printed at the top left in Arial bold, as large as fits the height.
// Any other box number leaves the picture cleared (its back colour).
void Paint_box(Platform::PictureBox& picture, int box);
void Paint_box(Platform::PictureBox& picture, const Result_Record& record);
