#pragma once
#include <functional>

#include <QObject>
#include <QPointer>
#include <QWidget>

class QKeyEvent;

// The program's key code of a key event: 37/38/39/40 for the arrows, 100..105
// for the keypad digits 4..9 (whatever the NumLock state: the keypad's arrow
// meaning also maps to its digit), 33/34 Page Up/Down, letters and digits as
// their upper-case character codes, 16/17/18 Shift/Control/Alt; 0 for other keys.
int Virtual_Key_Code(const QKeyEvent* key);

// Sees every key press and release of the program before the focused control
// does and hands it to the main window; an event the handler consumes goes no
// further.
class Keyboard_Hook : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<bool(QKeyEvent*)>;
    explicit Keyboard_Hook(Handler handler, QObject* parent = nullptr);
    void InstallHook();
    void RemoveHook();
    bool Installed() const { return installed_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Handler handler_;
    bool installed_ = false;
    const QKeyEvent* last_event_ = nullptr;
    QPointer<QWidget> last_widget_;
};
