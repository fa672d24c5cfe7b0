#pragma once
#include <string>

class QWidget;

namespace Platform {

void Set_Clipboard_Text(const std::string& text);
std::string Clipboard_Text();
// The "screen copy": an image of the window into the clipboard.
void Copy_Window_To_Clipboard(QWidget* window);

}  // namespace Platform
