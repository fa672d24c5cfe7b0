#include "review/Crossing_Estimate.h"

#include <cmath>

#include "common/Text.h"
#include "platform/HdxError.h"
#include "recording/cls_VideoFile_handler.h"

namespace Crossing_Estimate {

double Signed_Distance(const Goal_Line_Points& line, double x, double y) {
    const double dx = line.P2.X - line.P1.X, dy = line.P2.Y - line.P1.Y;
    const double length = std::hypot(dx, dy);
    if (length == 0) return 0;
    return (dx * (y - line.P1.Y) - dy * (x - line.P1.X)) / length;
}

std::optional<int32_t> Estimate(const Goal_Line_Points& line, const Nose_Mark& a, const Nose_Mark& b) {
    if (a.Time == b.Time) return std::nullopt;
    const double da = Signed_Distance(line, a.X, a.Y), db = Signed_Distance(line, b.X, b.Y);
    if ((da > 0 && db > 0) || (da < 0 && db < 0) || da == db) return std::nullopt;
    // The nose moves steadily over one field: the line is reached at the share
    // of the way that lies on the first side.
    const double t = a.Time + (b.Time - a.Time) * da / (da - db);
    return static_cast<int32_t>(std::nearbyint(t));
}

std::string Estimate_Text(int32_t ms) {
    if (ms < 0) ms = 0;
    const int32_t hours = ms / 3600000, minutes = ms / 60000 % 60, seconds = ms / 1000 % 60, milli = ms % 1000;
    auto two = [](int32_t v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    std::string text;
    if (hours > 0)
        text = std::to_string(hours) + ":" + two(minutes) + ":" + two(seconds);
    else if (minutes > 0)
        text = std::to_string(minutes) + ":" + two(seconds);
    else
        text = std::to_string(seconds);
    const std::string m = std::to_string(milli);
    return "\u2248" + text + "," + std::string(3 - m.size(), '0') + m;
}

std::optional<int32_t> Stored(cls_VideoFile_handler& handler, int16_t box) {
    int64_t v = 0;
    if (Parse_Whole_Number(Trim_Blanks(handler.Hdx_heat_spare1(box)), v) != Whole_Number::Ok) return std::nullopt;
    if (v <= 0 || v > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(v);
}

void Put(cls_VideoFile_handler& handler, int16_t box, std::optional<int32_t> estimate) {
    handler.Set_Hdx_heat_spare1(box, estimate && *estimate > 0 ? std::to_string(*estimate) : "00000");
}

void Store(cls_VideoFile_handler& handler, int16_t box, std::optional<int32_t> estimate) {
    if (handler.Read_only())
        throw HdxError(HdxErr::PermissionDenied, "Permission denied: " + handler.File_name() + " is read-only");
    Put(handler, box, estimate);
    if (!handler.Write_XML_Header())
        throw HdxError(HdxErr::DeviceIO, "The header could not be written to " + handler.File_name());
}

}  // namespace Crossing_Estimate
