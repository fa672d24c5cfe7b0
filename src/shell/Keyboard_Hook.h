#pragma once
#include <functional>

#include <QObject>

class QKeyEvent;

// Sees every key press of the program before the focused control does and
// hands it to the main window; a press the handler consumes goes no further.
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
    unsigned long long last_stamp_ = 0;
};
