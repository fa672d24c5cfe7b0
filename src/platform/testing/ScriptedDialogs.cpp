#include "ScriptedDialogs.h"

#include <algorithm>

namespace Platform {

namespace {
template <typename T>
std::optional<std::string> Pop(std::deque<T>& q) {
    if (q.empty()) return std::nullopt;
    auto v = q.front();
    q.pop_front();
    return v;
}
}  // namespace

MsgResult ScriptedDialogs::Message_Box(const std::string& text, MsgButtons buttons, MsgIcon icon,
                                       const std::string& title) {
    shown.push_back({"message", text, title, icon, buttons});
    if (!message_answers.empty()) {
        const MsgResult r = message_answers.front();
        message_answers.pop_front();
        return r;
    }
    return Default_Answer(buttons);
}

std::optional<std::string> ScriptedDialogs::Input_Box(const std::string& prompt, const std::string& title,
                                                      const std::string&) {
    shown.push_back({"input", prompt, title});
    return Pop(input_answers);
}

std::optional<std::string> ScriptedDialogs::Open_File(const std::string& title, const std::string& folder,
                                                      const std::string&) {
    shown.push_back({"open", title, title, MsgIcon::None, MsgButtons::OK, folder});
    return Pop(file_answers);
}

std::optional<std::string> ScriptedDialogs::Save_File(const std::string& title, const std::string& folder,
                                                      const std::string&, const std::string& default_name) {
    shown.push_back({"save", title, title, MsgIcon::None, MsgButtons::OK, folder, default_name});
    return Pop(file_answers);
}

std::optional<std::string> ScriptedDialogs::Browse_Folder(const std::string& title, const std::string&) {
    shown.push_back({"folder", title, title});
    return Pop(folder_answers);
}

std::vector<std::string> ScriptedDialogs::Messages() const {
    std::vector<std::string> out;
    for (const auto& s : shown)
        if (s.kind == "message") out.push_back(s.text);
    return out;
}

bool ScriptedDialogs::Was_Shown(const std::string& text) const {
    return std::any_of(shown.begin(), shown.end(), [&](const Shown& s) { return s.text == text; });
}

}  // namespace Platform
