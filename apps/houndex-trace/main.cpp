// houndex-trace: the trace viewer. Listens on the trace socket and prints every
// line the program sends, one per line, until interrupted.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/Trace_Socket.h"

namespace {
volatile std::sig_atomic_t g_stop = 0;
void On_Signal(int) { g_stop = 1; }

void Usage() {
    std::fprintf(stderr,
                 "usage: houndex-trace [--socket PATH] [--count N]\n"
                 "  Prints the trace lines of a running Houndex HDMI program.\n"
                 "  --socket PATH  listen on PATH (default: %s)\n"
                 "  --count N      exit after N lines\n"
                 "  --version      show the version\n",
                 Platform::Default_Trace_Socket_Path().c_str());
}
}  // namespace

int main(int argc, char** argv) {
    std::string path = Platform::Default_Trace_Socket_Path();
    long count = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--socket" && i + 1 < argc) {
            path = argv[++i];
        } else if (a == "--count" && i + 1 < argc) {
            char* end = nullptr;
            count = std::strtol(argv[++i], &end, 10);
            if (!end || *end || count < 0) {
                Usage();
                return 2;
            }
        } else if (a == "-h" || a == "--help") {
            Usage();
            return 0;
        } else if (a == "--version") {
            std::printf("houndex-trace %s\n", HOUNDEX_VERSION);
            return 0;
        } else {
            Usage();
            return 2;
        }
    }
    std::signal(SIGINT, On_Signal);
    std::signal(SIGTERM, On_Signal);
    Platform::Trace_Socket_Listener listener(path);
    if (!listener.Ok()) {
        std::fprintf(stderr, "houndex-trace: cannot listen on %s: %s\n", path.c_str(), listener.Error().c_str());
        return 1;
    }
    std::fprintf(stderr, "houndex-trace: listening on %s\n", path.c_str());
    std::string line;
    while (!g_stop && count != 0) {
        if (!listener.Receive(line, 200)) continue;
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
        if (count > 0) --count;
    }
    return 0;
}
