#pragma once
#include <deque>
#include <string>
#include <vector>

#include "platform/Dialogs.h"

namespace Platform {

// Dialog service for tests: records everything shown and answers from a script.
// An unscripted question gets the default answer (OK / No / cancel).
class ScriptedDialogs : public IDialogs {
public:
    struct Shown {
        std::string kind;  // "message", "input", "open", "save", "folder"
        std::string text;  // message text or prompt/title
        std::string title;
        MsgIcon icon = MsgIcon::None;
        MsgButtons buttons = MsgButtons::OK;
        std::string folder{};  // where a file or folder box opened
        std::string name{};    // the file name a save box offered
    };

    MsgResult Message_Box(const std::string& text, MsgButtons buttons, MsgIcon icon, const std::string& title) override;
    std::optional<std::string> Input_Box(const std::string& prompt, const std::string& title,
                                         const std::string& default_text) override;
    std::optional<std::string> Open_File(const std::string& title, const std::string& folder,
                                         const std::string& filter) override;
    std::optional<std::string> Save_File(const std::string& title, const std::string& folder, const std::string& filter,
                                         const std::string& default_name) override;
    std::optional<std::string> Browse_Folder(const std::string& title, const std::string& start) override;
    void Beep() override { ++beeps; }

    // Script the next answers, consumed in order per kind.
    void Answer_Message(MsgResult r) { message_answers.push_back(r); }
    void Answer_Input(std::optional<std::string> s) { input_answers.push_back(std::move(s)); }
    void Answer_File(std::optional<std::string> s) { file_answers.push_back(std::move(s)); }
    void Answer_Folder(std::optional<std::string> s) { folder_answers.push_back(std::move(s)); }

    std::vector<std::string> Messages() const;  // texts of the message boxes, in order
    bool Was_Shown(const std::string& text) const;
    void Clear() {
        shown.clear();
        beeps = 0;
    }

    std::vector<Shown> shown;
    int beeps = 0;
    std::deque<MsgResult> message_answers;
    std::deque<std::optional<std::string>> input_answers;
    std::deque<std::optional<std::string>> file_answers;
    std::deque<std::optional<std::string>> folder_answers;
};

}  // namespace Platform
