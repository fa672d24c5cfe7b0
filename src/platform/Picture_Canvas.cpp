#include "Picture_Canvas.h"

#include <algorithm>

#include <QFontMetricsF>
#include <QPainter>

namespace Platform {

Picture_Canvas::Picture_Canvas() : font_(QStringLiteral("Arial"), 8) { Resize_Canvas(1, 1); }

Picture_Canvas::~Picture_Canvas() = default;

void Picture_Canvas::Set_Scale(double width, double height) {
    scale_w_ = width;
    scale_h_ = height;
}

double Picture_Canvas::Scale_Width() const { return scale_w_ > 0 ? scale_w_ : canvas_.width(); }
double Picture_Canvas::Scale_Height() const { return scale_h_ > 0 ? scale_h_ : canvas_.height(); }

void Picture_Canvas::Set_Canvas_Size(int w, int h) { Resize_Canvas(w, h); }

void Picture_Canvas::Resize_Canvas(int w, int h) {
    const QSize want(w < 1 ? 1 : w, h < 1 ? 1 : h);
    if (canvas_.size() == want) return;
    QImage next(want, QImage::Format_RGB32);
    next.fill(back_color_);
    if (!canvas_.isNull()) {
        QPainter p(&next);
        p.drawImage(0, 0, canvas_);
    }
    canvas_ = std::move(next);
}

double Picture_Canvas::To_Pixel_X(double x) const { return x * canvas_.width() / Scale_Width(); }
double Picture_Canvas::To_Pixel_Y(double y) const { return y * canvas_.height() / Scale_Height(); }
double Picture_Canvas::From_Pixel_X(double px) const { return px * Scale_Width() / canvas_.width(); }
double Picture_Canvas::From_Pixel_Y(double py) const { return py * Scale_Height() / canvas_.height(); }

QPen Picture_Canvas::Pen(const QColor& c) const {
    QPen pen(c);
    pen.setWidth(draw_width_);
    return pen;
}

void Picture_Canvas::Cls() {
    Fit_Canvas();
    canvas_.fill(back_color_);
    Current_X = Current_Y = 0;
    Refresh();
}

void Picture_Canvas::PSet(double x, double y, const QColor& c) {
    const int px = static_cast<int>(To_Pixel_X(x));
    const int py = static_cast<int>(To_Pixel_Y(y));
    if (draw_width_ <= 1) {
        if (canvas_.valid(px, py)) canvas_.setPixelColor(px, py, c);
    } else {
        QPainter p(&canvas_);
        p.fillRect(px - draw_width_ / 2, py - draw_width_ / 2, draw_width_, draw_width_, c);
    }
    Current_X = x;
    Current_Y = y;
}

void Picture_Canvas::Line(double x1, double y1, double x2, double y2, const QColor& c) {
    QPainter p(&canvas_);
    p.setRenderHint(QPainter::Antialiasing, antialias_);
    p.setPen(Pen(c));
    p.drawLine(QPointF(To_Pixel_X(x1), To_Pixel_Y(y1)), QPointF(To_Pixel_X(x2), To_Pixel_Y(y2)));
    Current_X = x2;
    Current_Y = y2;
}

void Picture_Canvas::Box(double x1, double y1, double x2, double y2, const QColor& c, bool filled) {
    QPainter p(&canvas_);
    const QRectF r =
        QRectF(QPointF(To_Pixel_X(x1), To_Pixel_Y(y1)), QPointF(To_Pixel_X(x2), To_Pixel_Y(y2))).normalized();
    if (filled) {
        p.fillRect(r, c);
    } else {
        p.setPen(Pen(c));
        p.drawRect(r);
    }
    Current_X = x2;
    Current_Y = y2;
}

void Picture_Canvas::Circle(double x, double y, double radius, const QColor& c, bool filled) {
    QPainter p(&canvas_);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Pen(c));
    if (filled) p.setBrush(c);
    const double rx = To_Pixel_X(radius);
    p.drawEllipse(QPointF(To_Pixel_X(x), To_Pixel_Y(y)), rx, rx);
    Current_X = x;
    Current_Y = y;
}

void Picture_Canvas::Print_Inline(const QString& text) {
    QPainter p(&canvas_);
    p.setFont(font_);
    p.setPen(fore_color_);
    const QFontMetricsF fm(font_, &canvas_);
    p.drawText(QPointF(To_Pixel_X(Current_X), To_Pixel_Y(Current_Y) + fm.ascent()), text);
    Current_X += From_Pixel_X(fm.horizontalAdvance(text));
}

void Picture_Canvas::Print(const QString& text) {
    const double y = Current_Y;
    Print_Inline(text);
    Current_X = 0;
    Current_Y = y + Text_Height();
}

double Picture_Canvas::Text_Width(const QString& text) const {
    const QFontMetricsF fm(font_, &canvas_);
    return From_Pixel_X(fm.horizontalAdvance(text));
}

double Picture_Canvas::Text_Height(const QString&) const {
    const QFontMetricsF fm(font_, &canvas_);
    return From_Pixel_Y(fm.height());
}

QSizeF Picture_Twips_Fitted(const QImage& picture, double room_w, double room_h) {
    const double dpi_x = picture.dotsPerMeterX() > 0 ? picture.dotsPerMeterX() * 0.0254 : 96.0;
    const double dpi_y = picture.dotsPerMeterY() > 0 ? picture.dotsPerMeterY() * 0.0254 : 96.0;
    double w = picture.width() * 1440.0 / dpi_x;
    double h = picture.height() * 1440.0 / dpi_y;
    if (w > 0 && h > 0 && room_w > 0 && room_h > 0) {
        const double shrink = std::min({1.0, room_w / w, room_h / h});
        w *= shrink;
        h *= shrink;
    }
    return {w, h};
}

}  // namespace Platform
