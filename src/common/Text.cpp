#include "common/Text.h"

#include <cstdio>
#include <limits>

namespace {
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
bool Blank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

std::string Lower_Case(std::string text) {
    for (char& c : text) c = Lower(c);
    return text;
}

std::string Upper_Case(std::string text) {
    for (char& c : text) c = Upper(c);
    return text;
}

bool Same_Ignoring_Case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

std::string Trim_Blanks(std::string_view text) {
    while (!text.empty() && Blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && Blank(text.back())) text.remove_suffix(1);
    return std::string(text);
}

Whole_Number Parse_Whole_Number(std::string_view text, int64_t& value) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return Whole_Number::Not_A_Number;
    // Accumulated negatively so that the lowest int64 fits.
    int64_t v = 0;
    bool overflow = false;
    constexpr int64_t lowest = std::numeric_limits<int64_t>::min();
    for (const char c : text) {
        if (c < '0' || c > '9') return Whole_Number::Not_A_Number;
        const int digit = c - '0';
        if (v < (lowest + digit) / 10) overflow = true;
        if (!overflow) v = v * 10 - digit;
    }
    if (overflow || (!negative && v == lowest)) return Whole_Number::Out_Of_Range;
    value = negative ? v : -v;
    return Whole_Number::Ok;
}

bool Whole_Number_In(std::string_view text, int64_t low, int64_t high, int64_t& value) {
    int64_t v = 0;
    if (Parse_Whole_Number(text, v) != Whole_Number::Ok || v < low || v > high) return false;
    value = v;
    return true;
}

std::string Json_Text(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char b[8];
                    std::snprintf(b, sizeof b, "\\u%04x", static_cast<unsigned>(c));
                    out += b;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}
