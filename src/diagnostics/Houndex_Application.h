#pragma once
#include <functional>

#include <QApplication>

// The program's application object. Its event delivery is the program's outer
// boundary: a fault that no procedure trapped ends here, is reported through
// the error handler with the location Boundary_Location, and the program goes
// on with the next event instead of ending.
class Houndex_Application : public QApplication {
    Q_OBJECT
public:
    Houndex_Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

inline constexpr const char* Boundary_Location = "notify of Class Module Houndex_Application";

// Runs deliver and reports whatever it throws (then false): the boundary itself.
bool Run_At_Boundary(const std::function<bool()>& deliver);
