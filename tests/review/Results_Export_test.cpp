// The result files: what a spreadsheet makes of the CSV's text cells, and the
// status and revision a heat read from its recording carries.
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <QJsonDocument>
#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>

#include "Test_Env.h"
#include "Test_Name.h"
#include "Test_Pictures.h"
#include "platform/HdxError.h"
#include "recording/cls_VideoFile_handler.h"
#include "review/Official_Record.h"
#include "review/Results_Export.h"

namespace {

struct Cell_Case {
    const char* name;
    const char* text;     // put into every free-text cell: event, heat ID and name, dog
    const char* written;  // each of those cells as written
};

class Csv_Text_Cells : public ::testing::TestWithParam<Cell_Case> {};

TEST_P(Csv_Text_Cells, AreWrittenSoASpreadsheetShowsThemAsTextAndNumbersStayNumbers) {
    const Cell_Case& c = GetParam();
    Results_Export::Heat_Results heat;
    heat.event = heat.heat_id = heat.heat_name = c.text;
    heat.box_delay = -40;
    Results_Export::Export_Row row;
    row.rank = "1";
    row.box = 2;
    row.dog = c.text;
    // A negative box delay can take a time below zero: it is still a number.
    row.time = "-0,02";
    row.time_ms = -20;
    row.split = "-0,01";
    row.split_ms = -10;
    row.result = "time";
    heat.rows.push_back(row);

    const std::string csv = Results_Export::To_Csv({heat});
    const std::string line = csv.substr(csv.find("\r\n") + 2);
    const std::string w = c.written;
    EXPECT_EQ(line,
              w + "," + w + "," + w + ",provisional,1,2," + w + ",\"-0,02\",-20,\"-0,01\",-10,time,false,,0,\r\n");
}

const Cell_Case Cell_Cases[] = {
    {"plain name", "Dash", "Dash"},
    {"empty", "", ""},
    {"equals", "=1+2", "\"'=1+2\""},
    {"formula with quotes", "=HYPERLINK(\"http://x\",\"win\")", "\"'=HYPERLINK(\"\"http://x\"\",\"\"win\"\")\""},
    {"plus", "+44 123", "\"'+44 123\""},
    {"minus", "-3", "\"'-3\""},
    {"at", "@SUM(A1:A9)", "\"'@SUM(A1:A9)\""},
    {"leading tab", "\tDash", "\"'\tDash\""},
    {"leading carriage return", "\r=1", "\"'\r=1\""},
    {"equals inside", "Dash=Fast", "Dash=Fast"},
    {"minus inside", "Jean-Luc", "Jean-Luc"},
    {"space before equals", " =1", " =1"},
    {"comma", "Fox, the Flyer", "\"Fox, the Flyer\""},
    {"quote first", "'Dash", "'Dash"},
};
INSTANTIATE_TEST_SUITE_P(Cells, Csv_Text_Cells, ::testing::ValuesIn(Cell_Cases), By_Name());

struct Status_Case {
    const char* name;
    bool declared;
    int changes;         // audit trail entries after the declaration
    const char* status;  // as written in the JSON and the CSV
    int revision;
};

class Recording_Test : public Hdx_Test {
protected:
    // A recording of one timed box, opened for review.
    std::unique_ptr<cls_VideoFile_handler> Record(const std::string& path) {
        {
            cls_VideoFile_handler w;
            w.Set_File_name(path);
            w.Set_Cropped_X(16);
            w.Set_Cropped_Y(8);
            w.Set_RGB_interlaced(false);
            EXPECT_TRUE(w.Initiate_NX3_File(path));
            w.Set_Running_Fps(25);
            w.Set_Hdx_event("Winter Cup");
            w.Set_Hdx_Heat_ID("4");
            w.Set_Hdx_Heat_Name("Final");
            for (int16_t box = 1; box <= 6; ++box) w.Set_Hdx_Dog_name(box, box == 2 ? "Dash" : "");
            w.Set_Hdx_Heat_time(2, false, 28450);
            EXPECT_TRUE(w.Write_XML_Header());
            w.Close_File();
            Frame_List frames;
            cDIBSection p;
            EXPECT_TRUE(p.Create(16, 8));
            frames.Add(p, 1000, 1000, 40);
            EXPECT_EQ(w.Append_Stored_Frames(frames), 1);
            w.Close_File();
        }
        auto h = std::make_unique<cls_VideoFile_handler>();
        EXPECT_TRUE(h->Open_File(path));
        return h;
    }
};

class Heat_Status : public Recording_Test, public ::testing::WithParamInterface<Status_Case> {};

TEST_P(Heat_Status, FollowsTheDeclarationAndTheAuditTrail) {
    const Status_Case& c = GetParam();
    const std::string path = Path("heat.nx3");
    auto handler = Record(path);
    if (c.declared) {
        const Official_Record::Declaration d = Official_Record::Declare(*handler);
        for (int i = 1; i <= c.changes; ++i)
            Official_Record::Append_Change(path, d,
                                           {"2026-12-09 20:3" + std::to_string(i) + ":00", "judges-pc",
                                            "box 2 goal time", "28,45", "28,4" + std::to_string(i), "photo checked"});
    }
    const Results_Export::Heat_Results heat = Results_Export::Read_Heat(*handler, 0);
    EXPECT_EQ(heat.status, c.status);
    EXPECT_EQ(heat.revision, c.revision);

    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(Results_Export::To_Json(heat))).object();
    EXPECT_EQ(json["status"].toString().toStdString(), c.status);
    EXPECT_EQ(json["revision"].toInt(-1), c.revision);
    EXPECT_EQ(json["declared_at"].isNull(), !c.declared);
    if (c.declared) {
        EXPECT_EQ(json["declared_at"].toString().toStdString(), heat.declared_at);
    }
    // The CSV keeps its columns and adds the revision and the declaration time last.
    const std::string csv = Results_Export::To_Csv({heat});
    EXPECT_EQ(csv.substr(0, csv.find("\r\n")),
              "event,heat_id,heat_name,status,rank,box,dog,time,time_ms,split,split_ms,"
              "result,dead_heat,margin,revision,declared_at");
    EXPECT_EQ(heat.declared_at.empty(), !c.declared);
    EXPECT_EQ(csv.substr(csv.find("\r\n") + 2), "Winter Cup,4,Final," + std::string(c.status) +
                                                    ",1,2,Dash,\"28,45\",28450,,,time,false,," +
                                                    std::to_string(c.revision) + "," + heat.declared_at + "\r\n");
}

