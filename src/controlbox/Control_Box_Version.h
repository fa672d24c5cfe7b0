#pragma once
#include <string>

// The Control Box library version this program is built for. Verify_Phidgets
// requires both parts in the version text a library object reports.
namespace Control_Box_Version {

inline constexpr const char* kLibrary_Name = "Houndex Control Box layer 2.1.8";
inline constexpr const char* kLibrary_Core = "Control Box core - Version 2.1.8";

// The version text of this program's own Control Box layer.
inline std::string Library_Version_Text() { return std::string(kLibrary_Name) + ", " + kLibrary_Core; }

}  // namespace Control_Box_Version
