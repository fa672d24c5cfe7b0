#pragma once
#include <cstdint>
#include <string>

#include <QColor>

namespace Platform {
class Picture_Canvas;
}

// The goal line of one camera, without windows: its text forms (settings and
// recording header), drawing over the picture, the grab areas of its end
// points and the drag of one end point. Coordinates are in the picture's own
// scale units, origin top left.

struct Goal_Point {
    int32_t X = 0;
    int32_t Y = 0;
    bool operator==(const Goal_Point&) const = default;
};

// Goal_Point1 / Goal_Point2 of one camera.
struct Goal_Line_Points {
    Goal_Point P1;
    Goal_Point P2;
    bool operator==(const Goal_Line_Points&) const = default;
};

namespace Goal_Line {

// Settings written as "Goal_lines"/"Goal_line<n>" and read as "Goal_Lines"/"goal_Line<n>";
// the store matches names without regard to case.
inline const char* const Save_Section = "Goal_lines";
inline const char* const Save_Key = "Goal_line";
inline const char* const Read_Section = "Goal_Lines";
inline const char* const Read_Key = "goal_Line";

// Half-size of the drawn grab box; the grab area reaches this far left of and
// above a point and twice as far right of and below it.
constexpr int32_t Box_Half = 6;

// "X1,Y1,X2,Y2", no blanks.
std::string Line_Text(const Goal_Line_Points& line);

// Loads camera 1 or 2 from the settings file. Only a value longer than 6
// characters is used; a missing or shorter one leaves `line` as it is. A long
// value that is not four whole numbers also leaves `line` as it is and is
// reported ("Read_Goal_Lines of Form Form_Houndex"). True when `line` was replaced.
bool Read_Goal_Line(int camera, Goal_Line_Points& line, const std::string& ini_path);

// Stores camera 1 or 2 in the settings file.
void Save_Goal_line(int camera, const Goal_Line_Points& line, const std::string& ini_path);

// The header form (Hdx_Goal_Finish / Hdx_Goal_Split): the first four comma
// fields. Raises HdxError 9 for fewer than four fields, 13 for a field that is
// not a whole number, 6 for one beyond 32 bits.
Goal_Line_Points Parse_Header_Line(const std::string& text);

// Antialiased line of thickness 2 drawn pixel by pixel on the picture's canvas.
// End points in scale units; coincident end points draw nothing; pixels off
// the canvas are skipped.
void Draw_Goal_Line(Platform::Picture_Canvas& picture, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                    const QColor& colour);
inline void Draw_Goal_Line(Platform::Picture_Canvas& picture, const Goal_Line_Points& line, const QColor& colour) {
    Draw_Goal_Line(picture, line.P1.X, line.P1.Y, line.P2.X, line.P2.Y, colour);
}

// Hollow boxes (X-6, Y-6)-(X+6, Y+6) round both end points, solid 1-pixel blue pen.
void Draw_Goalline_Selection_Boxes(Platform::Picture_Canvas& picture, const Goal_Line_Points& line);

// 0 none, 1 or 2: the end point whose grab area X-6 < x < X+12, Y-6 < y < Y+12
// holds (x, y); point 1 wins where the areas overlap.
int Check_Within_Goal_Selection_Boxes(const Goal_Line_Points& line, double x, double y);

// A vertical line through the middle from 10 % to 90 % of the height.
Goal_Line_Points Reset_Goal_Line(double scale_width, double scale_height);

// Nearest integer, halves to even.
int32_t Round_Even(double value);

// The line can be seen on a picture of scale_w x scale_h: its end points
// differ and some part of it lies on the picture.
bool Inside(const Goal_Line_Points& line, double scale_w, double scale_h);

// The same place of the scene after the crop changed from old_w x old_h to
// new_w x new_h (crops are centred in the camera's frame), with the end points
// kept strictly inside the new crop.
Goal_Line_Points Follow_Crop(const Goal_Line_Points& line, int old_w, int old_h, int new_w, int new_h);

}  // namespace Goal_Line

// The drag of one end point of the selected camera's line: press, moves, release.
class Goal_Line_Drag {
public:
    // Remembers the press position (whole units) and the line, and takes the
    // end point under the press (if any) as the one to drag.
    void Press(double x, double y, const Goal_Line_Points& line);
    // Returns the end point whose grab area is under the mouse (for the pointer
    // shape). With left_down and a point being dragged, moves that point in
    // `line` by the mouse's movement since the press, but only to a position
    // strictly inside the picture (0 < X < scale_w, 0 < Y < scale_h).
    int Move(bool left_down, double x, double y, double scale_w, double scale_h, Goal_Line_Points& line);
    // Ends the drag; true when a point moved, so the caller saves the line.
    bool Release();

    int Drag_Point() const { return m_Drag_Point; }
    int Hit_Point() const { return m_Hit_Point; }
    bool Line_Moved() const { return m_Line_Moved; }

private:
    int m_Drag_Point = 0;
    int m_Hit_Point = 0;
    bool m_Line_Moved = false;
    int16_t m_Start_X = 0;
    int16_t m_Start_Y = 0;
    Goal_Line_Points m_Saved;
};
