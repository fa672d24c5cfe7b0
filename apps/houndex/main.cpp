// houndex: the photo-finish timing program.
#include <QApplication>
#include <QPixmap>

#include <string>

#include "diagnostics/NXF_error_form.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/QtDialogs.h"
#include "platform/Trace_Socket.h"
#include "shell/Form_Houndex.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Houndex HDMI");

    Platform::QtDialogs dialogs;
    Platform::Set_Dialogs(&dialogs);
    Platform::Trace_Socket_Sink trace;
    Set_Trace_Sink(&trace);
    Error_Window_Reporter reporter;
    Set_Error_Reporter(&reporter);

    // The one optional argument is a recording to open for review.
    // --screenshot PNG: start, draw the main window into PNG and end (for documentation).
    std::string file;
    std::string screenshot;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--screenshot" && i + 1 < argc) {
            screenshot = argv[++i];
            continue;
        }
        if (a.rfind("--", 0) == 0) continue;
        if (file.empty()) file = a;
    }

    int rc = 0;
    {
        Form_Houndex form(file);
        if (form.Form_Load()) {
            form.show();
            if (!screenshot.empty()) {
                QApplication::processEvents();
                rc = form.grab().save(QString::fromStdString(screenshot)) ? 0 : 1;
            } else if (!form.Terminated()) {
                rc = app.exec();
            }
        }
    }
    Set_Error_Reporter(nullptr);
    Set_Trace_Sink(nullptr);
    Platform::Set_Dialogs(nullptr);
    return rc;
}
