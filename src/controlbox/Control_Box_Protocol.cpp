#include "controlbox/Control_Box_Protocol.h"

#include <vector>

namespace Control_Box_Protocol {

namespace {

bool Is_Blank(char c) { return c == ' ' || c == '\t'; }

std::vector<std::string_view> Split(std::string_view s, size_t max_fields, std::string_view* rest) {
    std::vector<std::string_view> fields;
    size_t i = 0;
    while (i < s.size() && fields.size() < max_fields) {
        while (i < s.size() && Is_Blank(s[i])) ++i;
        if (i >= s.size()) break;
        const size_t start = i;
        while (i < s.size() && !Is_Blank(s[i])) ++i;
        fields.push_back(s.substr(start, i - start));
    }
    while (i < s.size() && Is_Blank(s[i])) ++i;
    if (rest) *rest = s.substr(i);
    return fields;
}

// Plain decimal digits, no sign, within [low, high].
bool Number(std::string_view s, long long low, long long high, long long& out) {
    if (s.empty() || s.size() > 10) return false;
    long long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < low || v > high) return false;
    out = v;
    return true;
}

Board_Message Invalid(std::string why) {
    Board_Message m;
    m.kind = Kind::Invalid;
    m.text = std::move(why);
    return m;
}

constexpr long long kMax_U32 = 4294967295LL;

bool Index_And_Level(const std::vector<std::string_view>& f, std::string_view rest, bool clock_allowed,
                     Board_Message& m) {
    long long index = 0, level = 0, us = 0;
    if (f.size() < 3 || f.size() > (clock_allowed ? 4u : 3u) || !rest.empty()) return false;
    if (!Number(f[1], 0, kMax_Channels - 1, index) || !Number(f[2], 0, 1, level)) return false;
    if (f.size() == 4) {
        if (!Number(f[3], 0, kMax_U32, us)) return false;
        m.has_board_us = true;
        m.board_us = static_cast<uint32_t>(us);
    }
    m.index = static_cast<int>(index);
    m.level = level == 1;
    return true;
}

// Takes the board's "clock=us" and "reset=..." words off the end of an ID name.
void Take_Ident_Tags(std::string_view& name, Board_Message& m) {
    for (;;) {
        while (!name.empty() && Is_Blank(name.back())) name.remove_suffix(1);
        size_t start = name.size();
        while (start > 0 && !Is_Blank(name[start - 1])) --start;
        const std::string_view word = name.substr(start);
        // Every tag at the end goes, repeated or not, so that a name never ends in one.
        if (word == "clock=us") {
            m.board_clock = true;
        } else if (word.size() > 6 && word.substr(0, 6) == "reset=") {
            if (m.reset_reason.empty()) m.reset_reason = std::string(word.substr(6));
        } else {
            return;
        }
        name = name.substr(0, start);
    }
}

std::string Trimmed(std::string_view s) {
    while (!s.empty() && Is_Blank(s.back())) s.remove_suffix(1);
    return std::string(s);
}

}  // namespace

Board_Message Parse_Board_Line(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > static_cast<size_t>(kMax_Line)) return Invalid("line too long");
    for (char c : line) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t') || u > 0x7E) return Invalid("not printable text");
    }
    std::string_view rest;
    const auto f = Split(line, 4, &rest);
    if (f.empty()) return Invalid("empty line");
    const std::string_view word = f[0];
    Board_Message m;

    if (word == "ID") {
        long long serial = 0, inputs = 0, outputs = 0;
        if (f.size() < 4 || !Number(f[1], 1, INT32_MAX, serial) || !Number(f[2], 1, kMax_Channels, inputs) ||
            !Number(f[3], 0, kMax_Channels, outputs))
            return Invalid("bad ID line");
        if (rest.size() > static_cast<size_t>(kMax_Name)) return Invalid("board name too long");
        m.kind = Kind::Ident;
        m.serial = static_cast<int32_t>(serial);
        m.inputs = static_cast<int>(inputs);
        m.outputs = static_cast<int>(outputs);
        Take_Ident_Tags(rest, m);
        m.name = Trimmed(rest);
        return m;
    }
    if (word == "LV") {
        if (f.size() != 2 || !rest.empty() || f[1].size() > static_cast<size_t>(kMax_Channels))
            return Invalid("bad LV line");
        uint32_t levels = 0;
        for (size_t i = 0; i < f[1].size(); ++i) {
            const char c = f[1][i];
            if (c != '0' && c != '1') return Invalid("bad LV line");
            if (c == '1') levels |= 1u << i;
        }
        m.kind = Kind::Levels;
        m.levels = levels;
        m.level_count = static_cast<int>(f[1].size());
        return m;
    }
    if (word == "IN" || word == "OUT") {
        if (!Index_And_Level(f, rest, word == "IN", m)) return Invalid(word == "IN" ? "bad IN line" : "bad OUT line");
        m.kind = word == "IN" ? Kind::Input : Kind::Output_Ack;
        return m;
    }
    if (word == "PONG") {
        long long pc = 0, us = 0;
        if (f.size() == 3 && rest.empty() && Number(f[1], 0, kMax_U32, pc) && Number(f[2], 0, kMax_U32, us)) {
            m.pc_mill = static_cast<int32_t>(static_cast<uint32_t>(pc));
            m.has_board_us = true;
            m.board_us = static_cast<uint32_t>(us);
        } else if (f.size() != 1) {
            return Invalid("bad PONG line");
        }
        m.kind = Kind::Pong;
        return m;
    }
    if (word == "ERR") {
        m.kind = Kind::Error;
        const size_t at = line.find("ERR") + 3;
        std::string_view t = line.substr(at);
        while (!t.empty() && Is_Blank(t.front())) t.remove_prefix(1);
        m.text = Trimmed(t);
        return m;
    }
    return Invalid("unknown line");
}

std::string Ident_Query() { return "?ID\n"; }
std::string Levels_Query() { return "?LV\n"; }
std::string Ping() { return "PING\n"; }
std::string Ping(int32_t pc_mill) { return "PING " + std::to_string(static_cast<uint32_t>(pc_mill)) + "\n"; }

std::string Output_Command(int index, bool level) { return "OUT " + std::to_string(index) + (level ? " 1\n" : " 0\n"); }

std::string Ident_Reply(int32_t serial, int inputs, int outputs, const std::string& name) {
    std::string s = "ID " + std::to_string(serial) + " " + std::to_string(inputs) + " " + std::to_string(outputs);
    if (!name.empty()) s += " " + name;
    return s + "\n";
}

std::string Levels_Reply(uint32_t levels, int count) {
    std::string s = "LV ";
    for (int i = 0; i < count; ++i) s += (levels >> i & 1u) ? '1' : '0';
    return s + "\n";
}

std::string Input_Report(int index, bool level) { return "IN " + std::to_string(index) + (level ? " 1\n" : " 0\n"); }

std::string Input_Report(int index, bool level, uint32_t board_us) {
    return "IN " + std::to_string(index) + (level ? " 1 " : " 0 ") + std::to_string(board_us) + "\n";
}

std::string Pong_Reply(int32_t pc_mill, uint32_t board_us) {
    return "PONG " + std::to_string(static_cast<uint32_t>(pc_mill)) + " " + std::to_string(board_us) + "\n";
}

}  // namespace Control_Box_Protocol
