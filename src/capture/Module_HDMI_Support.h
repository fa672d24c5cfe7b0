#pragma once
#include <cstdint>
#include <string>

#include "capture/IVideoCap.h"

// Small routines shared by the capture controller and the capture windows.
namespace Module_HDMI_Support {

// The short description of a media type: width + "*" + height + "/" + frames
// per second rounded to one decimal, in the shortest form with the locale's
// decimal separator (1920*1080/25, 1920*1080/59.9). "Corrupt data!" for a type
// without a format block; empty (after an error report) when the rate is unknown.
std::string Process_AMT(const Media_Type& type);

// Rounds half to even to the given number of decimals.
double Round_Half_Even(double value, int decimals = 0);
// A value rounded to one decimal in the shortest form: 25, 59.9 (locale separator).
std::string One_Decimal_Text(double value);

}  // namespace Module_HDMI_Support

using Module_HDMI_Support::Process_AMT;
