#pragma once
#include <QWidget>

#include "platform/Picture_Canvas.h"

namespace Platform {

// A picture box: a widget that shows its persistent canvas on every repaint.
// Mouse events report positions in the canvas's scale.
class PictureBox : public QWidget, public Picture_Canvas {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    // Resizes the canvas and the widget to exactly w x h pixels.
    void Set_Canvas_Size(int w, int h) override;
    void Refresh() override;

signals:
    void Mouse_Down(int button, int shift, double x, double y);
    void Mouse_Move(int button, int shift, double x, double y);
    void Mouse_Up(int button, int shift, double x, double y);
    void Clicked();

protected:
    void Fit_Canvas() override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
};

// 1 left, 2 right, 4 middle, as the handlers expect; shift bits 1 Shift, 2 Ctrl, 4 Alt.
int Mouse_Button_Code(Qt::MouseButtons b);
int Shift_Code(Qt::KeyboardModifiers m);

}  // namespace Platform
