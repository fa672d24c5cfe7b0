#include "review/Margins.h"

#include <algorithm>
#include <cmath>

namespace Margins {

namespace {
std::string Quarters_Text(int64_t quarters) {
    static const char* const Fraction[] = {"", "1/4", "1/2", "3/4"};
    const int64_t whole = quarters / 4;
    const char* fraction = Fraction[quarters % 4];
    std::string text = whole > 0 ? std::to_string(whole) : std::string();
    if (*fraction) text += (text.empty() ? "" : " ") + std::string(fraction);
    // A length and anything more is counted in lengths; less is "a fraction of a length".
    return text + (quarters > 4 ? " lengths" : " length");
}
}  // namespace

std::string Margin_Text(int32_t ms, const Margin_Table& table) {
    // Lengths in ms as a whole: a margin exactly on a bound belongs to the longer term.
    const double lengths = (ms < 0 ? 0 : ms) / (1000.0 * table.Seconds_Per_Length) + 1e-9;
    if (lengths < table.Short_Head) return "short head";
    if (lengths < table.Head) return "head";
    if (lengths < table.Neck) return "neck";
    const int64_t quarters = std::max<int64_t>(2, std::llround(std::floor(lengths * 4 + 0.5)));
    return Quarters_Text(quarters);
}

std::array<std::string, 6> Margin_Texts(const Result_Array_Type& ranked, const Margin_Table& table) {
    std::array<std::string, 6> texts;
    for (size_t r = 1; r < ranked.size(); ++r) {
        const Result_Record& dog = ranked[r];
        const Result_Record& ahead = ranked[r - 1];
        if (dog.Goal_Time >= DNF_Code || ahead.Goal_Time >= DNF_Code) continue;
        texts[r] = dog.Dead_Heat ? "dead heat" : Margin_Text(dog.Goal_Time - ahead.Goal_Time, table);
    }
    return texts;
}

}  // namespace Margins
