#include "Goal_Line.h"
#include "common/Text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

#include <QLineF>
#include <QRectF>

#include "platform/Error_Entry.h"
#include "platform/HdxError.h"
#include "platform/Picture_Canvas.h"
#include "settings/Module_Ini.h"

namespace {

// Mouse positions and drag offsets are kept as 16-bit values; a position
// beyond that range saturates instead of overflowing.
int16_t Round_16(double value) {
    const int32_t r = Goal_Line::Round_Even(value);
    return static_cast<int16_t>(
        std::clamp<int32_t>(r, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()));
}

std::vector<std::string> Split_Commas(const std::string& text) {
    std::vector<std::string> fields;
    if (text.empty()) return fields;  // an empty text has no fields at all
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        fields.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return fields;
}

// A whole number with optional sign and surrounding blanks.
int32_t Field_Value(const std::string& field, const std::string& text) {
    int64_t value = 0;
    const Whole_Number read = Parse_Whole_Number(Trim_Blanks(field), value);
    if (read == Whole_Number::Not_A_Number)
        throw HdxError(HdxErr::TypeMismatch,
                       "Type mismatch: \"" + field + "\" in goal line \"" + text + "\" is not a whole number");
    if (read == Whole_Number::Out_Of_Range || value < std::numeric_limits<int32_t>::min() ||
        value > std::numeric_limits<int32_t>::max())
        throw HdxError(HdxErr::Overflow, "Overflow: \"" + field + "\" in goal line \"" + text + "\"");
    return static_cast<int32_t>(value);
}

uint8_t Blend(float line_weight, int line_channel, int existing_channel) {
    const float v =
        line_weight * static_cast<float>(line_channel) + (1.0f - line_weight) * static_cast<float>(existing_channel);
    return static_cast<uint8_t>(std::clamp(std::nearbyint(v), 0.0f, 255.0f));
}

}  // namespace

