#include "Desktop.h"

#include <cstdlib>

#include <QDesktopServices>
#include <QUrl>

namespace Platform {

bool Shell_Open(const std::string& url) {
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

void Terminate_Process(int code) { std::_Exit(code); }

}  // namespace Platform
