#include "settings/Capture_Triggers.h"

#include <algorithm>
#include <string>

#include "common/Startup_Facts.h"
#include "settings/Module_Ini.h"

namespace {
const char* const Section = "Settings";

int32_t Read_Number(const char* key, int32_t fallback, int32_t lowest, int32_t highest) {
    const std::string text = Read_Ini(Section, key, Facts().Ini_file_path, std::to_string(fallback));
    try {
        size_t used = 0;
        const long long v = std::stoll(text, &used);
        if (used != text.size()) return fallback;
        return static_cast<int32_t>(std::clamp<long long>(v, lowest, highest));
    } catch (...) {
        return fallback;
    }
}
}  // namespace

Capture_Triggers Capture_Triggers::Read() {
    Capture_Triggers t;
    t.Pre_Trigger_ms = Read_Number("pre_trigger_ms", t.Pre_Trigger_ms, 0, Longest_ms);
    t.Post_Trigger_ms = Read_Number("post_trigger_ms", t.Post_Trigger_ms, 0, Longest_ms);
    t.Auto_Capture = Read_Number("auto_capture", 0, 0, 1) == 1;
    t.Auto_Threshold = Read_Number("auto_threshold", t.Auto_Threshold, 1, 255);
    t.Auto_Settle_ms = Read_Number("auto_settle_ms", t.Auto_Settle_ms, 0, Longest_ms);
    t.Window_Limit_MB = Read_Number("window_limit_mb", t.Window_Limit_MB, 0, Highest_Window_Limit_MB);
    // A limit too small to hold a window's frames is taken as the smallest useful one.
    if (t.Window_Limit_MB > 0) t.Window_Limit_MB = std::max(t.Window_Limit_MB, Lowest_Window_Limit_MB);
    return t;
}

bool Capture_Triggers::Write() const {
    bool ok = Write_Ini(Section, "pre_trigger_ms", std::to_string(Pre_Trigger_ms), Facts().Ini_file_path) == 1;
    ok = Write_Ini(Section, "post_trigger_ms", std::to_string(Post_Trigger_ms), Facts().Ini_file_path) == 1 && ok;
    ok = Write_Ini(Section, "auto_capture", Auto_Capture ? "1" : "0", Facts().Ini_file_path) == 1 && ok;
    ok = Write_Ini(Section, "auto_threshold", std::to_string(Auto_Threshold), Facts().Ini_file_path) == 1 && ok;
    ok = Write_Ini(Section, "auto_settle_ms", std::to_string(Auto_Settle_ms), Facts().Ini_file_path) == 1 && ok;
    ok = Write_Ini(Section, "window_limit_mb", std::to_string(Window_Limit_MB), Facts().Ini_file_path) == 1 && ok;
    return ok;
}
