#include "settings/Margin_Settings.h"

#include <cmath>
#include <cstdlib>

#include "settings/Module_Ini.h"

namespace Margins {

bool Parse_Setting(const std::string& text, double max, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    while (end && (*end == ' ' || *end == '\t')) ++end;
    if (!end || *end != '\0' || !std::isfinite(v) || v <= 0 || v > max) return false;
    value = v;
    return true;
}

Margin_Table Load_Table(const std::string& ini_path, std::vector<std::string>* problems) {
    Margin_Table table;
    const struct {
        const std::string& key;
        double& value;
        double max;
    } entries[] = {{Key_Seconds_Per_Length, table.Seconds_Per_Length, 10.0},
                   {Key_Short_Head, table.Short_Head, 100.0},
                   {Key_Head, table.Head, 100.0},
                   {Key_Neck, table.Neck, 100.0}};
    for (const auto& e : entries) {
        const std::string text = Read_Ini(Section, e.key, ini_path, "-");
        if (text == "-") continue;  // not set: the default
        if (!Parse_Setting(text, e.max, e.value) && problems)
            problems->push_back(e.key + ": '" + text + "' is not a positive number");
    }
    const std::string order = Check_Table(table);
    if (!order.empty()) {
        if (problems) problems->push_back(order);
        const double spl = table.Seconds_Per_Length;
        table = Margin_Table{};
        table.Seconds_Per_Length = spl;  // the length stands on its own
    }
    return table;
}

std::string Check_Table(const Margin_Table& t) {
    if (!(t.Short_Head < t.Head && t.Head < t.Neck)) return "the distances must rise: short head below head below neck";
    return "";
}

}  // namespace Margins
