#pragma once
#include <cstdint>
#include <functional>

#include <QWidget>

#include "review/Finish_Strip.h"

class QLabel;
class QScrollArea;

// The finish strip beside the review: the goal line's pixels of every field
// side by side, the shown field marked, the time scale below. A click on a
// dog's nose in the strip goes to that field.
class Form_Finish_Strip : public QWidget {
    Q_OBJECT
public:
    explicit Form_Finish_Strip(QWidget* owner = nullptr);

    // Shows a new strip (an empty one clears the view).
    void Set_Strip(Finish_Strip strip);
    const Finish_Strip& Strip() const { return m_Strip; }
    // Marks the field on screen in the review and scrolls it into view.
    void Set_Current_Field(int32_t field);
    int32_t Current_Field() const { return m_Current; }
    // Called with the field (1 ..) clicked in the strip.
    std::function<void(int32_t)> Go_To_Field;
    // A click at strip pixel x: the field there, handed to Go_To_Field.
    void Strip_Click(int x);

    QScrollArea* Scroll_strip = nullptr;
    QWidget* Picture_strip = nullptr;
    QLabel* Label_strip_info = nullptr;

private:
    Finish_Strip m_Strip;
    int32_t m_Current = 0;
};
