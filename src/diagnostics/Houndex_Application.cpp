#include "diagnostics/Houndex_Application.h"

#include "platform/Error_Entry.h"

bool Run_At_Boundary(const std::function<bool()>& deliver) {
    try {
        return deliver();
    } catch (const std::exception& e) {
        Report_Exception(e, Boundary_Location);
    } catch (...) {
        NXF_Error_Handler("Unknown error", 1004, 0, Boundary_Location, "");
    }
    return false;
}

Houndex_Application::Houndex_Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Houndex_Application::notify(QObject* receiver, QEvent* event) {
    return Run_At_Boundary([&] { return QApplication::notify(receiver, event); });
}
