#pragma once
#include <QColor>
#include <QFont>
#include <QImage>
#include <QSizeF>
#include <QWidget>

namespace Platform {

// A picture box with a persistent canvas: what is drawn stays until cleared,
// and is shown on every repaint. Drawing coordinates are in the box's own
// scale (Scale_Width x Scale_Height units across the canvas, origin top left);
// mouse events report positions in the same units.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    // Scale: user units across the drawing area. 0 means "pixels".
    void Set_Scale(double width, double height);
    double Scale_Width() const;
    double Scale_Height() const;
    // Resizes the canvas (and the widget) to exactly w x h pixels.
    void Set_Canvas_Size(int w, int h);

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
    void Refresh();

    // Scale <-> pixel conversion.
    double To_Pixel_X(double x) const;
    double To_Pixel_Y(double y) const;
    double From_Pixel_X(double px) const;
    double From_Pixel_Y(double py) const;

signals:
    void Mouse_Down(int button, int shift, double x, double y);
    void Mouse_Move(int button, int shift, double x, double y);
    void Mouse_Up(int button, int shift, double x, double y);
    void Clicked();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    void Ensure_Canvas();
    QPen Pen(const QColor& c) const;

    QImage canvas_;
    double scale_w_ = 0, scale_h_ = 0;
    QColor back_color_ = Qt::white;
    QColor fore_color_ = Qt::black;
    int draw_width_ = 1;
    QFont font_;
    bool antialias_ = false;
};

// 1 left, 2 right, 4 middle, as the handlers expect; shift bits 1 Shift, 2 Ctrl, 4 Alt.
int Mouse_Button_Code(Qt::MouseButtons b);
int Shift_Code(Qt::KeyboardModifiers m);

// The size in twips of a picture as it stands on the screen (its own
// resolution, 96 dpi when it has none), made smaller keeping its shape when it
// would not fit in room_w x room_h twips.
QSizeF Picture_Twips_Fitted(const QImage& picture, double room_w, double room_h);

// A colour given as 0x00BBGGRR.
inline QColor Bgr_Color(uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

}  // namespace Platform
