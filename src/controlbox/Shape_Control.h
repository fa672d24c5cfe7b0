#pragma once
#include <QColor>
#include <QWidget>

// A drawn shape control (rectangle or circle) with a border and an optional
// solid fill. With the fill switched off only the border is drawn and whatever
// lies beneath (a picture's drawing) shows through; the fill colour is kept
// and shown as soon as the fill is on.
class Shape_Control : public QWidget {
    Q_OBJECT
public:
    enum class Kind { Rectangle, Circle };

    explicit Shape_Control(Kind kind = Kind::Rectangle, QWidget* parent = nullptr);

    Kind Shape() const { return kind_; }
    void Set_Shape(Kind kind);
    QColor Fill_Color() const { return fill_color_; }
    void Set_Fill_Color(const QColor& c);
    bool Filled() const { return filled_; }
    void Set_Filled(bool filled);
    QColor Border_Color() const { return border_color_; }
    void Set_Border_Color(const QColor& c);
    int Border_Width() const { return border_width_; }
    void Set_Border_Width(int w);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    Kind kind_;
    QColor fill_color_ = Qt::black;
    bool filled_ = true;
    QColor border_color_ = Qt::black;
    int border_width_ = 1;
};
