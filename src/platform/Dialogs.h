#pragma once
#include <functional>
#include <optional>
#include <string>

namespace Platform {

enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgButtons { OK, OKCancel, YesNo, YesNoCancel, RetryCancel };
enum class MsgResult { OK, Cancel, Yes, No, Retry };

// Message, input, file and folder boxes and the beep. The program uses Qt
// dialogs; tests install ScriptedDialogs so no dialog ever blocks.
class IDialogs {
public:
    virtual ~IDialogs() = default;
    virtual MsgResult Message_Box(const std::string& text, MsgButtons buttons, MsgIcon icon,
                                  const std::string& title) = 0;
    // nullopt when cancelled
    virtual std::optional<std::string> Input_Box(const std::string& prompt, const std::string& title,
                                                 const std::string& default_text) = 0;
    // filter in Qt form, e.g. "Recordings (*.nx3 *.NX3)"
    virtual std::optional<std::string> Open_File(const std::string& title, const std::string& folder,
                                                 const std::string& filter) = 0;
    virtual std::optional<std::string> Save_File(const std::string& title, const std::string& folder,
                                                 const std::string& filter, const std::string& default_name) = 0;
    virtual std::optional<std::string> Browse_Folder(const std::string& title, const std::string& start) = 0;
    virtual void Beep() = 0;
    // A question that does not hold up the program while it is open: the
    // answer comes to `answered` later (the program's windows go on). Here it
    // is asked at once and answered before returning.
    virtual void Ask_Meanwhile(const std::string& text, MsgButtons buttons, MsgIcon icon, const std::string& title,
                               std::function<void(MsgResult)> answered) {
        const MsgResult answer = Message_Box(text, buttons, icon, title);
        if (answered) answered(answer);
    }
};

// The answer a question gets when nobody answers it: OK, or No, or Cancel.
MsgResult Default_Answer(MsgButtons buttons);

// Console fallback used before a QApplication exists (and by command-line tools):
// messages go to standard error and every question is answered with its default.
class ConsoleDialogs : public IDialogs {
public:
    MsgResult Message_Box(const std::string& text, MsgButtons buttons, MsgIcon icon, const std::string& title) override;
    std::optional<std::string> Input_Box(const std::string&, const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> Open_File(const std::string&, const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> Save_File(const std::string&, const std::string&, const std::string&,
                                         const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> Browse_Folder(const std::string&, const std::string&) override { return std::nullopt; }
    void Beep() override {}
};

void Set_Dialogs(IDialogs* dialogs);  // nullptr restores the console fallback
IDialogs& Dialogs();

// Shorthands for the common cases.
MsgResult MsgBox(const std::string& text, MsgButtons buttons = MsgButtons::OK, MsgIcon icon = MsgIcon::None,
                 const std::string& title = std::string());
void Beep();
void Ask_Meanwhile(const std::string& text, MsgButtons buttons, MsgIcon icon, const std::string& title,
                   std::function<void(MsgResult)> answered);

}  // namespace Platform
