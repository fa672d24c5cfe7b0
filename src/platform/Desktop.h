#pragma once
#include <string>
#include <vector>

namespace Platform {

// Asks the desktop to open a link (mailto:, file:// folder, ...). False when nothing took it.
bool Shell_Open(const std::string& url);
// Runs a helper program of the desktop and waits for it (at most timeout_ms);
// true when it ran and succeeded. Its output is discarded.
bool Run_Quietly(const std::string& program, const std::vector<std::string>& arguments, int timeout_ms = 10000);
// Ends the process at once, without any shutdown work. Tests replace it.
[[noreturn]] void Terminate_Process(int code);

}  // namespace Platform
