#include "Fuzz_Support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <unistd.h>

#include <QApplication>
#include <QGuiApplication>

#include "platform/Clock.h"
#include "platform/testing/FakeClock.h"
#include "platform/Dialogs.h"
#include "platform/Error_Entry.h"
#include "platform/testing/ScriptedDialogs.h"

namespace fs = std::filesystem;

namespace {

// Reports are only counted: the trapped handler must never open a window here.
class Counting_Reporter : public IErrorReporter {
public:
    void Report(const std::string&, int16_t, int32_t, const std::string&, const std::string&) override { ++count; }
    long count = 0;
};
class Null_Sink : public ITraceSink {
public:
    void Send(const std::string&) override {}
};

Platform::FakeClock g_Clock;
Platform::ScriptedDialogs g_Dialogs;
Counting_Reporter g_Reporter;
Null_Sink g_Sink;
// Never destroyed: it would outlive Qt's own statics at exit.
QCoreApplication* g_App = nullptr;
std::string g_Temp;

void Remove_Temp() {
    std::error_code ec;
    if (!g_Temp.empty()) fs::remove_all(g_Temp, ec);
}

}  // namespace

namespace Fuzz {

void Init(int* argc, char*** argv, bool gui) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    g_Temp = (fs::temp_directory_path() / ("houndex-fuzz-" + std::to_string(getpid()))).string();
    fs::create_directories(g_Temp + "/data");
    setenv("HOUNDEX_DATA_DIR", (g_Temp + "/data").c_str(), 1);
    std::atexit(Remove_Temp);
    if (gui)
        g_App = new QApplication(*argc, *argv);
    else
        g_App = new QCoreApplication(*argc, *argv);
    Platform::Set_Clock(&g_Clock);
    Platform::Set_Dialogs(&g_Dialogs);
    Platform::Set_Yield_Hook([] {});
    Set_Error_Reporter(&g_Reporter);
    Set_Trace_Sink(&g_Sink);
}

void Reset() {
    g_Dialogs.Clear();
    g_Dialogs.message_answers.clear();
    g_Dialogs.input_answers.clear();
    g_Dialogs.file_answers.clear();
    g_Dialogs.folder_answers.clear();
}

const std::string& Temp_Dir() { return g_Temp; }

std::string Write_Temp(const std::string& name, const uint8_t* data, size_t size) {
    const std::string path = g_Temp + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) Fail("cannot write the input file " + path);
    return path;
}

void Fail(const std::string& what) {
    std::fprintf(stderr, "FUZZ PROPERTY FAILED: %s\n", what.c_str());
    std::abort();
}

std::string Read_Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Write_Bytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace Fuzz
