#pragma once
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "Test_Env.h"
#include "event/Event_File.h"
#include "event/Module_Event_File.h"
#include "platform/Files.h"
#include "common/Startup_Facts.h"

// A private settings file and event files folder for every test.
class Event_Test : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        saved_ = {Facts().Ini_file_path, Facts().Event_Files_Folder, Facts().AppData_Folder};
        saved_flag_ = g_Use_Event_File;
        Change_Facts([&](Startup_Facts& f) { f.AppData_Folder = Data_Dir(); });
        Change_Facts([&](Startup_Facts& f) { f.Ini_file_path = Path("Houndex_HDMI.ini"); });
        Change_Facts(
            [&](Startup_Facts& f) { f.Event_Files_Folder = Platform::Join_Path(Path("Houndex Event Files"), ""); });
        Platform::Create_Folders(Facts().Event_Files_Folder);
    }
    void TearDown() override {
        Change_Facts([&](Startup_Facts& f) { f.Ini_file_path = saved_[0]; });
        Change_Facts([&](Startup_Facts& f) { f.Event_Files_Folder = saved_[1]; });
        Change_Facts([&](Startup_Facts& f) { f.AppData_Folder = saved_[2]; });
        g_Use_Event_File = saved_flag_;
        Hdx_Test::TearDown();
    }

    std::string Folder() const { return Facts().Event_Files_Folder; }
    std::string Event_Path(const std::string& name) const { return Platform::Join_Path(Folder(), name); }

    // A new event file on disk, loaded.
    void Make_Event(Event_File& file, const std::string& name = "Cup.xml") {
        file.Set_Path(Event_Path(name));
        ASSERT_TRUE(file.Create_Event_XML_File());
        ASSERT_TRUE(file.Parse_XML_file());
    }

    static void Write_Bytes(const std::string& path, const std::string& bytes) {
        std::string error;
        ASSERT_TRUE(Platform::Write_File_Atomic(path, bytes, &error)) << error;
    }

    std::vector<std::string> saved_;
    bool saved_flag_ = false;
};

// Reads a file's bytes the way any XML reader would: as the ISO-8859-1 its
// declaration names, with the line-break text nodes kept.
struct Parsed_Event {
    pugi::xml_document doc;
    pugi::xml_parse_result result;
    explicit Parsed_Event(const std::string& latin1) {
        result = doc.load_buffer(latin1.data(), latin1.size(),
                                 (pugi::parse_default & ~pugi::parse_eol) | pugi::parse_ws_pcdata |
                                     pugi::parse_declaration | pugi::parse_comments,
                                 pugi::encoding_latin1);
    }
    pugi::xml_node Root() const { return doc.child("Houndex_event_file"); }
};
