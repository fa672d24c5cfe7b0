// A capture window's journal folded into its recording after a crash at any
// point of the window or its append, or after an append that failed: every
// frame once and in order, or, when journal and recording disagree, nothing
// changed and the journal kept.
#include <csignal>
#include <cstdio>
#include <fstream>

#include <sys/resource.h>
#include <unistd.h>

#include "Test_Env.h"
#include "Test_Name.h"
#include "Test_Pictures.h"
#include "platform/Files.h"
#include "recording/Frame_Journal.h"
#include "recording/NX3_Layout.h"
#include "recording/cls_VideoFile_handler.h"
#include "recording/mIntelJPEGLibrary.h"

namespace {

constexpr int32_t W = 64, H = 48;
constexpr int Before = 4;  // samples of an earlier window, then the window's
// Two of the window's frames share a stamp across the crash point of 3.
const std::vector<int32_t> Stamp{1000, 1020, 1040, 1060, 2000, 2020, 2040, 2040, 2060, 2080};

// Later writes to this process's files fail once they reach bytes (as root
// too); -1 lifts the limit again (the death test's report is a file too).
void Limit_File_Size(int64_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes < 0 ? limit.rlim_max : static_cast<rlim_t>(bytes);
    setrlimit(RLIMIT_FSIZE, &limit);
}

class Journal_Recovery : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        path = Platform::Join_Path(Temp_Dir(), "heat.nx3");
        writer.Set_Cropped_X(W);
        writer.Set_Cropped_Y(H);
        ASSERT_TRUE(writer.Initiate_NX3_File(path));
        ASSERT_EQ(writer.Append_Stored_Frames(*Frames(-Before, 0)), Before);
    }
    // Frames [from, to) of the window (negative: the earlier window's).
    std::unique_ptr<Frame_List> Frames(int from, int to) {
        auto list = std::make_unique<Frame_List>();
        for (int i = from; i < to; ++i) list->Add(Picture(i), Stamp[size_t(Before + i)]);
        return list;
    }
    const cDIBSection& Picture(int i) {
        picture.Create(W, H);
        Fill_Noise(picture, static_cast<uint32_t>(i + Before), 20);
        return picture;
    }
    // The window's first records journalled as the compression workers do
    // (not in arrival order), then `unreadable` ones whose pictures do not decode.
    void Journal(int records, int32_t frames_before, int unreadable = 0) {
        Frame_Journal journal(path, frames_before);
        std::vector<uint8_t> jpeg(100000);
        for (int j = 0; j < records + unreadable; ++j) {
            const int i = (j ^ 1) < records ? j ^ 1 : j;
            int32_t size = 50;
            if (i < records) {
                size = static_cast<int32_t>(jpeg.size());
                mIntelJPEGLibrary::Encode_DIB_To_JPG(Picture(i), jpeg.data(), size, 80);
            }
            Stored_Frame_Ref f;
            f.Capture_Mill = i < records ? Stamp[size_t(Before + i)] : 3000;
            f.Jpeg = Stored_Jpeg{jpeg.data(), size, i < records ? int16_t(80) : int16_t(70), 0, false, size, size};
            journal.Add(100 + i, f);
        }
    }
    std::vector<int32_t> Stamps() {
        cls_VideoFile_handler r;
        std::vector<int32_t> out;
        if (!r.Open_File(path)) return out;
        EXPECT_EQ(r.Header().G_Frames_no(), r.num_Frames()) << "the header does not count the samples";
        for (int16_t n = 1; n <= r.num_Frames(); ++n)
            out.push_back(r.Read_RGB_sample(n, true) && !r.Damaged_Frame() ? r.NX3_Capture_mill() : -1);
        return out;
    }
    static std::vector<int32_t> Expected(int window_frames) {
        return {Stamp.begin(), Stamp.begin() + Before + window_frames};
    }

    std::string path;
    cls_VideoFile_handler writer;
    cDIBSection picture;
};

enum class After { Counted, Header_Behind, Torn_Sample };
struct Crash {
    const char* name;
    int records, appended;  // journal records; window frames in the recording at the crash
    After after;
    int frames_before_off;  // the journal's frames_before minus the samples really there
    bool fits;
    int unreadable = 0;  // records after them that cannot be stored
};
class Crash_Point : public Journal_Recovery, public ::testing::WithParamInterface<Crash> {};

