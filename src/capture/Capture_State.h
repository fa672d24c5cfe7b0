#pragma once
#include <cstdint>
#include <string>

// Program-wide capture texts and counters, shared by the capture controller,
// the source selection and performance windows and the race workflow.
namespace Capture_State {

// The saved source as found and applied this run (empty until found).
inline std::string Current_FriendlyName;
// Description of the media type applied, e.g. 1920*1080/25.
inline std::string Current_PropertyString;
// The saved choice as the controller last read it from the settings.
inline std::string Saved_Friendly_Name;
inline std::string Saved_Video_Prop_Num;
// Controllers alive minus one per controller ended (only ending counts it).
inline int32_t Cls_Capture_Counter = 0;
// The running frame rate the main window last showed (0 until shown).
inline int16_t Running_Fps_Value = 0;

}  // namespace Capture_State
