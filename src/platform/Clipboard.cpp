#include "Clipboard.h"

#include <QApplication>
#include <QClipboard>
#include <QWidget>

namespace Platform {

void Set_Clipboard_Text(const std::string& text) {
    if (auto* cb = QApplication::clipboard()) cb->setText(QString::fromStdString(text));
}

std::string Clipboard_Text() {
    if (auto* cb = QApplication::clipboard()) return cb->text().toStdString();
    return "";
}

void Copy_Window_To_Clipboard(QWidget* window) {
    if (!window) return;
    if (auto* cb = QApplication::clipboard()) cb->setPixmap(window->grab());
}

}  // namespace Platform
