#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "review/Goal_Line.h"

class cls_VideoFile_handler;

// The crossing between two fields: the official marks a dog's nose in the
// last field before the goal line and in the first past it; the crossing time
// is estimated by linear interpolation of the nose's distance to the line.
// The official field time stays the result; the estimate is shown beside it.

// Where the official marked the nose in one field: the field's heat time
// (ms) and the nose in recording pixels.
struct Nose_Mark {
    int32_t Time = 0;
    double X = 0;
    double Y = 0;
};

namespace Crossing_Estimate {

// Distance of (x, y) from the line, in pixels, positive on the side the
// line's direction (P1 to P2) has on its left in picture coordinates; 0 for a
// line without length.
double Signed_Distance(const Goal_Line_Points& line, double x, double y);

// The estimated crossing (ms, rounded half to even) of a nose marked at a and
// b, two different fields on either side of the line (or on it); none when
// both marks lie strictly on one side or share a time.
std::optional<int32_t> Estimate(const Goal_Line_Points& line, const Nose_Mark& a, const Nose_Mark& b);

// "≈28,453": seconds to the millisecond, minutes and hours as the race times
// show them ("≈1:02,300").
std::string Estimate_Text(int32_t ms);

// The estimate stored for a box in the open recording (its spare
// "dog_heat_spare1"); none when "00000", 0 or not a whole number.
std::optional<int32_t> Stored(cls_VideoFile_handler& handler, int16_t box);
// Puts (or with none, removes) the estimate of a box into the header in memory only.
void Put(cls_VideoFile_handler& handler, int16_t box, std::optional<int32_t> estimate);
// Stores (or with none, removes) the estimate of a box and writes the header.
// Raises like a time assignment (a read-only recording included).
void Store(cls_VideoFile_handler& handler, int16_t box, std::optional<int32_t> estimate);

}  // namespace Crossing_Estimate
