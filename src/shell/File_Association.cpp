#include "File_Association.h"

#include <QFile>

#include <sstream>

#include "platform/Desktop.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "settings/Module_Ini.h"

namespace File_Association {

namespace {
std::string Quoted_Exec(const std::string& path) {
    // Desktop entry quoting: the path in double quotes with \ " ` $ escaped.
    std::string out = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}
// A text of the packaging folder, embedded in the program.
std::string Packaged_Text(const char* name) {
    QFile f(QStringLiteral(":/packaging/") + QString::fromLatin1(name));
    if (!f.open(QIODevice::ReadOnly)) return std::string();
    return f.readAll().toStdString();
}
}  // namespace

bool Associate(const std::string& data_home, const std::string& exec_path, const std::string& icon_svg) {
    using Platform::Join_Path;
    const std::string mime_dir = Join_Path(Join_Path(data_home, "mime"), "packages");
    const std::string apps_dir = Join_Path(data_home, "applications");
    const std::string icon_dir =
        Join_Path(Join_Path(Join_Path(Join_Path(data_home, "icons"), "hicolor"), "scalable"), "apps");
    for (const std::string& folder : {mime_dir, apps_dir, icon_dir})
        if (data_home.empty() || !Platform::Create_Folders(folder)) Platform::MsgBox("Error: Creating Key!");

    // The texts the package installs, with the Exec line naming this program.
    const std::string mime_xml = Packaged_Text("houndex-nx3.xml");
    std::string desktop;
    std::istringstream lines(Packaged_Text("houndex-hdmi.desktop"));
    for (std::string line; std::getline(lines, line);)
        desktop += (line.rfind("Exec=", 0) == 0 ? "Exec=" + Quoted_Exec(exec_path) + " %f" : line) + "\n";
    const struct {
        std::string path;
        const std::string& bytes;
    } files[] = {{Join_Path(mime_dir, "houndex-nx3.xml"), mime_xml},
                 {Join_Path(apps_dir, Desktop_Id), desktop},
                 {Join_Path(icon_dir, "houndex-hdmi.svg"), icon_svg}};
    for (const auto& f : files) {
        if (!Platform::Write_File_Atomic(f.path, f.bytes)) {
            Platform::MsgBox("Error Setting String Value!");
            return false;
        }
    }
    // The settings store reads and writes this INI-style list as it is (and
    // says itself when it cannot).
    if (Write_Ini("Default Applications", Mime_Type, Desktop_Id, Join_Path(apps_dir, "mimeapps.list")) == 0)
        return false;
    // The desktop's caches follow when their tools are there; without them the
    // files are read at the next log-in.
    Platform::Run_Quietly("update-mime-database", {Join_Path(data_home, "mime")});
    Platform::Run_Quietly("update-desktop-database", {apps_dir});
    Platform::MsgBox("Associated the file extension .nx3 with this application!");
    return true;
}

}  // namespace File_Association
