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

// "Limit capture to 25 fps" of the source window, kept in the settings
// ("capturesettings", "limit_fps": "1" ticked, "0" not; ticked when unset) so
// that the camera start of a later run applies it.
bool Saved_Limit_Fps();
void Save_Limit_Fps(bool limit);

// What becomes of a format's pictures, for the source window: its scan and
// the rate the recording gets with "Limit capture to 25 fps" ticked or not
// ("Recorded at 25 of its 120 pictures a second, progressive: ..."), or why
// its rate is not taken (outside Min_Source_Fps to Max_Source_Fps).
std::string Rate_Effect_Text(const Media_Type& type, bool limit);

// Rounds half to even to the given number of decimals.
double Round_Half_Even(double value, int decimals = 0);
// A value rounded to one decimal in the shortest form: 25, 59.9 (locale separator).
std::string One_Decimal_Text(double value);

}  // namespace Module_HDMI_Support

using Module_HDMI_Support::Process_AMT;
using Module_HDMI_Support::Rate_Effect_Text;
using Module_HDMI_Support::Save_Limit_Fps;
using Module_HDMI_Support::Saved_Limit_Fps;
