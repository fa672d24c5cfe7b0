#pragma once
#include "Dialogs.h"

namespace Platform {

// The real dialog service of the program (needs a QApplication).
class QtDialogs : public IDialogs {
public:
    MsgResult Message_Box(const std::string& text, MsgButtons buttons, MsgIcon icon, const std::string& title) override;
    std::optional<std::string> Input_Box(const std::string& prompt, const std::string& title,
                                         const std::string& default_text) override;
    std::optional<std::string> Open_File(const std::string& title, const std::string& folder,
                                         const std::string& filter) override;
    std::optional<std::string> Save_File(const std::string& title, const std::string& folder, const std::string& filter,
                                         const std::string& default_name) override;
    std::optional<std::string> Browse_Folder(const std::string& title, const std::string& start) override;
    void Beep() override;
    // A message box that is not modal: frames and timers go on while it is open.
    void Ask_Meanwhile(const std::string& text, MsgButtons buttons, MsgIcon icon, const std::string& title,
                       std::function<void(MsgResult)> answered) override;
};

}  // namespace Platform
