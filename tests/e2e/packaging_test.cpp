// The desktop texts the package installs are the ones the program's file
// association writes for the user: one source, in the packaging folder.
#include <gtest/gtest.h>

#include <string>

#include "Test_Env.h"
#include "platform/Files.h"
#include "shell/File_Association.h"

namespace {

std::string Packaged(const std::string& name) { return Read_Text(Platform::Join_Path(HOUNDEX_PACKAGING_DIR, name)); }

class Packaging_Test : public Hdx_Test {};

TEST_F(Packaging_Test, TheAssociationWritesThePackagedTextsWithThisProgramInTheExecLine) {
    struct Case {
        std::string exec;
        std::string exec_line;
    };
    for (const Case& c : {Case{"/usr/bin/houndex", "Exec=\"/usr/bin/houndex\" %f"},
                          Case{"/opt/My \"Cup\" $1/houndex", "Exec=\"/opt/My \\\"Cup\\\" \\$1/houndex\" %f"}}) {
        SCOPED_TRACE(c.exec);
        const std::string home = Temp_Dir();
        ASSERT_TRUE(File_Association::Associate(home, c.exec, "<svg/>"));
        EXPECT_EQ(Read_Text(home + "/mime/packages/houndex-nx3.xml"), Packaged("houndex-nx3.xml"));

        std::string expected = Packaged("houndex-hdmi.desktop");
        const std::string packaged_exec = "Exec=houndex %f";
        const size_t at = expected.find(packaged_exec);
        ASSERT_NE(at, std::string::npos) << "the package starts the program by name";
        expected.replace(at, packaged_exec.size(), c.exec_line);
        EXPECT_EQ(Read_Text(home + "/applications/" + File_Association::Desktop_Id), expected);
        EXPECT_EQ(Read_Text(home + "/icons/hicolor/scalable/apps/houndex-hdmi.svg"), "<svg/>");
    }
}

TEST_F(Packaging_Test, ThePackagedTypeIsTheOneTheProgramRegistersForRecordings) {
    const std::string mime = Packaged("houndex-nx3.xml");
    EXPECT_NE(mime.find("type=\"" + std::string(File_Association::Mime_Type) + "\""), std::string::npos);
    EXPECT_NE(mime.find("<glob pattern=\"*.nx3\"/>"), std::string::npos);
    const std::string desktop = Packaged("houndex-hdmi.desktop");
    EXPECT_NE(desktop.find("MimeType=" + std::string(File_Association::Mime_Type) + ";\n"), std::string::npos);
    EXPECT_NE(desktop.find("Icon=houndex-hdmi\n"), std::string::npos);
}

}  // namespace
