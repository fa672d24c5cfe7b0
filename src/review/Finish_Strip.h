#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include <QImage>

#include "review/Goal_Line.h"

class cls_VideoFile_handler;

// The finish strip: the goal line's column of pixels (a few pixels wide,
// following the line) of every review position of a recording (each field of
// one reviewed by field, else each frame), laid side by side in time order, with a time scale in hundredths after the
// start below it. A dog shows in it at the field its nose reached the line.
struct Finish_Strip {
    QImage Picture;                             // fields left to right, the scale below
    int32_t Column_Width = 2;                   // strip pixels per field
    int32_t Line_Top = 0;                       // recording row of the strip's top row
    int32_t Rows = 0;                           // strip rows taken from the recording
    int32_t Scale_Height = 0;                   // rows of the time scale below them
    std::vector<std::optional<int32_t>> Times;  // heat time (ms) of each field; none for a damaged one

    int32_t Fields() const { return static_cast<int32_t>(Times.size()); }
    // The field (1 ..) shown at strip column x, 0 outside the strip.
    int32_t Field_At(int32_t x) const;
    // The first strip column of field f.
    int32_t X_Of(int32_t field) const { return (field - 1) * Column_Width; }
};

namespace Finish_Strip_Builder {

// The strip of every field of the open recording along line (recording
// pixels). column_width: pixels per field (1 .. 16), taken from the line to
// its right. progress gets 0 .. 100 while the fields are read. An empty
// Picture when the recording has no fields or the line lies off its pictures.
Finish_Strip Build(cls_VideoFile_handler& handler, const Goal_Line_Points& line, int32_t column_width = 2,
                   const std::function<void(int)>& progress = {});

// x of the line at recording row y (the line's own x where it is level).
double Line_X(const Goal_Line_Points& line, double y);

// The strip scaled to width pixels (its scale redrawn), for a page or a file.
QImage Scaled(const Finish_Strip& strip, int32_t width);

// The fields first .. last of a strip (clamped to it) as a strip of their own,
// its scale redrawn; empty when none of them is in the strip.
Finish_Strip Section(const Finish_Strip& strip, int32_t first, int32_t last);

}  // namespace Finish_Strip_Builder
