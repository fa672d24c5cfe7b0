#include "Window_Fit.h"

#include <algorithm>
#include <array>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace Platform {

namespace {
// A title bar of the common window managers (about 20 to 30 pixels) and a border.
constexpr QMargins Assumed_Frame{4, 32, 4, 4};
// A frame with a thinner top has no title bar yet.
constexpr int Least_Title_Bar = 16;

QRect Available(const QWidget* window) {
    const QScreen* screen = window && window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
}
}  // namespace

bool Frame_Known(const QWidget* window) {
    return window && window->geometry().top() - window->frameGeometry().top() >= Least_Title_Bar;
}

QMargins Frame_Margins(const QWidget* window) {
    if (!window) return Assumed_Frame;
    if (window->windowFlags().testFlag(Qt::FramelessWindowHint)) return {};
    const QRect inner = window->geometry(), outer = window->frameGeometry();
    const QMargins seen(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                        outer.bottom() - inner.bottom());
    // A window not yet decorated, and the offscreen platform, show no title bar.
    if (!Frame_Known(window)) return seen | Assumed_Frame;
    return seen;
}

QSize Room_On_Screen(const QWidget* window) {
    const QRect screen = Available(window);
    const QMargins frame = Frame_Margins(window);
    return {screen.width() - frame.left() - frame.right(), screen.height() - frame.top() - frame.bottom()};
}

void Fit_On_Screen(QWidget* window) {
    if (!window) return;
    const QSize room = Room_On_Screen(window);
    if (window->width() > room.width() || window->height() > room.height())
        window->resize(std::min(window->width(), room.width()), std::min(window->height(), room.height()));
    const QRect screen = Available(window);
    const QMargins frame = Frame_Margins(window);
    const QSize outer = window->size().grownBy(frame);
    QPoint at = window->frameGeometry().topLeft();
    at.setX(std::clamp(at.x(), screen.left(), std::max(screen.left(), screen.right() + 1 - outer.width())));
    at.setY(std::clamp(at.y(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - outer.height())));
    if (at != window->frameGeometry().topLeft()) window->move(at);
}

QPoint Clear_Of(const QRect& keep, const QSize& frame, const QRect& screen) {
    constexpr int gap = 8;
    const auto fits = [&](const QPoint& at) { return screen.contains(QRect(at, frame)); };
    const std::array<QPoint, 4> beside{
        QPoint(keep.right() + 1 + gap, std::clamp(keep.top(), screen.top(), screen.bottom() + 1 - frame.height())),
        QPoint(keep.left() - gap - frame.width(),
               std::clamp(keep.top(), screen.top(), screen.bottom() + 1 - frame.height())),
        QPoint(std::clamp(keep.left(), screen.left(), screen.right() + 1 - frame.width()), keep.bottom() + 1 + gap),
        QPoint(std::clamp(keep.left(), screen.left(), screen.right() + 1 - frame.width()),
               keep.top() - gap - frame.height())};
    for (const QPoint& at : beside)
        if (fits(at)) return at;
    // No side has room: the corner that hides least of it.
    const int right = std::max(screen.left(), screen.right() + 1 - frame.width());
    const int bottom = std::max(screen.top(), screen.bottom() + 1 - frame.height());
    const std::array<QPoint, 4> corners{QPoint(right, bottom), QPoint(screen.left(), bottom),
                                        QPoint(right, screen.top()), QPoint(screen.left(), screen.top())};
    QPoint best = corners[0];
    long long least = -1;
    for (const QPoint& at : corners) {
        const QRect covered = QRect(at, frame) & keep;
        const long long area = covered.isEmpty() ? 0 : 1LL * covered.width() * covered.height();
        if (least < 0 || area < least) {
            least = area;
            best = at;
        }
    }
    return best;
}

}  // namespace Platform
