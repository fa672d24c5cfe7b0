#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// What every fuzz target shares: the platform services a test would replace
// (scripted dialogs, recorders instead of the error window, a fake clock), a
// private temporary folder, and an offscreen Qt application for the targets
// that draw.
namespace Fuzz {

// Sets QT_QPA_PLATFORM=offscreen, makes the application object (a widget
// application when gui is true) and installs the scripted services. Call it
// from LLVMFuzzerInitialize.
void Init(int* argc, char*** argv, bool gui);

// Forgets what the previous input showed and reported, so that memory does not
// grow from one input to the next.
void Reset();

// The private folder of this process (removed at exit).
const std::string& Temp_Dir();
// Writes the input into a file of the private folder and returns its path.
std::string Write_Temp(const std::string& name, const uint8_t* data, size_t size);

// A file's whole contents (empty when it cannot be read), and a file written
// with exactly these bytes.
std::string Read_Bytes(const std::string& path);
void Write_Bytes(const std::string& path, const std::string& bytes);

// Stops the run with a message: a property the program promises did not hold.
[[noreturn]] void Fail(const std::string& what);

}  // namespace Fuzz
