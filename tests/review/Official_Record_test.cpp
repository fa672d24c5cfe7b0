// An official heat's evidence: what its hash covers, and a change after the
// declaration that is kept in the trail before the header, both or neither.
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "Test_Env.h"
#include "platform/Files.h"
#include "recording/cls_VideoFile_handler.h"
#include "review/Official_Record.h"

namespace fs = std::filesystem;
using namespace Official_Record;

namespace {

class Official_Record_Test : public Hdx_Test {
public:
    void SetUp() override {
        Hdx_Test::SetUp();
        Make_Heat();
    }

    // A new provisional heat with two results, open in h.
    void Make_Heat() {
        path = Platform::Join_Path(Temp_Dir(), "heat 7.nx3");
        h.Set_Cropped_X(64);
        h.Set_Cropped_Y(48);
        ASSERT_TRUE(h.Initiate_NX3_File(path));
        ASSERT_TRUE(h.Open_File(path));
        h.Set_Hdx_Dog_name(1, "Ace");
        h.Set_Hdx_Dog_name(2, "Bo");
        h.Set_Hdx_Heat_time(1, false, 28450);
        h.Set_Hdx_Heat_time(2, false, 28990);
        ASSERT_TRUE(h.Write_XML_Header());
    }

    Change_Outcome Set_Time(int16_t box, int32_t time, const std::string& reason = "photo checked again") {
        return Apply_Change(
            h, "box " + std::to_string(box) + " goal time", reason, [&] { return Box_Value(h, box, false); },
            [&] {
                h.Set_Hdx_Heat_time(box, false, time);
                h.Write_XML_Header();  // held: written once, after the trail
            });
    }

    std::string Audit() const { return Audit_Path(path); }

