#include "Desktop.h"

#include <cstdlib>

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>

namespace Platform {

bool Run_Quietly(const std::string& program, const std::vector<std::string>& arguments, int timeout_ms) {
    const QString found = QStandardPaths::findExecutable(QString::fromStdString(program));
    if (found.isEmpty()) return false;
    QStringList args;
    for (const std::string& a : arguments) args << QString::fromStdString(a);
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(found, args);
    if (!p.waitForStarted(timeout_ms)) return false;
    if (!p.waitForFinished(timeout_ms)) {
        p.kill();
        p.waitForFinished(1000);
        return false;
    }
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool Shell_Open(const std::string& url) { return QDesktopServices::openUrl(QUrl(QString::fromStdString(url))); }

void Terminate_Process(int code) { std::_Exit(code); }

}  // namespace Platform
