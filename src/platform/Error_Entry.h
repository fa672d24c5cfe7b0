#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

// The program-wide entry points for error reports and trace lines. They forward
// to whatever reporter / sink is installed: the error window and the trace socket
// in the program, recorders in tests. With nothing installed, reports go to
// standard error and trace lines are dropped.

class IErrorReporter {
public:
    virtual ~IErrorReporter() = default;
    virtual void Report(const std::string& description, int16_t number, int32_t line, const std::string& location,
                        const std::string& extra) = 0;
};

class ITraceSink {
public:
    virtual ~ITraceSink() = default;
    // The finished trace line (prefix and tab-separated message).
    virtual void Send(const std::string& line) = 0;
};

void Set_Error_Reporter(IErrorReporter* reporter);
IErrorReporter* Error_Reporter();
void Set_Trace_Sink(ITraceSink* sink);
ITraceSink* Trace_Sink();

void NXF_Error_Handler(const std::string& description, int16_t number, int32_t line, const std::string& location,
                       const std::string& extra = std::string());

// While one of these lives, reports are queued instead of shown: the error
// window runs events, and none may run while a heat's frames or a result are
// being written. The last one to end shows what was queued, in order.
class Error_Report_Hold {
public:
    Error_Report_Hold();
    ~Error_Report_Hold();
    Error_Report_Hold(const Error_Report_Hold&) = delete;
    Error_Report_Hold& operator=(const Error_Report_Hold&) = delete;
    // Reports waiting to be shown.
    static int Queued();
};

// Yields to pending events from inside a reporter (the error window shows
// itself while the failing procedure is still on the stack). A fault that an
// event handler raises meanwhile is reported like any other, not dropped as
// a fault of the reporter.
void Yield_Within_Report();

// Report an exception caught at a procedure boundary (HdxError keeps its number).
void Report_Exception(const std::exception& e, const std::string& location, int32_t line = 0,
                      const std::string& extra = std::string());

// The error number and description of a caught exception: an HdxError's own,
// otherwise 1004 and the exception's text.
int Exception_Number(const std::exception& e);
std::string Exception_Description(const std::exception& e);

// Runs body and hands whatever it throws to the error handler with location,
// so nothing escapes a procedure that traps its faults.
template <typename F>
void Run_Trapped(const std::string& location, F&& body) {
    try {
        body();
    } catch (const std::exception& e) {
        Report_Exception(e, location);
    } catch (...) {
        NXF_Error_Handler("Unknown error", 1004, 0, location, "");
    }
}

// Trace(text): message = text + TAB. Trace(values): each value + TAB.
void Trace(const std::string& text);
void Trace(std::initializer_list<std::string> values);
void Trace(const std::vector<std::string>& values);

// The whole trace line as it is sent: exe + " C: " + instance + ": " + thread +
// ": " + "yyyymmdd hhnnss" + ": " + message.
std::string Trace_Line(const std::string& message);
