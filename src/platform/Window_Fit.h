#pragma once
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace Platform {

// The frame the window manager puts round a top-level window: the real one
// once the window has one, else room for a title bar and thin borders, so a
// window sized before it is first shown still fits the screen with its frame.
QMargins Frame_Margins(const QWidget* window);

// Whether the window manager has put its frame, title bar and all, round the window yet.
bool Frame_Known(const QWidget* window);

// The room a top-level window's own area may take on the screen it is on.
QSize Room_On_Screen(const QWidget* window);

// Shrinks a top-level window to the room the screen has and moves it
// (frame included) fully onto the screen.
void Fit_On_Screen(QWidget* window);

// Where a window of the given frame size goes on the screen without covering
// keep_clear: to its right, left, below or above, in that order; where none
// of them has room, the screen corner that covers least of it.
QPoint Clear_Of(const QRect& keep_clear, const QSize& frame, const QRect& screen);

}  // namespace Platform
