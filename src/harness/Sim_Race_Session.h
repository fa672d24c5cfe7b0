#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QTemporaryDir>

#include "capture/SimVideoCap.h"
#include "platform/Error_Entry.h"
#include "platform/testing/ScriptedDialogs.h"
#include "printing/Module_PrinterDialog.h"

class Form_Houndex;
class SimInterfaceKit;

// One heat of a race programme.
struct Programme_Heat {
    std::string Name;
    std::string Length;  // metres, as text
    std::array<std::string, 6> Dogs;
};

struct Race_Programme {
    std::string Event;
    std::string Day;
    std::vector<Programme_Heat> Heats;  // heat 1 first
};

// The real main window driven without an operator: the built-in camera
// simulator and the virtual Control Box, message and input boxes answered by
// script, the PDF file printer, every error report recorded. Settings, the
// event file and the single-instance lock live in a temporary data folder, so
// the operator's own are not touched; recordings go to the folder given.
//
// How time passes is the caller's: wait_ms runs the program for that many
// milliseconds (the real event loop, or a stepped clock).
class Sim_Race_Session {
public:
    Sim_Race_Session(std::string folder, Sim_Pacing pacing, std::function<void(int32_t)> wait_ms);
    ~Sim_Race_Session();
    Sim_Race_Session(const Sim_Race_Session&) = delete;
    Sim_Race_Session& operator=(const Sim_Race_Session&) = delete;

    // Folder, data folder, settings, the programme as the event file in use,
    // and the simulated devices. False with the reason in Fault().
    bool Prepare(const Race_Programme& programme);
    // The crop size the main window starts with (a caption of its crop menu); set before Prepare.
    std::string Crop = "400*880";
    // The simulator's format (property number) the camera is set to; set before Prepare.
    int Format = 0;
    // Loads and shows the main window, waits for the box to attach and for the
    // start-up input guard, and lays the goal line on the finish line.
    bool Load();
    // Ends the main window and gives back every global it took over.
    void Close();

    // Runs the program until done() holds; false when timeout_ms of the PC clock passed first.
    bool Wait_Until(const std::function<bool()>& done, int32_t timeout_ms);
    void Wait_Ms(int32_t ms) { wait_ms_(ms); }

    Form_Houndex& Form() { return *form_; }
    SimVideoCap& Camera() { return *sim_; }
    SimInterfaceKit& Box() { return *kit_; }
    Platform::ScriptedDialogs& Dialogs() { return dialogs_; }
    const std::string& Folder() const { return folder_; }
    const std::string& Data_Folder() const { return data_path_; }
    const std::string& Fault() const { return fault_; }
    // Every error report so far, as "location: description (number)".
    const std::vector<std::string>& Reports() const { return reports_.reports; }

    // Called with each error report as it is made (empty: none).
    void On_Report(std::function<void(const std::string&)> hook) { reports_.hook = std::move(hook); }

    // Shows review position `position` as the operator does with the slider.
    void Show(int position);

private:
    bool Fail(const std::string& why) {
        fault_ = why;
        return false;
    }

    class Report_Recorder : public IErrorReporter {
    public:
        void Report(const std::string& description, int16_t number, int32_t, const std::string& location,
                    const std::string&) override {
            reports.push_back(location + ": " + description + " (" + std::to_string(number) + ")");
            if (hook) hook(reports.back());
        }
        std::vector<std::string> reports;
        std::function<void(const std::string&)> hook;
    };
    // The printer dialog, if the settings asked for it, confirms what it is preset with.
    class Confirming_Chooser : public IPrinter_Chooser {
    public:
        bool Show(Printer_Dialog_Values&, QWidget*) override { return true; }
    };

    std::string requested_folder_;
    std::string folder_;
    Sim_Pacing pacing_;
    std::function<void(int32_t)> wait_ms_;
    QTemporaryDir data_;
    std::string data_path_;
    Platform::ScriptedDialogs dialogs_;
    Report_Recorder reports_;
    Confirming_Chooser chooser_;
    IErrorReporter* previous_reporter_ = nullptr;
    bool taken_over_ = false;
    std::unique_ptr<Form_Houndex> form_;
    SimVideoCap* sim_ = nullptr;
    SimInterfaceKit* kit_ = nullptr;
    std::string fault_;
};
