// houndex: the photo-finish timing program.
#include <QApplication>
#include <QPixmap>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <algorithm>
#include <string>
#include <vector>

#include "controlbox/Control_Box_Factory.h"
#include "platform/HdxError.h"

#include "diagnostics/Houndex_Application.h"
#include "diagnostics/NXF_error_form.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/QtDialogs.h"
#include "platform/Trace_Socket.h"
#include "shell/Demo_Run.h"
#include "shell/Meeting_Run.h"
#include "shell/Form_Houndex.h"

namespace {
const char* const Help_Text =
    "usage: houndex [OPTION...] [RECORDING.nx3]\n"
    "Photo-finish timing for dog races: capture, review and timing of heats.\n"
    "\n"
    "  RECORDING.nx3                    open this recording for review\n"
    "  --controlbox sim|keys|serial:PORT[@BAUD]\n"
    "                                   the Control Box for this run only\n"
    "  --demo DIR                       run one demo heat into DIR and end\n"
    "  --demo-screenshots DIR           with --demo: draw the windows into DIR\n"
    "  --demo-screen WxH                with --demo offscreen: the screen's size (1920x1080)\n"
    "  --demo-crop W*H                  with --demo: the crop size of the demo heat\n"
    "  --meeting DIR [--heats N] [--seed S] [--clock ordinary|sign|wrap|MILL]\n"
    "                                   run a whole checked meeting into DIR and end;\n"
    "                                   --clock: where the PC clock begins (by the seed)\n"
    "  --screenshot PNG                 draw the main window into PNG and end\n"
    "  -h, --help                       show this help and end\n"
    "  --version                        show the version and end\n";

// Without a display the demo gets a full-HD screen (or the one --demo-screen
// WxH names): on the offscreen platform's small default one the review picture
// would be shown shrunk.
// Returns the screen file to remove once the application is made.
std::filesystem::path Offscreen_Screen_For_Demo(int argc, char** argv) {
    bool demo = false;
    int width = 1920, height = 1080;
    for (int i = 1; i < argc; ++i) {
        demo = demo || std::string(argv[i]) == "--demo" || std::string(argv[i]) == "--meeting";
        int w = 0, h = 0;
        if (std::string(argv[i]) == "--demo-screen" && i + 1 < argc && std::sscanf(argv[i + 1], "%dx%d", &w, &h) == 2 &&
            w >= 640 && h >= 480) {
            width = w;
            height = h;
        }
    }
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (!demo || !platform || std::string(platform) != "offscreen") return {};
    std::error_code ec;
    const auto path = std::filesystem::temp_directory_path(ec) /
                      ("houndex-demo-screen-" + std::to_string(QCoreApplication::applicationPid()) + ".json");
    std::ofstream out(path);
    out << R"({"screens": [{"name": "demo", "x": 0, "y": 0, "width": )" << width << R"(, "height": )" << height
        << R"(, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
    if (out.good()) qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + path.string().c_str());
    return path;
}
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
    const std::filesystem::path demo_screen = Offscreen_Screen_For_Demo(argc, argv);
    // Catches a fault that no handler trapped, so it is reported and the program goes on.
    Houndex_Application app(argc, argv);
    if (!demo_screen.empty()) {
        std::error_code ec;
        std::filesystem::remove(demo_screen, ec);
    }
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
    // --demo DIR: runs one whole demo heat into DIR and ends (see shell/Demo_Run.h);
    // --demo-screenshots DIR: draws the windows into DIR while it runs; --demo-screen WxH
    // the offscreen screen it runs on, --demo-crop the crop size ("600*1080").
    // --meeting DIR [--heats N] [--seed S] [--clock ordinary|sign|wrap|MILL]: runs
    // a whole checked meeting into DIR and ends (see shell/Meeting_Run.h).
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
    Demo_Options demo;
    bool run_demo = false;
    Meeting_Options meeting;
    bool run_meeting = false;
    bool bad_number = false;
    bool bad_clock = false;
    const auto number = [&bad_number](const std::string& text, uint64_t low) -> uint64_t {
        try {
            size_t used = 0;
            const unsigned long long v = std::stoull(text, &used);
            if (used == text.size() && v >= low && text[0] != '-') return v;
        } catch (...) {
        }
        bad_number = true;
        return low;
    };
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string a = args[i];
        if (a == "--screenshot" && i + 1 < args.size()) {
            screenshot = args[++i];
            continue;
        }
        if (a == "--demo" && i + 1 < args.size()) {
            demo.Folder = args[++i];
            run_demo = true;
            continue;
        }
        if (a == "--meeting" && i + 1 < args.size()) {
            meeting.Folder = args[++i];
            run_meeting = true;
            continue;
        }
        if (a == "--heats" && i + 1 < args.size()) {
            meeting.Heats = static_cast<int>(std::min<uint64_t>(number(args[++i], 1), 100));
            continue;
        }
        if (a == "--seed" && i + 1 < args.size()) {
            meeting.Seed = number(args[++i], 0);
            continue;
        }
        if (a == "--clock" && i + 1 < args.size()) {
            bad_clock = !Parse_Meeting_Clock(args[++i], meeting) || bad_clock;
            continue;
        }
        if (a == "--demo-crop" && i + 1 < args.size()) {
            demo.Crop = args[++i];
            continue;
        }
        if (a == "--demo-screen" && i + 1 < args.size()) {
            ++i;  // taken before the application was made
            continue;
        }
        if (a == "--demo-screenshots" && i + 1 < args.size()) {
            demo.Screenshot_Folder = args[++i];
            continue;
        }
        if (a.rfind("--", 0) == 0) continue;
        if (file.empty()) file = a;
    }

    if (run_meeting) {
        int meeting_rc = 2;
        if (bad_number)
            std::cerr << "houndex: --heats takes a number from 1 to 100, --seed a number from 0 on\n";
        else if (bad_clock)
            std::cerr << "houndex: --clock takes ordinary, sign, wrap or a clock reading from -2147483648 to "
                         "2147483647\n";
        else
            meeting_rc = Run_Meeting(meeting);
        Set_Error_Reporter(nullptr);
        Set_Trace_Sink(nullptr);
        Platform::Set_Dialogs(nullptr);
        return meeting_rc;
    }

    if (run_demo) {
        const int demo_rc = Run_Demo(demo);
        Set_Error_Reporter(nullptr);
        Set_Trace_Sink(nullptr);
        Platform::Set_Dialogs(nullptr);
        return demo_rc;
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