    cls_VideoFile_handler h;
    std::string path;
};

// Every value of the results part moves the hash; values outside it do not.
TEST_F(Official_Record_Test, TheResultsHashCoversEveryResultValueAndNothingElse) {
    struct Case {
        const char* name;
        std::function<void(cls_VideoFile_handler&)> change;
        bool covered;
    };
    const std::vector<Case> cases = {
        {"dog name", [](auto& x) { x.Set_Hdx_Dog_name(3, "Cy"); }, true},
        {"goal time", [](auto& x) { x.Set_Hdx_Heat_time(1, false, 28451); }, true},
        {"goal time DNF", [](auto& x) { x.Set_Hdx_Heat_time(2, false, 888886); }, true},
        {"split time", [](auto& x) { x.Set_Hdx_Heat_time(2, true, 15000); }, true},
        {"click time", [](auto& x) { x.Set_Hdx_Heat_Click_Time(1, 123456); }, true},
        {"dead heat", [](auto& x) { x.Set_Hdx_dead_heat(1, true); }, true},
        {"box 8 name", [](auto& x) { x.Set_Hdx_Dog_name(8, "Hal"); }, true},
        {"box delay", [](auto& x) { x.Set_Hdx_box_delay("120"); }, true},
        {"goal compensation", [](auto& x) { x.Set_Hdx_Goal_compensation("12"); }, true},
        {"split compensation", [](auto& x) { x.Set_Hdx_Split_compensation("7"); }, true},
        {"start PC mill", [](auto& x) { x.Set_Hdx_start_PC_mill(5000); }, true},
        {"start local mill", [](auto& x) { x.Set_Hdx_heat_start_local(6000); }, true},
        {"start date-time", [](auto& x) { x.Set_Hdx_start_DateTime("2026-05-16 14:20:00"); }, true},
        {"review position", [](auto& x) { x.Set_Hdx_heat_frame(1, 77); }, false},
        {"update stamp", [](auto& x) { x.Header().Set_Update_Time("2030-01-01 00:00:00"); }, false},
        {"official mark", [](auto& x) { x.Header().Set_Hdr_spare2("official|x|y"); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string text = h.Header().XML_string();
        const std::string before = Results_SHA256(h);
        c.change(h);
        EXPECT_EQ(Results_SHA256(h) != before, c.covered);
        h.Header().Set_XML_string(text);
        EXPECT_EQ(Results_SHA256(h), before);
    }
}

TEST(Official_Declaration, TheSpareElementReadsNewAndOlderDeclarations) {
    const std::string a(64, 'a'), b(64, 'b'), c(64, 'c');
    struct Case {
        std::string element;
        bool official;
        std::string results, head;
    };
    const std::vector<Case> cases = {
        {"official|2026-05-16 14:20:00|" + a + "|" + b + "|" + c, true, b, c},
        {"official|2026-05-16 14:20:00|" + a, true, "", ""},            // frames only
        {"official|2026-05-16 14:20:00|" + a + "||" + c, true, "", c},  // frames only, changes chained since
        {"0000", false, "", ""},
        {"official|2026-05-16 14:20:00|" + a + "|" + b, false, "", ""},
        {"official|2026-05-16 14:20:00|" + a + "|" + b + "|", false, "", ""},
        {"official|2026-05-16 14:20:00|" + a + "|" + b + "|" + c + "|" + c, false, "", ""},
        {"offishal|2026-05-16 14:20:00|" + a, false, "", ""},
        {"official|2026-05-16 14:20:00|" + a.substr(1) + "g", false, "", ""},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.element);
        const Declaration d = Parse_Declaration(k.element);
        EXPECT_EQ(d.official, k.official);
        EXPECT_EQ(d.results_sha256, k.results);
        EXPECT_EQ(d.trail_head_sha256, k.head);
        if (k.official) {
            EXPECT_EQ(Declaration_Element(d), k.element);
        }
    }
}

// Each change is chained to the one before and records the results after it;
// the header names the trail's last entry. The evidence then holds.
TEST_F(Official_Record_Test, ChangesAreChainedIntoTheTrailAndTheEvidenceHolds) {
    const Declaration d = Declare(h);
    EXPECT_EQ(d.results_sha256, Results_SHA256(h));
    EXPECT_EQ(d.trail_head_sha256, Declaration_SHA256(d));
    ASSERT_TRUE(Set_Time(1, 28460).done);
    ASSERT_TRUE(Set_Time(2, 888887, "disqualified by the stewards").done);

    cls_VideoFile_handler reopened;
    ASSERT_TRUE(reopened.Open_File(path));
    EXPECT_EQ(reopened.Hdx_Heat_time(2, false), 888887);
    const std::vector<Change> trail = Read_Trail(path);
    ASSERT_EQ(trail.size(), 2u);
    EXPECT_EQ(trail[0].previous_sha256, Declaration_SHA256(d));
    EXPECT_EQ(trail[1].previous_sha256, Change_SHA256(trail[0]));
    EXPECT_EQ(trail[1].results_sha256, Results_SHA256(reopened));
    EXPECT_EQ(trail[1].old_value, "28,99");
    EXPECT_EQ(trail[1].new_value, "DSQ");
    EXPECT_EQ(trail[1].reason, "disqualified by the stewards");
    EXPECT_EQ(Read_Declaration(reopened).trail_head_sha256, Change_SHA256(trail[1]));
    const Evidence e = Check_Evidence(reopened, true);
    EXPECT_TRUE(e.Holds()) << e.problems.front();
    EXPECT_TRUE(errors.errors.empty());
}

// What stops a change of an official heat before anything is written.
TEST_F(Official_Record_Test, AChangeThatCannotBeKeptIsRefusedAndChangesNothing) {
    struct Case {
        const char* name;
        std::function<void(Official_Record_Test&)> before;
        std::string reason;
        std::string refusal;  // part of the error
    };
    const std::vector<Case> cases = {
        {"no reason", [](auto&) {}, " \t", Refusal_Text},
        // A trail that went missing is never started again with only the new change.
        {"trail deleted", [](auto& t) { Platform::Delete_File(t.Audit()); }, "late entry", "is missing"},
        {"trail damaged",
         [](auto& t) {
             std::string b = Read_Text(t.Audit());
             Write_Text(t.Audit(), b.substr(0, b.size() / 2));
         },
         "late entry", "cannot be read"},
        {"header edited",
         [](auto& t) {
             t.h.Set_Hdx_Heat_time(2, false, 27990);
             t.h.Write_XML_Header();
         },
         "late entry", "a value was changed without a trail entry"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Make_Heat();
        Declare(h);
        c.before(*this);
        const std::string header = Read_Text(path), memory = h.Header().XML_string();
        const bool had_trail = Platform::File_Exists(Audit());
        const std::string trail = Read_Text(Audit());
        const Change_Outcome out = Set_Time(1, 30000, c.reason);
        EXPECT_FALSE(out.done);
        EXPECT_NE(out.error.find(c.refusal), std::string::npos) << out.error;
        EXPECT_EQ(Read_Text(path), header);
        EXPECT_EQ(h.Header().XML_string(), memory);
        EXPECT_EQ(Platform::File_Exists(Audit()), had_trail);
        EXPECT_EQ(Read_Text(Audit()), trail);
    }
}

// A heat whose official mark was removed while its trail lies beside it is not
// changed as a provisional one.
TEST_F(Official_Record_Test, AHeatWhoseOfficialMarkWasRemovedIsNotChanged) {
    Declare(h);
    h.Header().Set_Hdr_spare2("0000");
    ASSERT_TRUE(h.Write_XML_Header());
    const Change_Outcome out = Set_Time(1, 30000, "");
    EXPECT_FALSE(out.done);
    EXPECT_NE(out.error.find("official mark was removed"), std::string::npos) << out.error;
    EXPECT_EQ(h.Hdx_Heat_time(1, false), 28450);
}

// The trail's write needs new space; when it fails (here a file size limit
// stands for a full disk) the header is not written either.
TEST_F(Official_Record_Test, ATrailThatCannotBeWrittenLeavesTheHeaderAsItWas) {
    Declare(h);
    const std::string header = Read_Text(path), trail = Read_Text(Audit());
    const std::string long_reason(40000, 'r');  // the trail outgrows the limit, the header copy does not
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limit = old;
    limit.rlim_cur = 36000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const Change_Outcome out = Set_Time(1, 30000, long_reason);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(out.done);
    EXPECT_NE(out.error.find("The audit trail " + Audit() + " cannot be written"), std::string::npos) << out.error;
    EXPECT_EQ(Read_Text(path), header);
    EXPECT_EQ(Read_Text(Audit()), trail);
    EXPECT_EQ(h.Hdx_Heat_time(1, false), 28450);
    EXPECT_TRUE(Check_Evidence(h).Holds());
}

// A header that cannot be written (here its copy's place is taken by a folder)
// takes the trail entry back, official or not, and the header in memory too.
TEST_F(Official_Record_Test, AHeaderThatCannotBeWrittenTakesTheChangeBack) {
    for (const bool official : {true, false}) {
        SCOPED_TRACE(official ? "official" : "provisional");
        Make_Heat();
        if (official) Declare(h);
        const std::string header = Read_Text(path), trail = Read_Text(Audit());
        fs::create_directory(cls_VideoFile_handler::Header_Copy_Path(path));
        const Change_Outcome out = Set_Time(1, 30000);
        fs::remove(cls_VideoFile_handler::Header_Copy_Path(path));
        EXPECT_FALSE(out.done);
        EXPECT_NE(out.error.find("The header could not be written"), std::string::npos) << out.error;
        EXPECT_EQ(Read_Text(path), header);
        EXPECT_EQ(Read_Text(Audit()), trail);
        EXPECT_EQ(h.Hdx_Heat_time(1, false), 28450);
        EXPECT_TRUE(Check_Evidence(h).Holds());
        // Once the header can be written again, the change goes through whole.
        ASSERT_TRUE(Set_Time(1, 30000).done);
        EXPECT_EQ(Read_Trail(path).size(), official ? 1u : 0u);
        EXPECT_TRUE(Check_Evidence(h).Holds());
        errors.errors.clear();
    }
}

// The caller's wrapper asks the reason and reports what fails.
TEST_F(Official_Record_Test, ChangeResultAsksTheReasonAndReportsARefusal) {
    Declare(h);
    const auto change = [&](int32_t time) {
        return Change_Result(
            h, "box 1 goal time", [&] { return Box_Value(h, 1, false); }, [&] { h.Set_Hdx_Heat_time(1, false, time); });
    };
    dialogs.Answer_Input(std::nullopt);
    EXPECT_FALSE(change(30000));
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{Refusal_Text});
    dialogs.Answer_Input("judge's recheck");
    EXPECT_TRUE(change(30000));
    ASSERT_EQ(Read_Trail(path).size(), 1u);
    EXPECT_EQ(Read_Trail(path)[0].reason, "judge's recheck");

    Platform::Delete_File(Audit());
    EXPECT_FALSE(change(31000));
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_NE(errors.errors[0].description.find("is missing"), std::string::npos);
    EXPECT_FALSE(Platform::File_Exists(Audit()));
    EXPECT_EQ(h.Hdx_Heat_time(1, false), 30000);
}

}  // namespace
