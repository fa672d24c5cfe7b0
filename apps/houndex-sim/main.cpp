// houndex-sim: the program's main window driven by the harness, offscreen or
// on a display: one demo heat, or a whole meeting checked against the truth of
// the simulated camera and Control Box.
#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "diagnostics/Houndex_Application.h"
#include "diagnostics/NXF_error_form.h"
#include "harness/Demo_Run.h"
#include "harness/Meeting_Run.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/QtDialogs.h"
#include "platform/Trace_Socket.h"

namespace {
const char* const Help_Text =
    "usage: houndex-sim --demo DIR [--demo-screenshots DIR] [--demo-screen WxH] [--demo-crop W*H]\n"
    "       houndex-sim --meeting DIR [--heats N] [--seed S] [--clock ordinary|sign|wrap|MILL]\n"
    "The program's main window driven with the simulated camera and Control Box.\n"
    "\n"
    "  --demo DIR                       run one demo heat into DIR and end\n"
    "  --demo-screenshots DIR           with --demo: draw the windows into DIR\n"
    "  --demo-screen WxH                with --demo offscreen: the screen's size (1920x1080)\n"
    "  --demo-crop W*H                  with --demo: the crop size of the demo heat\n"
    "  --meeting DIR                    run a whole checked meeting into DIR and end\n"
    "  --heats N                        with --meeting: the number of heats (1 to 100, 8)\n"
    "  --seed S                         with --meeting: the seed of the official's and the devices' events\n"
    "  --clock ordinary|sign|wrap|MILL  with --meeting: where the PC clock begins (by the seed)\n"
    "  -h, --help                       show this help and end\n"
    "  --version                        show the version and end\n";

// Without a display the harness gets a full-HD screen (or the one --demo-screen
// WxH names): on the offscreen platform's small default one the review picture
// would be shown shrunk.
// Returns the screen file to remove once the application is made.
std::filesystem::path Offscreen_Screen(int argc, char** argv) {
    int width = 1920, height = 1080;
    for (int i = 1; i + 1 < argc; ++i) {
        int w = 0, h = 0;
        if (std::string(argv[i]) == "--demo-screen" && std::sscanf(argv[i + 1], "%dx%d", &w, &h) == 2 && w >= 640 &&
            h >= 480) {
            width = w;
            height = h;
        }
    }
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (!platform || std::string(platform) != "offscreen") return {};
    std::error_code ec;
    const auto path = std::filesystem::temp_directory_path(ec) /
                      ("houndex-sim-screen-" + std::to_string(QCoreApplication::applicationPid()) + ".json");
    std::ofstream out(path);
    out << R"({"screens": [{"name": "sim", "x": 0, "y": 0, "width": )" << width << R"(, "height": )" << height
        << R"(, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
    if (out.good()) qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + path.string().c_str());
    return path;
}

struct Sim_Command {
    bool Demo = false, Meeting = false;
    Demo_Options Demo_Run;
    Meeting_Options Meeting_Run;
    std::string Fault;  // why the command line cannot run
};

// A whole number from low on, or nothing.
bool Whole_Number(const std::string& text, uint64_t low, uint64_t& value) {
    try {
        size_t used = 0;
        const unsigned long long v = std::stoull(text, &used);
        if (used != text.size() || v < low || text[0] == '-') return false;
        value = v;
        return true;
    } catch (...) {
        return false;
    }
}

Sim_Command Parse(const std::vector<std::string>& args) {
    Sim_Command c;
    const auto fault = [&c](const std::string& why) {
        if (c.Fault.empty()) c.Fault = why;
    };
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool has_value = i + 1 < args.size();
        if (!has_value) {
            fault(a.rfind("--", 0) == 0 ? a + " takes a value" : "unexpected argument " + a);
            break;
        }
        const std::string& v = args[++i];
        uint64_t n = 0;
        if (a == "--demo") {
            c.Demo = true;
            c.Demo_Run.Folder = v;
        } else if (a == "--demo-screenshots") {
            c.Demo_Run.Screenshot_Folder = v;
        } else if (a == "--demo-crop") {
            c.Demo_Run.Crop = v;
        } else if (a == "--demo-screen") {
            // taken before the application was made
        } else if (a == "--meeting") {
            c.Meeting = true;
            c.Meeting_Run.Folder = v;
        } else if (a == "--heats") {
            if (Whole_Number(v, 1, n))
                c.Meeting_Run.Heats = static_cast<int>(std::min<uint64_t>(n, 100));
            else
                fault("--heats takes a number from 1 to 100");
        } else if (a == "--seed") {
            if (Whole_Number(v, 0, n))
                c.Meeting_Run.Seed = n;
            else
                fault("--seed takes a number from 0 on");
        } else if (a == "--clock") {
            if (!Parse_Meeting_Clock(v, c.Meeting_Run))
                fault("--clock takes ordinary, sign, wrap or a clock reading from -2147483648 to 2147483647");
        } else {
            fault("unknown option " + a);
            --i;
        }
    }
    if (c.Fault.empty() && c.Demo == c.Meeting) fault("give either --demo DIR or --meeting DIR");
    return c;
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
            std::cout << "houndex-sim " << HOUNDEX_VERSION << "\n";
            return 0;
        }
    }
    const Sim_Command command = Parse(std::vector<std::string>(argv, argv + argc));
    if (!command.Fault.empty()) {
        std::cerr << "houndex-sim: " << command.Fault << "\n" << Help_Text;
        return 2;
    }

    const std::filesystem::path screen = Offscreen_Screen(argc, argv);
    // Catches a fault that no handler trapped, so it is reported and the run goes on.
    Houndex_Application app(argc, argv);
    if (!screen.empty()) {
        std::error_code ec;
        std::filesystem::remove(screen, ec);
    }
    QApplication::setApplicationName("Houndex HDMI");

    // The harness installs its own scripted dialogs and error recorder for the
    // run; these stand where it hands them back.
    Platform::QtDialogs dialogs;
    Platform::Set_Dialogs(&dialogs);
    Platform::Trace_Socket_Sink trace;
    Set_Trace_Sink(&trace);
    Error_Window_Reporter reporter;
    Set_Error_Reporter(&reporter);

    const int rc = command.Meeting ? Run_Meeting(command.Meeting_Run) : Run_Demo(command.Demo_Run);

    Set_Error_Reporter(nullptr);
    Set_Trace_Sink(nullptr);
    Platform::Set_Dialogs(nullptr);
    return rc;
}
