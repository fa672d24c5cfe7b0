#include "Dialogs.h"

#include <utility>

#include <cstdio>

namespace Platform {

namespace {
ConsoleDialogs g_console;
IDialogs* g_dialogs = &g_console;
}  // namespace

MsgResult ConsoleDialogs::Message_Box(const std::string& text, MsgButtons buttons, MsgIcon, const std::string& title) {
    std::fprintf(stderr, "%s%s%s\n", title.c_str(), title.empty() ? "" : ": ", text.c_str());
    return Default_Answer(buttons);
}

MsgResult Default_Answer(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::YesNo:
        case MsgButtons::YesNoCancel: return MsgResult::No;
        case MsgButtons::OKCancel:
        case MsgButtons::RetryCancel: return MsgResult::Cancel;
        default: return MsgResult::OK;
    }
}

void Set_Dialogs(IDialogs* dialogs) { g_dialogs = dialogs ? dialogs : &g_console; }
IDialogs& Dialogs() { return *g_dialogs; }

MsgResult MsgBox(const std::string& text, MsgButtons buttons, MsgIcon icon, const std::string& title) {
    return g_dialogs->Message_Box(text, buttons, icon, title);
}

void Beep() { g_dialogs->Beep(); }

void Ask_Meanwhile(const std::string& text, MsgButtons buttons, MsgIcon icon, const std::string& title,
                   std::function<void(MsgResult)> answered) {
    g_dialogs->Ask_Meanwhile(text, buttons, icon, title, std::move(answered));
}

}  // namespace Platform