const Status_Case Status_Cases[] = {
    {"provisional", false, 0, "provisional", 0},
    {"just declared", true, 0, "official", 0},
    {"changed once since", true, 1, "amended", 1},
    {"changed three times since", true, 3, "amended", 3},
};
INSTANTIATE_TEST_SUITE_P(Trail, Heat_Status, ::testing::ValuesIn(Status_Cases), By_Name());

TEST_F(Recording_Test, AMeetingFileGivesEachHeatItsOwnStatusDeclarationAndRevision) {
    auto provisional = Record(Path("heat1.nx3"));
    auto amended = Record(Path("heat2.nx3"));
    const Official_Record::Declaration d = Official_Record::Declare(*amended);
    Official_Record::Append_Change(Path("heat2.nx3"), d,
                                   {"2026-12-09 20:31:00", "judges-pc", "box 2 goal time", "28,45", "28,41", "photo"});
    const std::vector<Results_Export::Heat_Results> heats = {Results_Export::Read_Heat(*provisional, 0),
                                                             Results_Export::Read_Heat(*amended, 0)};
    ASSERT_FALSE(d.declared_at.empty());

    const std::string csv = Results_Export::To_Csv(heats);
    const std::vector<std::string> lines = [&] {
        std::vector<std::string> out;
        for (size_t at = 0, next; (next = csv.find("\r\n", at)) != std::string::npos; at = next + 2)
            out.push_back(csv.substr(at, next - at));
        return out;
    }();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].substr(0, 32), "Winter Cup,4,Final,provisional,1");
    EXPECT_EQ(lines[1].substr(lines[1].size() - 3), ",0,");
    EXPECT_EQ(lines[2].substr(0, 28), "Winter Cup,4,Final,amended,1");
    EXPECT_EQ(lines[2].substr(lines[2].size() - d.declared_at.size() - 3), ",1," + d.declared_at);

    const QJsonObject meeting =
        QJsonDocument::fromJson(QByteArray::fromStdString(Results_Export::To_Json("Winter Cup", heats))).object();
    const QJsonArray list = meeting["heats"].toArray();
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0].toObject()["status"].toString(), "provisional");
    EXPECT_TRUE(list[0].toObject()["declared_at"].isNull());
    EXPECT_EQ(list[0].toObject()["revision"].toInt(-1), 0);
    EXPECT_EQ(list[1].toObject()["status"].toString(), "amended");
    EXPECT_EQ(list[1].toObject()["declared_at"].toString().toStdString(), d.declared_at);
    EXPECT_EQ(list[1].toObject()["revision"].toInt(-1), 1);
}

TEST_F(Recording_Test, ADamagedTrailIsNamedAndNotTakenForAnUnchangedHeat) {
    const std::string path = Path("heat.nx3");
    auto handler = Record(path);
    Official_Record::Declare(*handler);
    std::ofstream(Official_Record::Audit_Path(path), std::ios::trunc) << "{\"changes\": [";
    try {
        Results_Export::Read_Heat(*handler, 0);
        ADD_FAILURE() << "a heat whose trail cannot be read was exported";
    } catch (const HdxError& e) {
        EXPECT_NE(e.description.find("The audit trail " + Official_Record::Audit_Path(path) + " is damaged"),
                  std::string::npos)
            << e.description;
    }
}

}  // namespace
