// The lines a Control Box board sends, as the program reads them: any bytes,
// cut at their line feeds. A line the parser takes must hold only what the
// protocol allows and format back to itself; the board clock fed from the
// PONG lines must map every IN line's time without a fault.
#include <string>
#include <string_view>

#include "Fuzz_Support.h"
#include "controlbox/Box_Clock.h"
#include "controlbox/Control_Box_Protocol.h"
#include "platform/Clock.h"

namespace P = Control_Box_Protocol;

namespace {

bool Printable(const std::string& s) {
    for (char c : s)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || static_cast<unsigned char>(c) > 0x7E) return false;
    return true;
}

void Check(const P::Board_Message& m, std::string_view line, Box_Clock& clock) {
    switch (m.kind) {
        case P::Kind::Invalid:
            if (m.text.empty()) Fuzz::Fail("an invalid line without a reason");
            return;
        case P::Kind::Ident: {
            if (m.serial < 1 || m.inputs < 1 || m.inputs > P::kMax_Channels || m.outputs < 0 ||
                m.outputs > P::kMax_Channels)
                Fuzz::Fail("ID fields out of range");
            if (m.name.size() > static_cast<size_t>(P::kMax_Name) || !Printable(m.name) || !Printable(m.reset_reason))
                Fuzz::Fail("ID name or reset reason not clean text");
            std::string text = P::Ident_Reply(m.serial, m.inputs, m.outputs, m.name);
            text.pop_back();  // the line feed
            const P::Board_Message again = P::Parse_Board_Line(text);
            if (again.kind != P::Kind::Ident || again.serial != m.serial || again.name != m.name || again.board_clock)
                Fuzz::Fail("an ID line does not read back");
            clock.Reset();
            return;
        }
        case P::Kind::Levels:
            if (m.level_count < 1 || m.level_count > P::kMax_Channels ||
                (m.level_count < 32 && (m.levels >> m.level_count) != 0))
                Fuzz::Fail("LV levels beyond the inputs it reports");
            return;
        case P::Kind::Input:
        case P::Kind::Output_Ack: {
            if (m.index < 0 || m.index >= P::kMax_Channels) Fuzz::Fail("channel out of range");
            if (m.kind == P::Kind::Output_Ack && m.has_board_us) Fuzz::Fail("an OUT line with a board time");
            if (!m.has_board_us) return;
            std::string text = P::Input_Report(m.index, m.level, m.board_us);
            text.pop_back();
            const P::Board_Message again = P::Parse_Board_Line(text);
            if (again.kind != P::Kind::Input || again.board_us != m.board_us || again.index != m.index)
                Fuzz::Fail("an IN line does not read back: " + std::string(line));
            (void)clock.To_PC_Mill(m.board_us);
            return;
        }
        case P::Kind::Pong:
            if (m.has_board_us) {
                // The answer comes back a little after the PING left, by the line's own numbers.
                clock.Add_Sample(m.pc_mill, m.board_us,
                                 Platform::Mill_After(m.pc_mill, static_cast<int32_t>(m.board_us % 3)));
            }
            return;
        case P::Kind::Error:
            if (!Printable(m.text)) Fuzz::Fail("ERR text not clean");
            return;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    Fuzz::Init(argc, argv, false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    Box_Clock clock;
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = all.find('\n', start);
        if (end == std::string_view::npos) end = all.size();
        const std::string_view line = all.substr(start, end - start);
        Check(P::Parse_Board_Line(line), line, clock);
        start = end + 1;
    }
    return 0;
}