namespace Goal_Line {

int32_t Round_Even(double value) {
    // nearbyint follows the default rounding mode, which is to nearest, ties to even.
    const double r = std::nearbyint(value);
    if (!(r >= std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    if (r > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(r);
}

bool Inside(const Goal_Line_Points& line, double scale_w, double scale_h) {
    if (line.P1 == line.P2 || scale_w <= 0 || scale_h <= 0) return false;
    const QRectF picture(0, 0, scale_w, scale_h);
    const QPointF a(line.P1.X, line.P1.Y), b(line.P2.X, line.P2.Y);
    if (picture.contains(a) || picture.contains(b)) return true;
    // Both ends off the picture: it still shows when it crosses an edge.
    const QLineF segment(a, b);
    const QLineF edges[] = {{picture.topLeft(), picture.topRight()},
                            {picture.topRight(), picture.bottomRight()},
                            {picture.bottomRight(), picture.bottomLeft()},
                            {picture.bottomLeft(), picture.topLeft()}};
    for (const QLineF& edge : edges)
        if (segment.intersects(edge, nullptr) == QLineF::BoundedIntersection) return true;
    return false;
}

Goal_Line_Points Follow_Crop(const Goal_Line_Points& line, int old_w, int old_h, int new_w, int new_h) {
    const int32_t dx = Round_Even((new_w - old_w) / 2.0);
    const int32_t dy = Round_Even((new_h - old_h) / 2.0);
    auto moved = [&](const Goal_Point& p) {
        return Goal_Point{std::clamp<int32_t>(p.X + dx, 1, std::max(1, new_w - 1)),
                          std::clamp<int32_t>(p.Y + dy, 1, std::max(1, new_h - 1))};
    };
    return {moved(line.P1), moved(line.P2)};
}

std::string Line_Text(const Goal_Line_Points& line) {
    return std::to_string(line.P1.X) + "," + std::to_string(line.P1.Y) + "," + std::to_string(line.P2.X) + "," +
           std::to_string(line.P2.Y);
}

Goal_Line_Points Parse_Header_Line(const std::string& text) {
    const std::vector<std::string> fields = Split_Commas(text);
    if (fields.size() < 4)
        throw HdxError(HdxErr::SubscriptOutOfRange,
                       "Subscript out of range: goal line \"" + text + "\" has fewer than four fields");
    Goal_Line_Points line;
    line.P1.X = Field_Value(fields[0], text);
    line.P1.Y = Field_Value(fields[1], text);
    line.P2.X = Field_Value(fields[2], text);
    line.P2.Y = Field_Value(fields[3], text);
    return line;
}

bool Read_Goal_Line(int camera, Goal_Line_Points& line, const std::string& ini_path) {
    const std::string key = Read_Key + std::to_string(camera);
    const std::string value = Read_Ini(Read_Section, key, ini_path, "N/A");
    if (value.size() <= 6) return false;
    try {
        line = Parse_Header_Line(value);
        return true;
    } catch (const HdxError& e) {
        // A damaged value must not stop the start-up: the line stays as it was.
        Report_Exception(e, "Read_Goal_Lines of Form Form_Houndex", 0, key + "=" + value);
        return false;
    }
}

void Save_Goal_line(int camera, const Goal_Line_Points& line, const std::string& ini_path) {
    Write_Ini(Save_Section, Save_Key + std::to_string(camera), Line_Text(line), ini_path);
}

void Draw_Goal_Line(Platform::Picture_Canvas& picture, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                    const QColor& colour) {
    QImage& canvas = picture.Canvas();
    if (canvas.isNull()) return;
    const int64_t px1 = Round_Even(picture.To_Pixel_X(x1));
    const int64_t py1 = Round_Even(picture.To_Pixel_Y(y1));
    const int64_t px2 = Round_Even(picture.To_Pixel_X(x2));
    const int64_t py2 = Round_Even(picture.To_Pixel_Y(y2));
    if (px1 == px2 && py1 == py2) return;

    const bool x_major = std::llabs(px2 - px1) > std::llabs(py2 - py1);
    int64_t major0 = x_major ? px1 : py1, minor0 = x_major ? py1 : px1;
    int64_t major1 = x_major ? px2 : py2, minor1 = x_major ? py2 : px2;
    if (major1 < major0) {
        std::swap(major0, major1);
        std::swap(minor0, minor1);
    }
    const int64_t d_major = major1 - major0;
    const int64_t d_minor = minor1 - minor0;

    // Only the steps whose major coordinate lies on the canvas can change a
    // pixel, so a line reaching far outside costs no more than one across it.
    const int64_t extent = x_major ? canvas.width() : canvas.height();
    const int64_t k_first = std::max<int64_t>(0, -major0);
    const int64_t k_last = std::min<int64_t>(d_major, extent - 1 - major0);

    const int lr = colour.red(), lg = colour.green(), lb = colour.blue();
    const QRgb line_rgb = qRgb(lr, lg, lb);
    auto plot = [&](int64_t major, int64_t minor, bool full, float line_weight) {
        const int64_t x = x_major ? major : minor;
        const int64_t y = x_major ? minor : major;
        if (x < 0 || y < 0 || x >= canvas.width() || y >= canvas.height()) return;
        const int ix = static_cast<int>(x), iy = static_cast<int>(y);
        if (full) {
            canvas.setPixel(ix, iy, line_rgb);
            return;
        }
        const QRgb old = canvas.pixel(ix, iy);
        canvas.setPixel(ix, iy,
                        qRgb(Blend(line_weight, lr, qRed(old)), Blend(line_weight, lg, qGreen(old)),
                             Blend(line_weight, lb, qBlue(old))));
    };

    for (int64_t k = k_first; k <= k_last; ++k) {
        const float m = static_cast<float>(minor0) +
                        static_cast<float>(k) * static_cast<float>(d_minor) / static_cast<float>(d_major);
        const float fi = std::floor(m);
        const float f = m - fi;
        const int64_t i = static_cast<int64_t>(fi);
        const int64_t major = major0 + k;
        plot(major, i, true, 1.0f);
        plot(major, i - 1, false, 1.0f - f);
        plot(major, i + 1, false, f);
    }
    picture.Refresh();
}

void Draw_Goalline_Selection_Boxes(Platform::Picture_Canvas& picture, const Goal_Line_Points& line) {
    const int width = picture.Draw_Width();
    const double cx = picture.Current_X, cy = picture.Current_Y;
    picture.Set_Draw_Width(1);
    for (const Goal_Point& p : {line.P1, line.P2})
        picture.Box(static_cast<double>(p.X) - Box_Half, static_cast<double>(p.Y) - Box_Half,
                    static_cast<double>(p.X) + Box_Half, static_cast<double>(p.Y) + Box_Half, QColor(0, 0, 255), false);
    picture.Set_Draw_Width(width);
    picture.Current_X = cx;
    picture.Current_Y = cy;
    picture.Refresh();
}

int Check_Within_Goal_Selection_Boxes(const Goal_Line_Points& line, double x, double y) {
    auto within = [x, y](const Goal_Point& p) {
        const double px = p.X, py = p.Y;
        return px - Box_Half < x && x < px + 2 * Box_Half && py - Box_Half < y && y < py + 2 * Box_Half;
    };
    if (within(line.P1)) return 1;
    if (within(line.P2)) return 2;
    return 0;
}

Goal_Line_Points Reset_Goal_Line(double scale_width, double scale_height) {
    Goal_Line_Points line;
    line.P1 = {Round_Even(scale_width / 2), Round_Even(scale_height / 10)};
    line.P2 = {Round_Even(scale_width / 2), Round_Even(scale_height * 0.9)};
    return line;
}

}  // namespace Goal_Line

void Goal_Line_Drag::Press(double x, double y, const Goal_Line_Points& line) {
    m_Start_X = Round_16(x);
    m_Start_Y = Round_16(y);
    m_Saved = line;
    m_Hit_Point = Goal_Line::Check_Within_Goal_Selection_Boxes(line, x, y);
    m_Drag_Point = m_Hit_Point;
    m_Line_Moved = false;
}

int Goal_Line_Drag::Move(bool left_down, double x, double y, double scale_w, double scale_h, Goal_Line_Points& line) {
    m_Hit_Point = Goal_Line::Check_Within_Goal_Selection_Boxes(line, x, y);
    if (!left_down || m_Drag_Point == 0) return m_Hit_Point;

    const Goal_Point& saved = m_Drag_Point == 1 ? m_Saved.P1 : m_Saved.P2;
    const int16_t cx = Round_16(static_cast<double>(saved.X) - (static_cast<double>(m_Start_X) - x));
    const int16_t cy = Round_16(static_cast<double>(saved.Y) - (static_cast<double>(m_Start_Y) - y));
    if (!(0 < cx && cx < scale_w && 0 < cy && cy < scale_h)) return m_Hit_Point;

    Goal_Point& point = m_Drag_Point == 1 ? line.P1 : line.P2;
    // Only a real change counts, so a jitter smaller than a unit does not rewrite the settings.
    if (point.X != cx || point.Y != cy) {
        point = {cx, cy};
        m_Line_Moved = true;
    }
    return m_Hit_Point;
}

bool Goal_Line_Drag::Release() {
    const bool moved = m_Line_Moved;
    m_Drag_Point = 0;
    m_Hit_Point = 0;
    m_Line_Moved = false;
    return moved;
}
