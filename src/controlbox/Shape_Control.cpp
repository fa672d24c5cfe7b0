#include "controlbox/Shape_Control.h"

#include <QPainter>

Shape_Control::Shape_Control(Kind kind, QWidget* parent) : QWidget(parent), kind_(kind) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Shape_Control::Set_Shape(Kind kind) {
    kind_ = kind;
    update();
}

void Shape_Control::Set_Fill_Color(const QColor& c) {
    fill_color_ = c;
    update();
}

void Shape_Control::Set_Filled(bool filled) {
    filled_ = filled;
    update();
}

void Shape_Control::Set_Border_Color(const QColor& c) {
    border_color_ = c;
    update();
}

void Shape_Control::Set_Border_Width(int w) {
    border_width_ = w < 0 ? 0 : w;
    update();
}

void Shape_Control::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, kind_ == Kind::Circle);
    if (border_width_ > 0) {
        QPen pen(border_color_);
        pen.setWidth(border_width_);
        p.setPen(pen);
    } else {
        p.setPen(Qt::NoPen);
    }
    p.setBrush(filled_ ? QBrush(fill_color_) : QBrush(Qt::NoBrush));
    const double inset = border_width_ / 2.0;
    const QRectF r = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    if (kind_ == Kind::Circle) {
        const double d = std::min(r.width(), r.height());
        p.drawEllipse(QRectF(r.center().x() - d / 2, r.center().y() - d / 2, d, d));
    } else {
        p.drawRect(r);
    }
}
