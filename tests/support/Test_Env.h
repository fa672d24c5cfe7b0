#pragma once
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "platform/testing/FakeClock.h"
#include "platform/Error_Entry.h"
#include "platform/testing/ScriptedDialogs.h"
#include "common/Startup_Facts.h"

// The whole contents of a file (empty when it cannot be read).
std::string Read_Text(const std::string& path);
// Writes bytes as the whole contents of a file, as they are (no atomic rename).
void Write_Text(const std::string& path, const std::string& bytes);

// Records every error report instead of showing a window.
struct Recorded_Error {
    std::string description;
    int number;
    int line;
    std::string location;
    std::string extra;
};

// Changes the start-up facts this test runs with; Hdx_Test puts the defaults
// back after every test.
template <typename Change>
void Change_Facts(Change change) {
    Startup_Facts facts = Facts();
    change(facts);
    Freeze_Facts(facts);
}

class Error_Recorder : public IErrorReporter {
public:
    void Report(const std::string& description, int16_t number, int32_t line, const std::string& location,
                const std::string& extra) override {
        errors.push_back({description, number, line, location, extra});
    }
    std::vector<Recorded_Error> errors;
};

class Trace_Recorder : public ITraceSink {
public:
    void Send(const std::string& line) override { lines.push_back(line); }
    // The message part (after the prefix) of each line, with the trailing tab removed.
    std::vector<std::string> Messages() const;
    bool Has(const std::string& message) const;
    std::vector<std::string> lines;
};

// Everything a test needs from the platform: a private data folder
// (HOUNDEX_DATA_DIR), a fake clock, scripted dialogs, recorded errors and traces;
// the start-up facts are the defaults again after each test.
// The yield hook does nothing unless a test sets one.
class Hdx_Test : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string Data_Dir() const { return data_dir_; }
    std::string Path(const std::string& name) const;  // file inside the data folder
    std::string Temp_Dir();                           // a fresh, empty folder

    Platform::FakeClock clock;
    Platform::ScriptedDialogs dialogs;
    Error_Recorder errors;
    Trace_Recorder traces;

private:
    std::string data_dir_;
    std::vector<std::string> temp_dirs_;
};
