// The event windows on the laptop screen an official brings: 1366*768.
#include <QApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QStatusBar>
#include <QWidget>

#include "Event_Test_Env.h"
#include "event/Form_event_registration.h"

namespace {

class Event_Screen_Test : public Event_Test {};

// Every visible control of the window lies inside the screen's free area.
void Expect_Inside(const QWidget& window, const QRect& screen) {
    EXPECT_TRUE(screen.contains(window.frameGeometry()))
        << "window " << window.frameGeometry().x() << "," << window.frameGeometry().y() << " "
        << window.frameGeometry().width() << "*" << window.frameGeometry().height();
    for (const QWidget* w : window.findChildren<QWidget*>()) {
        if (!w->isVisible() || w->objectName().isEmpty()) continue;
        const QRect on_screen(w->mapToGlobal(QPoint(0, 0)), w->size());
        EXPECT_TRUE(screen.contains(on_screen)) << w->objectName().toStdString();
        // Inside its window, not clipped by it.
        EXPECT_TRUE(window.rect().contains(QRect(w->mapTo(&window, QPoint(0, 0)), w->size())))
            << w->objectName().toStdString();
    }
}

TEST_F(Event_Screen_Test, TheRegistrationWindowFitsALaptopScreenWithItsHint) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_EQ(screen.size(), QSize(1366, 768)) << "run with the 1366x768 screen";
    Form_event_registration form(nullptr);
    form.Form_Load();
    form.show();
    QApplication::processEvents();
    Expect_Inside(form, screen);
    // The hint for a typed name shows in the window's status line, on the screen too.
    form.Text_event_name->setText("Autumn Cup");
    QApplication::processEvents();
    Expect_Inside(form, screen);
    EXPECT_LE(form.minimumSizeHint().height(), screen.height() - 40);  // a title bar above it
}

}  // namespace
