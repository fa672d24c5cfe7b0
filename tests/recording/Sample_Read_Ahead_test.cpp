// Reading the neighbouring frame ahead: whatever path the review takes, every
// picture is the one a fresh reader makes of that frame, a damaged sample is
// still found and reported by the reader, and closing while the worker reads
// is safe.
#include <cstring>
#include <string>
#include <vector>

#include "Test_Env.h"
#include "Test_Name.h"
#include "Test_Pictures.h"
#include "platform/Files.h"
#include "recording/NX3_Layout.h"
#include "recording/Sample_Read_Ahead.h"
#include "recording/cls_VideoFile_handler.h"

namespace {

constexpr int32_t Width = 96;
constexpr int32_t Height = 64;
constexpr int Frames = 6;

enum class Kind { Stacked, Interleaved, Progressive };

struct Walk_Case {
    const char* name;
    Kind kind;
    std::vector<int32_t> positions;  // fields when interlaced, frames when progressive
};

class Read_Ahead : public Hdx_Test, public ::testing::WithParamInterface<Walk_Case> {
protected:
    // Frames of distinct noise, so a picture of the wrong frame cannot pass.
    std::string Record(Kind kind) {
        const std::string path = Platform::Join_Path(Temp_Dir(), "heat.nx3");
        cls_VideoFile_handler h;
        h.Set_Cropped_X(Width);
        h.Set_Cropped_Y(Height);
        h.Set_RGB_interlaced(kind != Kind::Progressive);
        h.Set_Stack_Fields(kind == Kind::Stacked);
        EXPECT_TRUE(h.Initiate_NX3_File(path));
        Frame_List list;
        for (int i = 1; i <= Frames; ++i) {
            cDIBSection p;
            p.Create(Width, Height);
            Fill_Noise(p, static_cast<uint32_t>(i), 60);
            list.Add(p, 1000 + 40 * i, 2000 + 40 * i, 40);
        }
        EXPECT_EQ(h.Append_Stored_Frames(list), Frames);
        h.Close_File();
        return path;
    }
    // What a reader that has read nothing before shows at position p.
    static std::vector<uint8_t> Fresh(const std::string& path, int32_t p) {
        cls_VideoFile_handler h;
        EXPECT_TRUE(h.Open_File(path));
        const cDIBSection* shown = h.Prepare_Position(p);
        if (!shown) return {};
        return {shown->DIBSectionBitsPtr(), shown->DIBSectionBitsPtr() + shown->SizeImage()};
    }
};

TEST_P(Read_Ahead, EveryPositionShowsWhatAFreshReaderShows) {
    const Walk_Case& c = GetParam();
    const std::string path = Record(c.kind);
    cls_VideoFile_handler h;
    ASSERT_TRUE(h.Open_File(path));
    for (int32_t p : c.positions) {
        const cDIBSection* shown = h.Prepare_Position(p);
        ASSERT_NE(shown, nullptr) << "position " << p;
        const std::vector<uint8_t> want = Fresh(path, p);
        ASSERT_EQ(static_cast<size_t>(shown->SizeImage()), want.size());
        EXPECT_EQ(std::memcmp(shown->DIBSectionBitsPtr(), want.data(), want.size()), 0) << "position " << p;
        EXPECT_EQ(h.NX3_Capture_mill(), 1000 + 40 * h.Frame_Of_Position(p)) << "position " << p;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Walks, Read_Ahead,
    ::testing::Values(Walk_Case{"stacked fields onward", Kind::Stacked, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
                      Walk_Case{"stacked fields back", Kind::Stacked, {12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}},
                      Walk_Case{"interleaved turn and jump", Kind::Interleaved, {5, 7, 9, 7, 5, 3, 11, 1, 12, 2}},
                      Walk_Case{"progressive onward and back", Kind::Progressive, {1, 2, 3, 4, 3, 2, 1, 2, 6, 5}},
                      Walk_Case{"progressive same frame again", Kind::Progressive, {3, 3, 4, 4, 4, 5}}),
    [](const auto& p) { return Test_Name(p.param.name); });

TEST_F(Read_Ahead, ADamagedSampleIsReportedByTheReaderWhicheverWayItIsReached) {
    const std::string path = Record(Kind::Progressive);
    {
        // Frame 3's JPEG size beyond its data area.
        cls_VideoFile_handler h;
        ASSERT_TRUE(h.Open_File(path));
        std::string bytes = Read_Text(path);
        const size_t at = static_cast<size_t>(h.RGB_video_adress(3) - 1 + NX3::Sample::JPEG_Size);
        h.Close_File();
        NX3::Put_I32(reinterpret_cast<uint8_t*>(bytes.data()) + at, h.Read_Sample_Size() + 10);
        Write_Text(path, bytes);
    }
    for (const std::vector<int32_t>& walk : {std::vector<int32_t>{1, 2, 3}, std::vector<int32_t>{5, 4, 3}}) {
        cls_VideoFile_handler h;
        ASSERT_TRUE(h.Open_File(path));
        for (int32_t p : walk) {
            h.Prepare_Position(p);
            EXPECT_EQ(h.Damaged_Frame(), p == 3) << "frame " << p;
        }
    }
}

TEST_F(Read_Ahead, TheWorkerHandsOverOnlyTheFrameAndFileAskedFor) {
    const std::string path = Record(Kind::Progressive);
    cls_VideoFile_handler h;
    ASSERT_TRUE(h.Open_File(path));
    Sample_Read_Ahead::Geometry where{path, NX3::First_Sample_Offset + 1, h.Read_Sample_Size(), Frames, Width, Height};
    Sample_Read_Ahead ahead;
    std::vector<uint8_t> sample;
    cDIBSection picture;
    ahead.Request(where, 2);
    EXPECT_FALSE(ahead.Take(where, 3, sample, picture));
    Sample_Read_Ahead::Geometry grown = where;
    grown.frames = Frames + 1;
    EXPECT_FALSE(ahead.Take(grown, 2, sample, picture));
    ASSERT_TRUE(ahead.Take(where, 2, sample, picture));
    const std::vector<uint8_t> want = Fresh(path, 2);
    ASSERT_EQ(static_cast<size_t>(picture.SizeImage()), want.size());
    EXPECT_EQ(std::memcmp(picture.DIBSectionBitsPtr(), want.data(), want.size()), 0);
    // Taken once; forgotten when dropped.
    EXPECT_FALSE(ahead.Take(where, 2, sample, picture));
    ahead.Request(where, 4);
    ahead.Drop();
    EXPECT_FALSE(ahead.Take(where, 4, sample, picture));
    // Closing right after a step, with the worker still reading, is safe.
    for (int i = 0; i < 20; ++i) {
        h.Prepare_Position(1 + i % Frames);
        h.Close_File();
        ASSERT_TRUE(h.Open_File(path));
    }
}

}  // namespace
