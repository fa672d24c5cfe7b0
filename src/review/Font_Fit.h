#pragma once
#include <string>

class QLabel;

namespace Platform {
class PictureBox;
}

// Font sizes that make a text fit the space it is shown in.

// The largest Arial size, from 110 down in steps of 2, at which the text's
// width and height are both less than the picture's scale width and height;
// 8 when none down to 8 fits. The picture keeps its font's weight and style
// and is left with Arial at the size returned, measured on its own canvas.
int Max_Font(Platform::PictureBox& picture, const std::string& text);

// Shrinks the label's font, from its present size down in steps of 2, to the
// first size at which the caption is narrower than 90 % of the label; a size
// of 7 or less ends the search and is used as it is.
void Fit_Font_Size(QLabel& label);
