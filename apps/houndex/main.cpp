// houndex: the photo-finish timing program.
#include <QApplication>
#include <QPixmap>

#include <iostream>
#include <string>
#include <vector>
#include <vector>

#include "controlbox/Control_Box_Factory.h"
#include "platform/HdxError.h"

#include "diagnostics/Houndex_Application.h"
#include "diagnostics/NXF_error_form.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/QtDialogs.h"
#include "platform/Trace_Socket.h"
#include "shell/Form_Houndex.h"

namespace {
const char* const Help_Text =
    "usage: houndex [OPTION...] [RECORDING.nx3]\n"
    "Photo-finish timing for dog races: capture, review and timing of heats.\n"
    "\n"
    "  RECORDING.nx3                    open this recording for review\n"
    "  --controlbox sim|keys|serial:PORT[@BAUD]\n"
    "                                   the Control Box for this run only\n"
    "  --screenshot PNG                 draw the main window into PNG and end\n"
    "  -h, --help                       show this help and end\n"
    "  --version                        show the version and end\n";
}  // namespace

int main(int argc, char** argv) {
    // Answered before any window system is asked for, so they work anywhere.
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::cout << Help_Text;
            return 0;
        }
        if (a == "--version") {
            std::cout << "houndex " << HOUNDEX_VERSION << "\n";
            return 0;
        }
    }
    // Catches a fault that no handler trapped, so it is reported and the program goes on.
    Houndex_Application app(argc, argv);
    QApplication::setApplicationName("Houndex HDMI");

    Platform::QtDialogs dialogs;
    Platform::Set_Dialogs(&dialogs);
    Platform::Trace_Socket_Sink trace;
    Set_Trace_Sink(&trace);
    Error_Window_Reporter reporter;
    Set_Error_Reporter(&reporter);

    // The one optional argument is a recording to open for review.
    // --screenshot PNG: start, draw the main window into PNG and end (for documentation).
    // --controlbox sim|keys|serial:/dev/...: the Control Box for this run only (otherwise the
    // one chosen in the program, or a board that answers, or the simulator).
    std::vector<std::string> args(argv, argv + argc);
    try {
        Set_Control_Box_Option(Take_Control_Box_Option(args));
    } catch (const HdxError& e) {
        Platform::MsgBox(e.description);
        Set_Error_Reporter(nullptr);
        Set_Trace_Sink(nullptr);
        Platform::Set_Dialogs(nullptr);
        return 2;
    }
    std::string file;
    std::string screenshot;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string a = args[i];
        if (a == "--screenshot" && i + 1 < args.size()) {
            screenshot = args[++i];
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
                form.Show_Control_Box_Simulator();  // only while the box is the simulator
                rc = app.exec();
            }
        }
    }
    Set_Error_Reporter(nullptr);
    Set_Trace_Sink(nullptr);
    Platform::Set_Dialogs(nullptr);
    return rc;
}
