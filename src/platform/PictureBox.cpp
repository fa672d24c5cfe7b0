#include "PictureBox.h"

#include <QMouseEvent>
#include <QPainter>

namespace Platform {

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    Fit_Canvas();
}

void PictureBox::Set_Canvas_Size(int w, int h) {
    setFixedSize(w < 1 ? 1 : w, h < 1 ? 1 : h);
    Fit_Canvas();
}

void PictureBox::Fit_Canvas() { Resize_Canvas(width(), height()); }

void PictureBox::Refresh() { update(); }

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, Canvas());
}

void PictureBox::resizeEvent(QResizeEvent* e) {
    Fit_Canvas();
    QWidget::resizeEvent(e);
}

int Mouse_Button_Code(Qt::MouseButtons b) {
    int code = 0;
    if (b & Qt::LeftButton) code |= 1;
    if (b & Qt::RightButton) code |= 2;
    if (b & Qt::MiddleButton) code |= 4;
    return code;
}

int Shift_Code(Qt::KeyboardModifiers m) {
    int code = 0;
    if (m & Qt::ShiftModifier) code |= 1;
    if (m & Qt::ControlModifier) code |= 2;
    if (m & Qt::AltModifier) code |= 4;
    return code;
}

void PictureBox::mousePressEvent(QMouseEvent* e) {
    const QPointF pos = e->position();
    emit Mouse_Down(Mouse_Button_Code(e->button()), Shift_Code(e->modifiers()), From_Pixel_X(pos.x()),
                    From_Pixel_Y(pos.y()));
}

void PictureBox::mouseMoveEvent(QMouseEvent* e) {
    const QPointF pos = e->position();
    emit Mouse_Move(Mouse_Button_Code(e->buttons()), Shift_Code(e->modifiers()), From_Pixel_X(pos.x()),
                    From_Pixel_Y(pos.y()));
}

void PictureBox::mouseReleaseEvent(QMouseEvent* e) {
    const QPointF pos = e->position();
    emit Mouse_Up(Mouse_Button_Code(e->button()), Shift_Code(e->modifiers()), From_Pixel_X(pos.x()),
                  From_Pixel_Y(pos.y()));
    if (rect().contains(pos.toPoint())) emit Clicked();
}

}  // namespace Platform
