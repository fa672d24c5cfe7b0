// The header block is rewritten in place; its names and results must survive
// a write cut short at any point, by way of the copy kept beside it.
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "Test_Env.h"
#include "platform/Files.h"
#include "recording/NX3_Layout.h"
#include "recording/cls_VideoFile_handler.h"

namespace fs = std::filesystem;

namespace {

struct Results {
    std::vector<std::string> names;
    std::vector<int32_t> times;
    bool operator==(const Results&) const = default;
};

void PrintTo(const Results& r, std::ostream* out) {
    for (size_t i = 0; i < r.names.size(); ++i) *out << (i ? "; " : "") << r.names[i] << " " << r.times[i];
}

constexpr int16_t Boxes = 6;  // their records span several 512-byte pieces of the block
const Results Old_Results{{"Ace", "Bo", "Cy", "Di", "Ed", "Fa"}, {0, 0, 0, 0, 0, 0}};
// Longer than the old texts, so a torn block cannot pass for either.
const Results New_Results{
    {"Alpha Centauri Runner", "Bolt of the Moor", "Cyclone Queen", "Dusk Till Dawn", "Eastern Promise", "Firefly"},
    {28450, 888886, 29010, 999999, 28990, 888887}};

void Put(cls_VideoFile_handler& h, const Results& r) {
    for (int16_t box = 1; box <= Boxes; ++box) {
        h.Set_Hdx_Dog_name(box, r.names[static_cast<size_t>(box - 1)]);
        h.Set_Hdx_Heat_time(box, false, r.times[static_cast<size_t>(box - 1)]);
    }
}

Results Get(cls_VideoFile_handler& h) {
    Results r;
    for (int16_t box = 1; box <= Boxes; ++box) {
        r.names.push_back(h.Hdx_Dog_name(box));
        r.times.push_back(h.Hdx_Heat_time(box, false));
    }
    return r;
}

class Header_Copy_Test : public Hdx_Test {
protected:
    // A recording (no frames) holding the old results.
    std::string Make(const std::string& folder) {
        const std::string path = Platform::Join_Path(folder, "heat 4.nx3");
        cls_VideoFile_handler h;
        h.Set_Cropped_X(64);
        h.Set_Cropped_Y(48);
        EXPECT_TRUE(h.Initiate_NX3_File(path));
        EXPECT_TRUE(h.Open_File(path));
        Put(h, Old_Results);
        EXPECT_TRUE(h.Write_XML_Header());
        return path;
    }
    std::string Copy_Of(const std::string& path) { return cls_VideoFile_handler::Header_Copy_Path(path); }
};

// A power cut at every point of the rewrite: after the copy is written, and
// after every 512 bytes of the block in place. What is on the disk then is
// copied aside and opened: old or new results, never a mix or nothing.
TEST_F(Header_Copy_Test, AWriteCutShortAtEvery512BytesOpensWithTheOldOrTheNewResults) {
    const std::string path = Make(Temp_Dir());
    struct Cut {
        int64_t in_place;
        std::string folder;
    };
    std::vector<Cut> cuts;
    {
        cls_VideoFile_handler h;
        ASSERT_TRUE(h.Open_File(path));
        Put(h, New_Results);
        cls_VideoFile_handler::Set_Header_Write_Observer([&](int64_t in_place) {
            Cut cut{in_place, Temp_Dir()};
            for (const std::string& f : {path, Copy_Of(path)})
                if (Platform::File_Exists(f))
                    fs::copy_file(f, Platform::Join_Path(cut.folder, fs::path(f).filename().string()));
            cuts.push_back(cut);
        });
        const bool done = h.Write_XML_Header();
        cls_VideoFile_handler::Set_Header_Write_Observer(nullptr);
        ASSERT_TRUE(done);
    }
    ASSERT_EQ(cuts.size(), 1u + (NX3::Header_Block_Size + 511) / 512);
    const std::string written = Read_Text(path).substr(0, NX3::Header_Block_Size);
    for (const Cut& cut : cuts) {
        SCOPED_TRACE("cut with " + std::to_string(cut.in_place) + " bytes in place");
        const std::string torn = Platform::Join_Path(cut.folder, "heat 4.nx3");
        // Past the end of its text the new block may already be whole.
        const bool whole = Read_Text(torn).substr(0, NX3::Header_Block_Size) == written;
        EXPECT_TRUE(whole || cut.in_place < NX3::Header_Block_Size);
        {
            cls_VideoFile_handler h;
            ASSERT_TRUE(h.Open_File(torn));
            const Results found = Get(h);
            EXPECT_TRUE(found == Old_Results || found == New_Results) << ::testing::PrintToString(found);
            EXPECT_EQ(found, New_Results);  // the copy was written before any byte in place
            EXPECT_EQ(h.Header_Recovered().empty(), whole) << h.Header_Recovered();
            if (!whole) {
                EXPECT_NE(h.Header_Recovered().find("written back"), std::string::npos) << h.Header_Recovered();
            }
        }
        // Repaired in place: the copy is gone and the recording opens as it is.
        EXPECT_FALSE(Platform::File_Exists(Copy_Of(torn)));
        cls_VideoFile_handler again;
        ASSERT_TRUE(again.Open_File(torn));
        EXPECT_EQ(Get(again), New_Results);
        EXPECT_TRUE(again.Header_Recovered().empty());
    }
    // The write that finished leaves no copy behind.
    EXPECT_FALSE(Platform::File_Exists(Copy_Of(path)));
    EXPECT_TRUE(errors.errors.empty());
}

// A copy that is not sound is never used: the recording opens from its own
// block, and the copy is left where it is for whoever looks into it.
TEST_F(Header_Copy_Test, AnUnsoundCopyIsIgnoredAndLeft) {
    struct Case {
        const char* name;
        void (*damage)(std::string& copy);
    };
    const Case cases[] = {
        {"one byte of the block changed", [](std::string& c) { c[c.size() - 100] ^= 0x20; }},
        {"cut short", [](std::string& c) { c.resize(c.size() - 512); }},
        {"checksum changed", [](std::string& c) { c[c.find("sha256 ") + 7] ^= 0x01; }},
        {"not a header copy", [](std::string& c) { c[0] = 'X'; }},
        {"empty", [](std::string& c) { c.clear(); }},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        const std::string path = Make(Temp_Dir());
        std::string copy;
        {
            // A sound copy of new results, as a cut write leaves it.
            cls_VideoFile_handler h;
            ASSERT_TRUE(h.Open_File(path));
            Put(h, New_Results);
            cls_VideoFile_handler::Set_Header_Write_Observer([&](int64_t in_place) {
                if (in_place == -1) copy = Read_Text(Copy_Of(path));
            });
            h.Write_XML_Header();
            cls_VideoFile_handler::Set_Header_Write_Observer(nullptr);
            Put(h, Old_Results);
            ASSERT_TRUE(h.Write_XML_Header());
        }
        ASSERT_FALSE(copy.empty());
        k.damage(copy);
        Write_Text(Copy_Of(path), copy);
        cls_VideoFile_handler h;
        ASSERT_TRUE(h.Open_File(path));
        EXPECT_EQ(Get(h), Old_Results);
        EXPECT_TRUE(h.Header_Recovered().empty());
        EXPECT_EQ(Read_Text(Copy_Of(path)), copy);
        EXPECT_TRUE(traces.Has("*Read_NX3_Headers, the header copy " + Copy_Of(path) +
                               " is not sound: ignored and left as it is"));
    }
}

// A cut write found where the recording may not be written (read-only, or a
// check that must change nothing): the copy's header is used, the file is left.
TEST_F(Header_Copy_Test, ACutWriteIsReadButNotRepairedWhereTheFileMustStay) {
    for (const bool read_only : {true, false}) {
        SCOPED_TRACE(read_only ? "read-only recording" : "repair switched off");
        const std::string path = Make(Temp_Dir());
        std::string torn;
        {
            cls_VideoFile_handler h;
            ASSERT_TRUE(h.Open_File(path));
            Put(h, New_Results);
            cls_VideoFile_handler::Set_Header_Write_Observer([&](int64_t in_place) {
                if (in_place == 4096) {
                    torn = Read_Text(path);
                    fs::copy_file(Copy_Of(path), Copy_Of(path) + ".kept");
                }
            });
            ASSERT_TRUE(h.Write_XML_Header());
            cls_VideoFile_handler::Set_Header_Write_Observer(nullptr);
        }
        Write_Text(path, torn);
        fs::rename(Copy_Of(path) + ".kept", Copy_Of(path));
        if (read_only) Platform::Set_Read_Only(path, true);
        cls_VideoFile_handler h;
        h.Set_Repair_Header(read_only);
        ASSERT_TRUE(h.Open_File(path));
        EXPECT_EQ(Get(h), New_Results);
        EXPECT_NE(h.Header_Recovered().find("not repaired"), std::string::npos) << h.Header_Recovered();
        EXPECT_TRUE(traces.Has("*Read_NX3_Headers, " + h.Header_Recovered()));
        h.Close_File();
        EXPECT_EQ(Read_Text(path), torn);
        EXPECT_TRUE(Platform::File_Exists(Copy_Of(path)));
    }
}

// A copy left beside a recording that was removed belongs to no new one.
TEST_F(Header_Copy_Test, ANewRecordingIgnoresTheCopyOfARemovedOne) {
    const std::string folder = Temp_Dir();
    const std::string path = Make(folder);
    {
        cls_VideoFile_handler h;
        ASSERT_TRUE(h.Open_File(path));
        Put(h, New_Results);
        cls_VideoFile_handler::Set_Header_Write_Observer([&](int64_t in_place) {
            if (in_place == -1) fs::copy_file(Copy_Of(path), Copy_Of(path) + ".kept");
        });
        ASSERT_TRUE(h.Write_XML_Header());
        cls_VideoFile_handler::Set_Header_Write_Observer(nullptr);
    }
    Platform::Delete_File(path);
    fs::rename(Copy_Of(path) + ".kept", Copy_Of(path));
    Make(folder);
    cls_VideoFile_handler h;
    ASSERT_TRUE(h.Open_File(path));
    EXPECT_EQ(Get(h), Old_Results);
    EXPECT_TRUE(h.Header_Recovered().empty());
}

}  // namespace
