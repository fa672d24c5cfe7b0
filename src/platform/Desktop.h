#pragma once
#include <string>

namespace Platform {

// Asks the desktop to open a link (mailto:, file:// folder, ...). False when nothing took it.
bool Shell_Open(const std::string& url);
// Ends the process at once, without any shutdown work. Tests replace it.
[[noreturn]] void Terminate_Process(int code);

}  // namespace Platform