TEST_P(Crash_Point, RecoveryStoresEveryFrameOnceInOrderOrChangesNothing) {
    const Crash& c = GetParam();
    Journal(c.records, Before + c.frames_before_off, c.unreadable);
    const std::string header = Read_Text(path).substr(0, NX3::Header_Block_Size);
    if (c.appended > 0) {
        ASSERT_EQ(writer.Append_Stored_Frames(*Frames(0, c.appended)), c.appended);
    }
    {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        if (c.after == After::Header_Behind) f.write(header.data(), std::streamsize(header.size()));
        f.seekp(0, std::ios::end);
        if (c.after == After::Torn_Sample) f.write(header.data(), 300);
    }
    const std::string file = Read_Text(path), journal = Read_Text(Frame_Journal::Path_For(path));

    cls_VideoFile_handler h;
    h.Set_File_name(path);
    if (c.fits) {
        EXPECT_EQ(h.Recover_Journal(), c.records - c.appended);
        EXPECT_EQ(Stamps(), Expected(c.records));
        EXPECT_FALSE(Platform::File_Exists(Frame_Journal::Path_For(path)));
        EXPECT_EQ(errors.errors.size(), size_t(c.unreadable)) << "reported: one for each frame that cannot be stored";
    } else {
        EXPECT_EQ(h.Recover_Journal(), cls_VideoFile_handler::Journal_Kept);
        EXPECT_EQ(Read_Text(path), file) << "the recording was changed";
        EXPECT_EQ(Read_Text(Frame_Journal::Path_For(path)), journal);
        ASSERT_EQ(errors.errors.size(), 1u);
        EXPECT_NE(errors.errors[0].description.find("does not fit its recording"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Points, Crash_Point,
    ::testing::Values(Crash{"while the window was open", 6, 0, After::Counted, 0, true},
                      Crash{"in the append between equal stamps", 6, 3, After::Counted, 0, true},
                      Crash{"in the append before the header counted", 6, 3, After::Header_Behind, 0, true},
                      Crash{"in the append writing a sample", 6, 3, After::Torn_Sample, 0, true},
                      Crash{"before the journal was deleted", 6, 6, After::Header_Behind, 0, true},
                      Crash{"before frames that cannot be stored", 6, 6, After::Header_Behind, 0, true, 1},
                      Crash{"with the journal's last records lost", 4, 0, After::Counted, 0, true},
                      Crash{"when the journal has fewer frames than appended", 4, 6, After::Counted, 0, false},
                      Crash{"when the recording lost samples", 6, 0, After::Counted, 2, false},
                      Crash{"when the stamps disagree", 6, 0, After::Counted, -1, false}),
    By_Name());

struct Failure {
    const char* name;
    int samples_room;  // samples that still fit (-1: the recording is read-only)
    const char* why;
};
class Failed_Append : public Journal_Recovery, public ::testing::WithParamInterface<Failure> {};

TEST_P(Failed_Append, KeepsTheJournalAndALaterRecoveryStoresTheRest) {
    const Failure& c = GetParam();
    Journal(6, Before);
    if (c.samples_room < 0) Platform::Set_Read_Only(path, true);
    const int64_t sample = NX3::Sample_Size(writer.Rounded_Compressed_Size());
    const int64_t room = Platform::File_Size(path) + c.samples_room * sample + sample / 2;
    const int stored = std::max(0, c.samples_room);
    const auto append = [&] {
        if (c.samples_room >= 0) Limit_File_Size(room);
        const auto r = writer.Append_Window(*Frames(0, 6));
        Limit_File_Size(-1);
        std::fprintf(stderr, "stored %d, not stored %d, %zu reports: %s", r.stored, r.Not_Stored(),
                     errors.errors.size(), r.problem.c_str());
        _exit(0);
    };
    EXPECT_EXIT(
        append(), ::testing::ExitedWithCode(0),
        "stored " + std::to_string(stored) + ", not stored " + std::to_string(6 - stored) + ", 1 reports: .*" + c.why);
    EXPECT_EQ(Stamps(), Expected(stored));
    Platform::Set_Read_Only(path, false);
    cls_VideoFile_handler h;
    h.Set_File_name(path);
    EXPECT_EQ(h.Recover_Journal(), 6 - stored);
    EXPECT_EQ(Stamps(), Expected(6));
}

INSTANTIATE_TEST_SUITE_P(Failures, Failed_Append,
                         ::testing::Values(Failure{"read only recording", -1, "Permission denied"},
                                           Failure{"full at the first sample", 0, "File too large"},
                                           Failure{"full after two samples", 2, "File too large"}),
                         By_Name());

class Journal_Writing : public Hdx_Test {};

TEST_F(Journal_Writing, AFailingJournalStopsSaysWhyAndNeverThrows) {
    const std::string rec = Platform::Join_Path(Temp_Dir(), "r.nx3");
    const auto create = [&] {
        Limit_File_Size(5);
        try {
            Frame_Journal j(rec, 0);
        } catch (const std::exception&) {
            Limit_File_Size(-1);
            std::fprintf(stderr, "left %d", int(Platform::File_Exists(Frame_Journal::Path_For(rec))));
        }
        _exit(0);
    };
    EXPECT_EXIT(create(), ::testing::ExitedWithCode(0), "left 0");
    const auto add = [&] {
        Frame_Journal j(rec, 0);
        Limit_File_Size(100);  // the head and one record of 87 bytes
        std::vector<uint8_t> bytes(40, 7);
        Stored_Frame_Ref f;
        f.Jpeg = Stored_Jpeg{bytes.data(), 40, 80, 0, false, 40, 40};
        for (int i = 0; i < 3; ++i) j.Add(i, f);
        Limit_File_Size(-1);
        std::fprintf(stderr, "%d %zu: %s", j.Records(), Frame_Journal::Read(j.Path()).frames.size(),
                     j.Problem().c_str());
        _exit(0);
    };
    EXPECT_EXIT(add(), ::testing::ExitedWithCode(0),
                "1 1: The capture journal .* stopped after 1 frames: .*File too large");
}

// The recording's first window never landed (the file could not be written): its data
// area is chosen at recovery from a few of the journal's frames, and a frame larger than it
// has only its compressed picture to be fitted from.
class First_Window_Recovery : public Hdx_Test {};

TEST_F(First_Window_Recovery, FramesLargerThanTheAreaChosenThenAreFittedFromTheirPictures) {
    // Big enough that a busy picture outgrows the area the quiet ones give.
    constexpr int32_t Wide = 320, High = 240;
    const std::string path = Platform::Join_Path(Temp_Dir(), "first.nx3");
    {
        cls_VideoFile_handler writer;
        writer.Set_Cropped_X(Wide);
        writer.Set_Cropped_Y(High);
        ASSERT_TRUE(writer.Initiate_NX3_File(path));
        writer.Close_File();
    }
    std::vector<int32_t> stamps;
    {
        Frame_Journal journal(path, 0);
        std::vector<uint8_t> jpeg(1000000);
        cDIBSection picture;
        for (int i = 0; i < 8; ++i) {
            picture.Create(Wide, High);
            // Frames 1 and 3 are busy pictures; the area is chosen from frames 2, 4 and 7.
            Fill_Noise(picture, static_cast<uint32_t>(i + 1), i == 0 || i == 2 ? 120 : 3);
            int32_t size = static_cast<int32_t>(jpeg.size());
            mIntelJPEGLibrary::Encode_DIB_To_JPG(picture, jpeg.data(), size, 80);
            Stored_Frame_Ref f;
            f.Capture_Mill = 5000 + 40 * i;
            f.Jpeg = Stored_Jpeg{jpeg.data(), size, int16_t(80), 0, false, size, size};
            journal.Add(i, f);
            stamps.push_back(f.Capture_Mill);
        }
    }
    cls_VideoFile_handler h;
    h.Set_File_name(path);
    EXPECT_EQ(h.Recover_Journal(), 8);
    EXPECT_TRUE(errors.errors.empty()) << errors.errors.front().description;
    cls_VideoFile_handler r;
    ASSERT_TRUE(r.Open_File(path));
    std::vector<int32_t> got;
    for (int16_t n = 1; n <= r.num_Frames(); ++n)
        got.push_back(r.Read_RGB_sample(n, true) && !r.Damaged_Frame() ? r.NX3_Capture_mill() : -1);
    EXPECT_EQ(got, stamps);
}

}  // namespace
