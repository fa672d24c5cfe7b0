#pragma once
#include <cstdint>

#include <QColor>
#include <QFont>
#include <QImage>
#include <QSizeF>
#include <QString>

namespace Platform {

// A persistent drawing surface on a QImage: what is drawn stays until cleared.
// Drawing coordinates are in the canvas's own scale (Scale_Width x
// Scale_Height units across it, origin top left). The picture box shows one on
// the screen; code below the windows draws on the canvas alone, so it never
// needs the widgets.
class Picture_Canvas {
public:
    Picture_Canvas();
    virtual ~Picture_Canvas();
    Picture_Canvas(const Picture_Canvas&) = delete;
    Picture_Canvas& operator=(const Picture_Canvas&) = delete;

    // Scale: user units across the drawing area. 0 means "pixels".
    void Set_Scale(double width, double height);
    double Scale_Width() const;
    double Scale_Height() const;
    // Resizes the canvas to exactly w x h pixels (a picture box resizes itself with it).
    virtual void Set_Canvas_Size(int w, int h);

    QImage& Canvas() { return canvas_; }
    const QImage& Canvas() const { return canvas_; }

    void Set_Back_Color(const QColor& c) { back_color_ = c; }
    QColor Back_Color() const { return back_color_; }
    void Set_Fore_Color(const QColor& c) { fore_color_ = c; }
    QColor Fore_Color() const { return fore_color_; }
    void Set_Draw_Width(int w) { draw_width_ = w < 1 ? 1 : w; }
    int Draw_Width() const { return draw_width_; }
    void Set_Font(const QFont& f) { font_ = f; }
    QFont Font() const { return font_; }
    void Set_Antialias(bool on) { antialias_ = on; }

    double Current_X = 0;
    double Current_Y = 0;

    void Cls();  // clears to the back colour, current position to 0,0
    void PSet(double x, double y, const QColor& c);
    void Line(double x1, double y1, double x2, double y2, const QColor& c);
    void Box(double x1, double y1, double x2, double y2, const QColor& c, bool filled);
    void Circle(double x, double y, double radius, const QColor& c, bool filled = false);
    // Draws text at the current position; the position moves to the start of the next line.
    void Print(const QString& text);
    // Draws text at the current position; the position moves to the end of the text.
    void Print_Inline(const QString& text);
    double Text_Width(const QString& text) const;
    double Text_Height(const QString& text = QStringLiteral("Ag")) const;
    // Shows what was drawn (a picture box repaints; a bare canvas has nothing to do).
    virtual void Refresh() {}

    // Scale <-> pixel conversion.
    double To_Pixel_X(double x) const;
    double To_Pixel_Y(double y) const;
    double From_Pixel_X(double px) const;
    double From_Pixel_Y(double py) const;

protected:
    // The canvas takes this size, keeping what is drawn.
    void Resize_Canvas(int w, int h);
    // Called before a clear: a picture box brings the canvas to its own size first.
    virtual void Fit_Canvas() {}

private:
    QPen Pen(const QColor& c) const;

    QImage canvas_;
    double scale_w_ = 0, scale_h_ = 0;
    QColor back_color_ = Qt::white;
    QColor fore_color_ = Qt::black;
    int draw_width_ = 1;
    QFont font_;
    bool antialias_ = false;
};

// The size in twips of a picture as it stands on the screen (its own
// resolution, 96 dpi when it has none), made smaller keeping its shape when it
// would not fit in room_w x room_h twips.
QSizeF Picture_Twips_Fitted(const QImage& picture, double room_w, double room_h);

// A colour given as 0x00BBGGRR.
inline QColor Bgr_Color(uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

}  // namespace Platform
