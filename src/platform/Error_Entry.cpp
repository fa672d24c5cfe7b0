#include "Error_Entry.h"

#include <cstdio>
#include <mutex>
#include <sstream>
#include <vector>

#include "Clock.h"
#include "HdxError.h"
#include "Files.h"
#include "System_Info.h"

namespace {
IErrorReporter* g_reporter = nullptr;
ITraceSink* g_sink = nullptr;
bool g_in_report = false;

struct Held_Report {
    std::string description;
    int16_t number;
    int32_t line;
    std::string location, extra;
};
int g_holds = 0;
std::vector<Held_Report> g_held;
}  // namespace

Error_Report_Hold::Error_Report_Hold() { ++g_holds; }

Error_Report_Hold::~Error_Report_Hold() {
    if (--g_holds > 0) return;
    // A report shown here may raise another, which is shown after it.
    while (!g_held.empty() && g_holds == 0) {
        Held_Report r = std::move(g_held.front());
        g_held.erase(g_held.begin());
        NXF_Error_Handler(r.description, r.number, r.line, r.location, r.extra);
    }
}

int Error_Report_Hold::Queued() { return static_cast<int>(g_held.size()); }

void Set_Error_Reporter(IErrorReporter* reporter) { g_reporter = reporter; }
IErrorReporter* Error_Reporter() { return g_reporter; }
void Set_Trace_Sink(ITraceSink* sink) { g_sink = sink; }
ITraceSink* Trace_Sink() { return g_sink; }

void NXF_Error_Handler(const std::string& description, int16_t number, int32_t line, const std::string& location,
                       const std::string& extra) {
    // A fault inside a reporter must never recurse into the report.
    if (g_in_report) {
        std::fprintf(stderr, "*Error in Error_form %s err nbr = %d\n", description.c_str(), number);
        return;
    }
    if (g_holds > 0) {
        g_held.push_back({description, number, line, location, extra});
        return;
    }
    g_in_report = true;
    try {
        if (g_reporter) {
            g_reporter->Report(description, number, line, location, extra);
        } else {
            std::fprintf(stderr, "error %d, %s at %s, line %d %s\n", number, description.c_str(), location.c_str(),
                         line, extra.c_str());
        }
    } catch (...) {
        std::fprintf(stderr, "*Error in Error_form (reporter failed)\n");
    }
    g_in_report = false;
}

void Yield_Within_Report() {
    const bool was = g_in_report;
    g_in_report = false;
    try {
        Platform::Yield_Events();
    } catch (...) {
        g_in_report = was;
        throw;
    }
    g_in_report = was;
}

void Report_Exception(const std::exception& e, const std::string& location, int32_t line, const std::string& extra) {
    if (auto* h = dynamic_cast<const HdxError*>(&e)) {
        NXF_Error_Handler(h->description, static_cast<int16_t>(h->number), line, location, extra);
    } else if (dynamic_cast<const std::bad_alloc*>(&e)) {
        NXF_Error_Handler("Out of memory", 7, line, location, extra);
    } else {
        NXF_Error_Handler(e.what(), HdxErr::ApplicationDefined, line, location, extra);
    }
}

int Exception_Number(const std::exception& e) {
    if (auto* h = dynamic_cast<const HdxError*>(&e)) return h->number;
    return HdxErr::ApplicationDefined;
}

std::string Exception_Description(const std::exception& e) {
    if (auto* h = dynamic_cast<const HdxError*>(&e)) return h->description;
    return e.what();
}

std::string Trace_Line(const std::string& message) {
    const Platform::DateTime now = Platform::Local_Now();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d %02d%02d%02d", now.year, now.month, now.day, now.hour, now.minute,
                  now.second);
    std::ostringstream out;
    out << Platform::Executable_Name() << " C"
        << ": " << Platform::Instance_Handle() << ": " << Platform::Thread_Id_Text() << ": " << stamp << ": "
        << message;
    return out.str();
}

void Trace(const std::string& text) { Trace(std::vector<std::string>{text}); }

void Trace(std::initializer_list<std::string> values) { Trace(std::vector<std::string>(values)); }

void Trace(const std::vector<std::string>& values) {
    if (!g_sink) return;
    std::string message;
    for (const auto& v : values) {
        message += v;
        message += '\t';
    }
    // Readers on worker threads (the read-ahead, the assistant's search) trace too:
    // one line at a time reaches the sink.
    static std::mutex sending;
    try {
        const std::lock_guard<std::mutex> lock(sending);
        g_sink->Send(Trace_Line(message));
    } catch (...) {
        // Trace is best effort: a failing viewer never disturbs the program.
    }
}
