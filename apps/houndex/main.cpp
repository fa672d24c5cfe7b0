// houndex: the photo-finish timing program.
#include <QApplication>
#include <QPixmap>

#include <string>
#include <vector>

#include "controlbox/Control_Box_Factory.h"
#include "platform/HdxError.h"

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
    // --controlbox sim|serial:/dev/...: the Control Box backend (the virtual box by default).
    std::vector<std::string> args(argv, argv + argc);
    try {
        const std::string option = Take_Control_Box_Option(args);
        Set_Control_Box_Option(option.empty() ? "sim" : option);
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
                if (Control_Box_Option_Text() == "sim") form.Show_Control_Box_Simulator();
                rc = app.exec();
            }
        }
    }
    Set_Error_Reporter(nullptr);
    Set_Trace_Sink(nullptr);
    Platform::Set_Dialogs(nullptr);
    return rc;
}
