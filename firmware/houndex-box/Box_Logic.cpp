#include "Box_Logic.h"

namespace Box {

namespace {

const char kName[] = "Houndex box " HOUNDEX_BOX_VERSION;

bool Is_Blank(char c) { return c == ' ' || c == '\t'; }

bool Same(const char* a, const char* b) {
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

// Plain decimal digits, no sign, at most max.
bool Parse_Number(const char* s, uint32_t max, uint32_t& out) {
    if (!*s) return false;
    uint32_t v = 0;
    for (; *s; ++s) {
        if (*s < '0' || *s > '9') return false;
        const uint32_t digit = static_cast<uint32_t>(*s - '0');
        if (digit > max || v > (max - digit) / 10) return false;
        v = v * 10 + digit;
    }
    out = v;
    return true;
}

// Decimal text of v into buf (at least 11 bytes); returns buf.
char* Decimal(uint32_t v, char* buf) {
    char tmp[11];
    int n = 0;
    do {
        tmp[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v);
    for (int i = 0; i < n; ++i) buf[i] = tmp[n - 1 - i];
    buf[n] = '\0';
    return buf;
}

// Splits the line in place into at most max_fields blank-separated fields.
int Split(char* line, char** fields, int max_fields) {
    int n = 0;
    char* p = line;
    for (;;) {
        while (Is_Blank(*p)) ++p;
        if (!*p) return n;
        if (n == max_fields) return n + 1;  // too many
        fields[n++] = p;
        while (*p && !Is_Blank(*p)) ++p;
        if (!*p) return n;
        *p++ = '\0';
    }
}

}  // namespace

const char* Reset_Reason_Text(Reset_Reason reason) {
    switch (reason) {
        case Reset_Power_On: return "power-on";
        case Reset_External: return "external";
        case Reset_Brown_Out: return "brown-out";
        case Reset_Watchdog: return "watchdog";
        default: return "unknown";
    }
}

Reset_Reason Reset_Reason_From_Mcusr(uint8_t mcusr) {
    if (mcusr & 0x01) return Reset_Power_On;
    if (mcusr & 0x08) return Reset_Watchdog;
    if (mcusr & 0x04) return Reset_Brown_Out;
    if (mcusr & 0x02) return Reset_External;
    return Reset_Unknown;
}

Box_Logic::Box_Logic(Board_Io& io) : io_(io), line_us_(0), reset_(Reset_Unknown), length_(0), overflow_(false) {
    for (int i = 0; i < kInputs; ++i) {
        accepted_[i] = raw_[i] = locked_[i] = false;
        raw_since_us_[i] = locked_since_us_[i] = 0;
    }
    for (int i = 0; i < kOutputs; ++i) outputs_[i] = false;
    line_[0] = '\0';
}

void Box_Logic::Begin(uint32_t now_us, Reset_Reason reason) {
    reset_ = reason;
    All_Outputs_Off();
    for (int i = 0; i < kInputs; ++i) {
        accepted_[i] = raw_[i] = io_.Read_Closed(i);
        raw_since_us_[i] = now_us;
        locked_[i] = false;
    }
    length_ = 0;
    overflow_ = false;
    Send_Ident();
}

void Box_Logic::Sample(uint32_t now_us) {
    for (int i = 0; i < kInputs; ++i) {
        const bool raw = io_.Read_Closed(i);
        if (raw != raw_[i]) {
            raw_[i] = raw;
            raw_since_us_[i] = now_us;
        }
        if (locked_[i]) {
            if (now_us - locked_since_us_[i] < kLockout_us) continue;  // the contact still bounces
            locked_[i] = false;
        }
        if (raw != accepted_[i]) {
            // The first edge counts. A change seen as the lockout ends (a short
            // pulse let go) is dated to when the pin last moved.
            accepted_[i] = raw;
            locked_[i] = true;
            locked_since_us_[i] = now_us;
            Send_Input(i, raw, raw_since_us_[i]);
        }
    }
}

void Box_Logic::Receive(char c, uint32_t now_us) {
    if (c == '\n') {
        line_us_ = now_us;
        if (overflow_) {
            Send_Error("line too long");
        } else {
            line_[length_] = '\0';
            Handle_Line();
        }
        length_ = 0;
        overflow_ = false;
        return;
    }
    if (c == '\r' || overflow_) return;
    if (length_ >= kMax_Line) {
        overflow_ = true;
        return;
    }
    line_[length_++] = c;
}

bool Box_Logic::Level(int input) const { return input >= 0 && input < kInputs && accepted_[input]; }

bool Box_Logic::Output(int output) const { return output >= 0 && output < kOutputs && outputs_[output]; }

uint32_t Box_Logic::Serial_Number() const {
    const uint32_t s = io_.Load_Serial();
    return s >= 1 && s <= kMax_Serial ? s : kNo_Serial;
}

void Box_Logic::Handle_Line() {
    char* f[4];
    const int n = Split(line_, f, 3);
    if (n == 0) return;
    if (Same(f[0], "?ID") && n == 1) {
        Send_Ident();
    } else if (Same(f[0], "?LV") && n == 1) {
        Send_Levels();
    } else if (Same(f[0], "PING") && n == 1) {
        io_.Write("PONG\n");
    } else if (Same(f[0], "PING") && n == 2) {
        uint32_t pc = 0;
        if (!Parse_Number(f[1], 0xFFFFFFFFul, pc)) {
            Send_Error("usage: PING [<pc clock>]");
        } else {
            Send_Pong(f[1]);
        }
    } else if (Same(f[0], "OUT")) {
        uint32_t index = 0, level = 0;
        if (n != 3 || !Parse_Number(f[1], 31, index) || !Parse_Number(f[2], 1, level)) {
            Send_Error("usage: OUT <n> <0|1>");
        } else if (index >= static_cast<uint32_t>(kOutputs)) {
            Send_Error("no such output");
        } else {
            outputs_[index] = level == 1;
            io_.Set_Output(static_cast<int>(index), level == 1);
            Send_Output(static_cast<int>(index), level == 1);
        }
    } else if (Same(f[0], "SETID")) {
        if (n < 2 || n > 3) {
            Send_Error("usage: SETID <serial> [<current serial>]");
        } else if (Set_Serial(f[1], n == 3 ? f[2] : 0)) {
            Send_Ident();
        }
    } else {
        Send_Error("unknown command");
    }
}

bool Box_Logic::Set_Serial(const char* new_text, const char* current_text) {
    uint32_t wanted = 0;
    if (!Parse_Number(new_text, kMax_Serial, wanted) || wanted == 0) {
        Send_Error("serial must be 1..2147483647");
        return false;
    }
    const uint32_t stored = Serial_Number();
    if (stored != kNo_Serial) {
        // Changing a stored number needs the present one: no accidental renumbering.
        uint32_t current = 0;
        if (!current_text) {
            Send_Error("serial already set: SETID <serial> <current serial>");
            return false;
        }
        if (!Parse_Number(current_text, kMax_Serial, current) || current != stored) {
            Send_Error("current serial does not match");
            return false;
        }
    } else if (current_text) {
        Send_Error("no serial set yet: SETID <serial>");
        return false;
    }
    io_.Store_Serial(wanted);
    if (Serial_Number() != wanted) {
        Send_Error("EEPROM write failed");
        return false;
    }
    return true;
}

void Box_Logic::All_Outputs_Off() {
    for (int i = 0; i < kOutputs; ++i) {
        outputs_[i] = false;
        io_.Set_Output(i, false);
    }
}

void Box_Logic::Send_Ident() {
    // Both sides start from "all outputs off" after an ID line.
    All_Outputs_Off();
    const uint32_t serial = Serial_Number();
    char number[11];
    io_.Write("ID ");
    io_.Write(Decimal(serial == kNo_Serial ? kUnset_Serial_Report : serial, number));
    io_.Write(" ");
    io_.Write(Decimal(kInputs, number));
    io_.Write(" ");
    io_.Write(Decimal(kOutputs, number));
    io_.Write(" ");
    io_.Write(kName);
    if (serial == kNo_Serial) io_.Write(" (serial not set)");
    // The program reads these from the end of the name: the inputs carry the
    // microsecond clock, and why the board last started.
    io_.Write(" clock=us reset=");
    io_.Write(Reset_Reason_Text(reset_));
    io_.Write("\n");
}

void Box_Logic::Send_Levels() {
    char text[4 + kInputs + 2];
    text[0] = 'L';
    text[1] = 'V';
    text[2] = ' ';
    for (int i = 0; i < kInputs; ++i) text[3 + i] = accepted_[i] ? '1' : '0';
    text[3 + kInputs] = '\n';
    text[4 + kInputs] = '\0';
    io_.Write(text);
}

void Box_Logic::Send_Input(int input, bool level, uint32_t edge_us) {
    char text[] = "IN 0 0 ";
    text[3] = static_cast<char>('0' + input);
    text[5] = level ? '1' : '0';
    char number[11];
    io_.Write(text);
    io_.Write(Decimal(edge_us, number));
    io_.Write("\n");
}

void Box_Logic::Send_Pong(const char* pc_text) {
    char number[11];
    io_.Write("PONG ");
    io_.Write(pc_text);
    io_.Write(" ");
    io_.Write(Decimal(line_us_, number));
    io_.Write("\n");
}

void Box_Logic::Send_Output(int output, bool on) {
    char text[] = "OUT 0 0\n";
    text[4] = static_cast<char>('0' + output);
    text[6] = on ? '1' : '0';
    io_.Write(text);
}

void Box_Logic::Send_Error(const char* text) {
    io_.Write("ERR ");
    io_.Write(text);
    io_.Write("\n");
}

}  // namespace Box
