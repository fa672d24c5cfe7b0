#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Test_Env.h"
#include "Test_Name.h"
#include "Test_Pictures.h"
#include "capture/Stored_Frames.h"
#include "platform/Files.h"
#include "platform/HdxError.h"
#include "platform/PictureBox.h"
#include "recording/NX3_Layout.h"
#include "recording/Picture_Ops.h"
#include "recording/cls_VideoFile_handler.h"
#include "recording/mIntelJPEGLibrary.h"
#include "common/Startup_Facts.h"

namespace fs = std::filesystem;

namespace {

constexpr int32_t W = 64, H = 48;

std::string Bytes_Of(const std::string& path) { return Read_Text(path); }

int32_t I32_At(const std::string& bytes, size_t offset) {
    return NX3::Get_I32(reinterpret_cast<const uint8_t*>(bytes.data()) + offset);
}

void Put_I32_At(std::string& bytes, size_t offset, int32_t v) {
    NX3::Put_I32(reinterpret_cast<uint8_t*>(bytes.data()) + offset, v);
}

// The header document text stored in a recording.
std::string Stored_Header(const std::string& path) {
    const std::string b = Bytes_Of(path);
    const NX3::Header_Text h = NX3::Parse_Header_Block(reinterpret_cast<const uint8_t*>(b.data()), b.size());
    return h.ok ? h.text : std::string();
}

class Handler_Test : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        dir = Temp_Dir();
    }

    std::string File(const std::string& name) const { return Platform::Join_Path(dir, name); }

    // A frame whose noise (seed) makes each picture different; capture times
    // follow a 40 ms rhythm from the frame's number.
    static void Add_Frame(IStored_Frames& into, int32_t number, uint32_t seed_base = 7) {
        cDIBSection p;
        ASSERT_TRUE(p.Create(W, H));
        Fill_Noise(p, seed_base + static_cast<uint32_t>(number), 40);
        Fill_Rows(p, 0, 8, Red);  // a marker at the top: the picture must stay upright
        auto& list = dynamic_cast<Frame_List&>(into);
        list.Add(p, 100000 + 40 * number, 50000000 + 40 * number, 40);
    }

    // Creates a recording with the given capture passes, numbering frames on.
    void Record(const std::string& path, const std::vector<int>& passes, bool interlaced = true, bool rotated = false,
                const std::string& fps = "25") {
        cls_VideoFile_handler h;
        h.Set_File_name(path);
        h.Set_Cropped_X(W);
        h.Set_Cropped_Y(H);
        h.Set_RGB_interlaced(interlaced);
        h.Set_RGB_Rotated(rotated);
        ASSERT_TRUE(h.Initiate_NX3_File(path));
        h.Header().Set_RGB_fps(fps);
        h.Set_Hdx_event("Spring Cup");
        ASSERT_TRUE(h.Write_XML_Header());
        h.Close_File();
        int32_t number = 1;
        for (int count : passes) {
            Frame_List frames;
            for (int i = 0; i < count; ++i) Add_Frame(frames, number++);
            EXPECT_EQ(h.Append_Stored_Frames(frames), count);
            EXPECT_EQ(frames.Count(), 0);
        }
        h.Close_File();
    }

    int32_t Sample_Size_Of(const std::string& path) {
        Cls_XML_header doc;
        doc.Set_XML_string(Stored_Header(path));
        return doc.RGB_Sample_Size();
    }

    std::string dir;
};

// ---------------------------------------------------------------------------
// initiating

TEST_F(Handler_Test, AnInitiatedRecordingIsOnlyItsHeaderBlockAndHasNoFrames) {
    const std::string path = File("heat.nx3");
    cls_VideoFile_handler h;
    h.Set_Cropped_X(W);
    h.Set_Cropped_Y(H);
    h.Set_RGB_interlaced(true);
    h.Set_RGB_Topdelim_Y(12);
    ASSERT_TRUE(h.Initiate_NX3_File(path));
    EXPECT_FALSE(h.File_open());
    EXPECT_EQ(Platform::File_Size(path), 32016);
    EXPECT_EQ(h.File_size(), 32016);
    EXPECT_TRUE(traces.Has("*Initiate_NX3_File"));
    EXPECT_TRUE(traces.Has("*Create_NX3_header"));

    const std::string b = Bytes_Of(path);
    EXPECT_EQ(b.substr(0, 4), "NXF3");
    EXPECT_EQ(I32_At(b, 4), 32016);
    EXPECT_EQ(b.substr(32012, 4), "NXFX");
    Cls_XML_header doc;
    doc.Set_XML_string(Stored_Header(path));
    ASSERT_TRUE(doc.Has_XML());
    EXPECT_EQ(doc.RGB_X(), W);
    EXPECT_EQ(doc.RGB_Y(), H);
    EXPECT_TRUE(doc.RGB_interlaced());
    EXPECT_FALSE(doc.RGB_Rotated());
    EXPECT_FALSE(doc.RGB_preview_on());
    EXPECT_EQ(doc.RGB_JPEG_Quality(), "80");
    EXPECT_EQ(doc.RGB_fps(), "0");
    EXPECT_EQ(doc.Hdr_spare1(), "12");
    EXPECT_EQ(doc.RGB_fourcc(), "IJL");
    EXPECT_EQ(doc.RGB_JPEG_codec(), "Intel");
    EXPECT_EQ(doc.File_comment1(), "");

    cls_VideoFile_handler reader;
    ASSERT_TRUE(reader.Open_File(path));
    EXPECT_EQ(reader.num_Frames(), 0);
    EXPECT_EQ(reader.Num_fields(), 0);
    EXPECT_EQ(reader.Sample_Reads(), 0);
    EXPECT_EQ(reader.RGB_Topdelim_Y(), 12);
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(Handler_Test, InitiatingOntoAnExistingFileIsRefusedAndTheFileKept) {
    const std::string recorded = File("old.nx3");
    Record(recorded, {3});
    const std::string other = File("notes.nx3");
    Write_Text(other, std::string(50000, 'z'));
    for (const std::string& path : {recorded, other}) {
        const std::string before = Bytes_Of(path);
        errors.errors.clear();
        cls_VideoFile_handler h;
        h.Set_Cropped_X(W);
        h.Set_Cropped_Y(H);
        EXPECT_FALSE(h.Initiate_NX3_File(path));
        ASSERT_EQ(errors.errors.size(), 1u);
        EXPECT_EQ(errors.errors[0].number, 58);
        EXPECT_NE(errors.errors[0].description.find("already exists"), std::string::npos);
        EXPECT_EQ(Bytes_Of(path), before) << path;
        EXPECT_FALSE(h.File_open());
    }
}

TEST_F(Handler_Test, InitiatingWhileAnotherRecordingIsOpenClosesItFirst) {
    const std::string reviewed = File("reviewed.nx3");
    Record(reviewed, {3});
    const std::string before = Bytes_Of(reviewed);
    cls_VideoFile_handler h;
    ASSERT_TRUE(h.Open_File(reviewed));
    h.Set_Cropped_X(W);
    h.Set_Cropped_Y(H);
    const std::string fresh = File("fresh.nx3");
    ASSERT_TRUE(h.Initiate_NX3_File(fresh));
    EXPECT_FALSE(h.File_open());
    EXPECT_EQ(Bytes_Of(reviewed), before);  // the new header went only into the new file
    EXPECT_EQ(Platform::File_Size(fresh), 32016);
    EXPECT_EQ(h.File_name(), fresh);
}

TEST_F(Handler_Test, InitiatingIntoAMissingFolderIsReportedAndLeavesNothing) {
    const std::string path = Platform::Join_Path(File("no_such_folder"), "heat.nx3");
    cls_VideoFile_handler h;
    h.Set_Cropped_X(W);
    h.Set_Cropped_Y(H);
    EXPECT_FALSE(h.Initiate_NX3_File(path));
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_EQ(errors.errors[0].location, "Initiate_NX3_File of Class Module cls_AVI_handler");
    EXPECT_FALSE(Platform::File_Exists(path));
}

// ---------------------------------------------------------------------------
// appending

TEST_F(Handler_Test, EveryAppendPassCountsItsFramesAndTheLengthStaysWholeSamples) {
    // Passes of one and two frames count as much as longer ones.
    const std::vector<std::vector<int>> plans = {{1}, {2}, {3}, {2, 1, 5}, {1, 1, 1}};
    int plan_number = 0;
    for (const auto& passes : plans) {
        const std::string path = File("plan" + std::to_string(plan_number++) + ".nx3");
        Record(path, passes);
        int total = 0;
        for (int p : passes) total += p;
        Cls_XML_header doc;
        doc.Set_XML_string(Stored_Header(path));
        const int32_t n = doc.RGB_Image_size();
        const int32_t s = doc.RGB_Sample_Size();
        EXPECT_GT(n, 0);
        EXPECT_EQ(n % 1000, 0);
        EXPECT_EQ(s, 58 + n);
        EXPECT_EQ(doc.G_Frames_no(), total) << path;
        EXPECT_EQ(doc.Segments_no(), static_cast<int16_t>(passes.size()));
        EXPECT_EQ(Platform::File_Size(path), 32016 + int64_t{total} * s) << path;
        EXPECT_TRUE(NX3::Verify_File(path).empty()) << path;

        cls_VideoFile_handler reader;
        ASSERT_TRUE(reader.Open_File(path));
        EXPECT_EQ(reader.num_Frames(), total);
        // Frames come back in capture order with their times.
        for (int16_t f = 1; f <= total; ++f) {
            ASSERT_TRUE(reader.Read_RGB_sample(f, false));
            EXPECT_EQ(reader.NX3_Capture_mill(), 100000 + 40 * f);
            EXPECT_EQ(reader.NX3_Capture_local(), 50000000 + 40 * f);
            EXPECT_EQ(reader.NX3_Capture_Delta(), 40);
            EXPECT_EQ(reader.NX3_Compression_Quality(), 80);
        }
    }
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(Handler_Test, SamplesHaveTheFixedByteLayout) {
    const std::string path = File("layout.nx3");
    Record(path, {3});
    const std::string b = Bytes_Of(path);
    const int32_t s = Sample_Size_Of(path);
    const int32_t n = s - 58;
    for (int k = 1; k <= 3; ++k) {
        const size_t at = 32016 + static_cast<size_t>(k - 1) * static_cast<size_t>(s);
        EXPECT_EQ(b.substr(at, 4), "RGBS");
        EXPECT_EQ(I32_At(b, at + 4), 0);  // header length and reserved
        EXPECT_EQ(I32_At(b, at + 8), 100000 + 40 * k);
        EXPECT_EQ(I32_At(b, at + 12), 40);
        EXPECT_EQ(I32_At(b, at + 16), 50000000 + 40 * k);
        EXPECT_EQ(I32_At(b, at + 20), 0);
        EXPECT_EQ(I32_At(b, at + 24), 80);
        EXPECT_EQ(I32_At(b, at + 28), 0);
        const int32_t jpeg = I32_At(b, at + 32);
        EXPECT_GE(jpeg, 1);
        EXPECT_LE(jpeg, n);
        EXPECT_EQ(I32_At(b, at + 36), 0);
        EXPECT_EQ(b.substr(at + 40, 4), "RGBE");
        EXPECT_EQ(NX3::Get_I16(reinterpret_cast<const uint8_t*>(b.data()) + at + 44), 1);
        EXPECT_EQ(I32_At(b, at + 46), n);
        EXPECT_EQ(I32_At(b, at + 50), 1);
        EXPECT_EQ(static_cast<uint8_t>(b[at + 54]), 0xFF);
        EXPECT_EQ(static_cast<uint8_t>(b[at + 55]), 0xD8);
        EXPECT_EQ(b.substr(at + 54 + static_cast<size_t>(n), 4), "RGBF");
    }
}

TEST_F(Handler_Test, ClosingAPassRecordsTheSizeStatistics) {
    const std::string path = File("stats.nx3");
    cls_VideoFile_handler h;
    h.Set_Cropped_X(W);
    h.Set_Cropped_Y(H);
    ASSERT_TRUE(h.Initiate_NX3_File(path));
    Frame_List frames;
    for (int i = 1; i <= 4; ++i) Add_Frame(frames, i);
    ASSERT_EQ(h.Append_Stored_Frames(frames), 4);
    Cls_XML_header doc;
    doc.Set_XML_string(Stored_Header(path));
    EXPECT_EQ(doc.RGB_Compressed_max_Size(), h.Compressor().Largest_JPG());
    EXPECT_EQ(doc.RGB_Compressed_min_Size(), h.Compressor().Smallest_JPG());
    EXPECT_LE(doc.RGB_Compressed_min_Size(), doc.RGB_Compressed_max_Size());
    EXPECT_LT(doc.RGB_Compressed_max_Size(), doc.RGB_Image_size());
    EXPECT_TRUE(traces.Has("*Open_nx3_for_Append"));
    EXPECT_TRUE(traces.Has("*Close_File nx3, m_RGB_frames_appended = 4"));
}

TEST_F(Handler_Test, ThePrimitivesOfTheCaptureEndMakeTheSameRecording) {
    const std::string path = File("steps.nx3");
    cls_VideoFile_handler h;
    h.Set_File_name(path);
    h.Set_Cropped_X(W);
    h.Set_Cropped_Y(H);
    ASSERT_TRUE(h.Initiate_NX3_File(path));
    Stored_Frames.Clear();
    for (int i = 1; i <= 5; ++i) {
        cDIBSection p;
        ASSERT_TRUE(p.Create(W, H));
        Fill_Noise(p, static_cast<uint32_t>(i), 30);
        auto frame = std::make_unique<CVideobuff_RGB>();
        frame->RGB_Length(p.SizeImage());
        frame->FillData_RGB(p.DIBSectionBitsPtr());
        frame->PutTimestamp(1000 + i, 2000 + i, 3);
        Stored_Frames.Add(std::move(frame));
    }
    ASSERT_EQ(h.Rounded_Compressed_Size(), 0);
    const int32_t n = h.Calculate_Compressed_Size(Stored_Frames);
    EXPECT_GT(n, 0);
    // N is chosen once per recording.
    EXPECT_EQ(h.Calculate_Compressed_Size(Stored_Frames), n);
    h.Set_Measured_fps(50);
    h.Close_File();
    ASSERT_TRUE(h.Open_nx3_for_Append());
    for (int i = 1; i <= Stored_Frames.Count(); ++i) EXPECT_TRUE(h.Append_RGB_Frame(Stored_Frames, i));
    EXPECT_EQ(h.Frames_Appended(), 5);
    h.Close_File();
    Stored_Frames.Clear();
    EXPECT_TRUE(NX3::Verify_File(path).empty());
    cls_VideoFile_handler reader;
    ASSERT_TRUE(reader.Open_File(path));
    EXPECT_EQ(reader.num_Frames(), 5);
    EXPECT_EQ(reader.Measured_fps(), 50);
    ASSERT_TRUE(reader.Read_RGB_sample(4, false));
    EXPECT_EQ(reader.NX3_Capture_mill(), 1004);
    EXPECT_EQ(reader.NX3_Capture_local(), 2004);
}

TEST_F(Handler_Test, AFrameOfTheWrongSizeIsReportedAndNotStored) {
    const std::string path = File("short.nx3");
    cls_VideoFile_handler h;
    h.Set_Cropped_X(W);
    h.Set_Cropped_Y(H);
    ASSERT_TRUE(h.Initiate_NX3_File(path));
    Frame_List frames;
    Add_Frame(frames, 1);
    Add_Frame(frames, 2);
    frames.Add_Raw(100);  // far too small for the frame size
    Add_Frame(frames, 4);
    Add_Frame(frames, 5);
    EXPECT_EQ(h.Append_Stored_Frames(frames), 4);
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_NE(errors.errors[0].description.find("holds 100 bytes"), std::string::npos) << errors.errors[0].description;
    cls_VideoFile_handler reader;
    ASSERT_TRUE(reader.Open_File(path));
    ASSERT_EQ(reader.num_Frames(), 4);
    ASSERT_TRUE(reader.Read_RGB_sample(3, false));
    EXPECT_EQ(reader.NX3_Capture_mill(), 100000 + 40 * 4);
}

// ---------------------------------------------------------------------------
// header rewrite

TEST_F(Handler_Test, RewritingTheHeaderDuringReviewKeepsTheReadingPosition) {
    const std::string path = File("review.nx3");
    Record(path, {6});
    const int64_t length = Platform::File_Size(path);
    cls_VideoFile_handler h;
    ASSERT_TRUE(h.Open_File(path));
    ASSERT_TRUE(h.Read_RGB_sample(3, true));
    const int64_t position = h.File_Position();
    EXPECT_EQ(position, 32016 + 3 * int64_t{h.Read_Sample_Size()});
    h.Set_Hdx_Dog_name(2, "Flying Fox");
    h.Set_Hdx_Heat_time(2, false, 28450);
    ASSERT_TRUE(h.Write_XML_Header());
    EXPECT_EQ(h.File_Position(), position);
    EXPECT_TRUE(h.File_open());
    ASSERT_TRUE(h.Read_RGB_sample(4, false));
    EXPECT_EQ(h.NX3_Capture_mill(), 100000 + 40 * 4);
    EXPECT_EQ(Platform::File_Size(path), length);  // the samples are not touched

    Cls_XML_header doc;
    doc.Set_XML_string(Stored_Header(path));
    EXPECT_EQ(doc.Hdx_Dog_name(2), "Flying Fox");
    EXPECT_EQ(doc.Hdx_Heat_time(2, false), 28450);
    EXPECT_EQ(doc.Update_Time(), "2026-05-16 14:30:00");
    EXPECT_EQ(doc.G_Frames_no(), 6);
}

TEST_F(Handler_Test, AHeaderDocumentOver32000CharactersIsRefusedAndTheFileKept) {
    const std::string path = File("long.nx3");
    Record(path, {3});
    const std::string before = Bytes_Of(path);
    cls_VideoFile_handler h;
    ASSERT_TRUE(h.Open_File(path));
    h.Set_Hdx_Heat_Name(std::string(33000, 'n'));
    EXPECT_FALSE(h.Write_XML_Header());
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_EQ(errors.errors[0].location, "Write_XML_header of Class Module cls_AVI_handler");
    EXPECT_NE(errors.errors[0].description.find("32000"), std::string::npos);
    h.Close_File();
    EXPECT_EQ(Bytes_Of(path), before);
}

// ---------------------------------------------------------------------------
// opening and reading

TEST_F(Handler_Test, OpeningChecksExistenceLengthAndExtension) {
    const std::string good = File("good.nx3");
    Record(good, {2});
    const std::string upper = File("UPPER.NX3");
    fs::copy_file(good, upper);
    const std::string tiny = File("tiny.nx3");
    Write_Text(tiny, std::string(99, 'x'));
    const std::string avi = File("clip.avi");
    fs::copy_file(good, avi);

    cls_VideoFile_handler h;
    EXPECT_TRUE(h.Open_File(upper));
    EXPECT_EQ(h.num_Frames(), 2);
    EXPECT_EQ(h.Current_File_Suffix(), "NX3");

    struct Case {
        std::string path, message;
    } refused[] = {{tiny, "Corrupt file, (Invalid file length)"},
                   {avi, "cls_AVI_handler can't open this file type! " + avi},
                   {File("missing.nx3"), ""}};
    for (const Case& c : refused) {
        dialogs.Clear();
        EXPECT_FALSE(h.Open_File(c.path)) << c.path;
        EXPECT_FALSE(h.File_open());
        if (c.message.empty()) {
            EXPECT_TRUE(dialogs.Messages().empty());
            EXPECT_TRUE(traces.Has("*OF1, filename = " + c.path));
        } else {
            EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{c.message});
        }
    }
}

TEST_F(Handler_Test, OpeningReadsTheSamplesOfTheSampleChecks) {
    const std::string path = File("open.nx3");
    Record(path, {5});
    cls_VideoFile_handler h;
    ASSERT_TRUE(h.Open_File(path));
    // frames 1, 2, 1 again, 2 again and the last
    EXPECT_EQ(h.Sample_Reads(), 5);
    EXPECT_EQ(h.Last_Frame_Read(), 5);
    EXPECT_EQ(h.Decodes(), 0);
    EXPECT_EQ(h.Width(), W);
    EXPECT_EQ(h.Height(), H);
    EXPECT_EQ(h.Fourcc(), "IJL");
    EXPECT_EQ(h.Codec(), "Intel");
    EXPECT_EQ(h.Base_Quality(), 80);
    EXPECT_EQ(h.First_Sample_Pos(), 32017);
    EXPECT_EQ(h.RGB_video_adress(1), 32017);
    EXPECT_EQ(h.RGB_video_adress(3), 32017 + 2 * h.Read_Sample_Size());
    EXPECT_EQ(h.Num_Video_streams(), 0);
    EXPECT_TRUE(traces.Has("*Open_RGB_File, Read_RGB_sample m_Num_RGB_Frames 5"));
    EXPECT_TRUE(traces.Has("*Open_RGB_File end, m_File_Num = 1"));
    EXPECT_FALSE(h.Read_only());
}

// The recording's mark and rate make its review positions and periods: the
// fields of an interlaced camera, else whole frames at the source's own rate.
TEST_F(Handler_Test, PositionsAndPeriodsFollowTheMarkAndTheRate) {
    struct Case {
        const char* name;
        bool interlaced;
        const char* fps;
        bool by_field;
        int16_t frame_period, field_period, rate;
    } cases[] = {
        {"25i", true, "25", true, 40, 20, 25},
        {"30i", true, "30", true, 33, 17, 30},
        {"25p", false, "25", false, 40, 40, 25},
        {"50p", false, "50", false, 20, 20, 50},
        {"60p", false, "60", false, 17, 17, 60},
        {"120p", false, "120", false, 8, 8, 120},
        {"240p", false, "240", false, 4, 4, 240},
        // Written before the mark followed the source: every rate but 40 was marked interlaced.
        {"50_marked_interlaced", true, "50", false, 20, 20, 50},
        {"no_rate_interlaced", true, "000", true, 40, 20, 0},
        {"no_rate_progressive", false, "000", false, 20, 20, 0},
        {"rate_out_of_range", false, "300", false, 20, 20, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = File(std::string(c.name) + ".nx3");
        Record(path, {4}, c.interlaced, false, c.fps);
        cls_VideoFile_handler h;
        ASSERT_TRUE(h.Open_File(path));
        EXPECT_EQ(h.RGB_interlaced(), c.interlaced);
        EXPECT_EQ(h.Reviewed_By_Field(), c.by_field);
        EXPECT_EQ(h.num_Frames(), 4);
        EXPECT_EQ(h.Num_fields(), c.by_field ? 8 : 4);
        EXPECT_EQ(h.Frame_Period(), c.frame_period);
        EXPECT_EQ(h.Field_Period(), c.field_period);
        EXPECT_EQ(h.Frame_Rate(), c.rate);
    }
}

// Position p of a recording reviewed by field is a field of frame (p + 1) / 2;
// of any other, frame p whole, at full height.
TEST_F(Handler_Test, AReviewPositionIsAFieldOrAWholeFrame) {
    struct Case {
        bool interlaced;
        const char* fps;
        int32_t position, frame;
        int16_t shown;
    } cases[] = {{true, "25", 3, 2, 1}, {true, "25", 4, 2, 2}, {false, "50", 3, 3, 99}, {false, "120", 4, 4, 99}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.fps) + " position " + std::to_string(c.position));
        const std::string path = File(std::string("pos") + c.fps + std::to_string(c.position) + ".nx3");
        Record(path, {4}, c.interlaced, false, c.fps);
        cls_VideoFile_handler h;
        ASSERT_TRUE(h.Open_File(path));
        const cDIBSection* shown = h.Prepare_Position(c.position);
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->Height(), H);
        EXPECT_EQ(h.NX3_Displayed_Frame(), c.frame);
        EXPECT_EQ(h.Field_To_Show(), c.shown);
        EXPECT_EQ(h.Frame_Of_Position(c.position), c.frame);
        // The picture is the frame's own: its stamp is the one it was stored with.
        EXPECT_EQ(h.NX3_Capture_mill(), 100000 + 40 * c.frame);
    }
}

TEST_F(Handler_Test, ReadingTheSameFrameAgainReadsTheFileOnce) {
    const std::string path = File("cache.nx3");
    Record(path, {4});
    cls_VideoFile_handler h;
    ASSERT_TRUE(h.Open_File(path));
    const int64_t reads = h.Sample_Reads();
    ASSERT_TRUE(h.Read_RGB_sample(3, true));
    const int32_t checksum = h.RGB_Checksum();
    ASSERT_TRUE(h.Read_RGB_sample(3, true));
    ASSERT_TRUE(h.Read_RGB_sample(3, false));
    EXPECT_EQ(h.Sample_Reads(), reads + 1);
    EXPECT_EQ(h.Decodes(), 1);
    EXPECT_EQ(h.RGB_Checksum(), checksum);  // the checksum belongs to the held sample
    // A sample held without its picture is decoded from memory, not read again.
    ASSERT_TRUE(h.Read_RGB_sample(4, false));
    ASSERT_TRUE(h.Read_RGB_sample(4, true));
    EXPECT_EQ(h.Sample_Reads(), reads + 2);
    EXPECT_EQ(h.Decodes(), 2);
    // Opening again clears the cache: its first read of frame 1 goes to the file.
    ASSERT_TRUE(h.Read_RGB_sample(1, false));
    const int64_t before_open = h.Sample_Reads();
    ASSERT_TRUE(h.Open_File(path));
    EXPECT_EQ(h.Sample_Reads(), before_open + 5);
}

TEST_F(Handler_Test, TheChecksumAddsEveryThousandthByteFromIndexHundred) {
    const std::string path = File("sum.nx3");
    Record(path, {2});
    const int32_t s = Sample_Size_Of(path);
    std::string b = Bytes_Of(path);
    const size_t data = 32016 + static_cast<size_t>(s) + 54;  // frame 2's data area
    b[data + 99] = static_cast<char>(7);                      // index 100
    b[data + 1099] = static_cast<char>(11);                   // index 1100
    b[data + 2099] = static_cast<char>(13);                   // index 2100
    struct Case {
        int32_t jpeg_size, checksum;
    } cases[] = {{99, 0}, {100, 7}, {1099, 7}, {1100, 18}, {2100, 31}};
    for (const Case& c : cases) {
        Put_I32_At(b, 32016 + static_cast<size_t>(s) + 32, c.jpeg_size);
        Write_Text(path, b);
        cls_VideoFile_handler h;
        ASSERT_TRUE(h.Open_File(path));
        ASSERT_TRUE(h.Read_RGB_sample(2, false));
        EXPECT_EQ(h.RGB_Checksum(), c.checksum) << "JPEG size " << c.jpeg_size;
    }
}

TEST_F(Handler_Test, APositionWithoutTheStartDelimiterLeavesTheHeldSample) {
    const std::string path = File("bad.nx3");
    Record(path, {4});
    const int32_t s = Sample_Size_Of(path);
    std::string b = Bytes_Of(path);
    b.replace(32016 + 2 * static_cast<size_t>(s), 4, "XXXX");  // frame 3
    Write_Text(path, b);
    cls_VideoFile_handler h;
    ASSERT_TRUE(h.Open_File(path));
    ASSERT_TRUE(h.Read_RGB_sample(2, true));
    const std::vector<uint8_t> picture(
        h.obj_DIB_Deint_source(1).DIBSectionBitsPtr(),
        h.obj_DIB_Deint_source(1).DIBSectionBitsPtr() + h.obj_DIB_Deint_source(1).SizeImage());
    EXPECT_FALSE(h.Read_RGB_sample(3, true));
    EXPECT_TRUE(h.Bad_Sample());
    EXPECT_FALSE(h.Read_Error());
    EXPECT_EQ(h.Last_Frame_Read(), 2);
    EXPECT_EQ(h.NX3_Capture_mill(), 100000 + 40 * 2);
    EXPECT_TRUE(std::equal(picture.begin(), picture.end(), h.obj_DIB_Deint_source(1).DIBSectionBitsPtr()));
    ASSERT_TRUE(h.Read_RGB_sample(4, false));
    EXPECT_FALSE(h.Bad_Sample());
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(Handler_Test, ACutShortJpegShowsTheDamagedFramePictureAndReviewGoesOn) {
    const std::string path = File("cut.nx3");
    Record(path, {3});
    const int32_t s = Sample_Size_Of(path);
    std::string b = Bytes_Of(path);
    const size_t frame2 = 32016 + static_cast<size_t>(s);
    const int32_t jpeg = I32_At(b, frame2 + 32);
    Put_I32_At(b, frame2 + 32, jpeg / 2);  // the stream ends half way
    Write_Text(path, b);

    cls_VideoFile_handler h;
    ASSERT_TRUE(h.Open_File(path));
    Platform::PictureBox box;
    box.Set_Canvas_Size(W, H);
    h.Draw_RGB_frame(2, box);
    EXPECT_TRUE(h.Damaged_Frame());
    EXPECT_FALSE(h.Read_Error());
    EXPECT_TRUE(traces.Has("*bres = false, Read_RGB_sample, FNum = 2"));
    const cDIBSection& p = h.obj_DIB_Deint_source(1);
    EXPECT_EQ(p.Get_Pixel(2, 2), 0xFF0000u);  // pure blue
    EXPECT_EQ(p.Get_Pixel(W - 1, H - 1), 0xFF0000u);
    EXPECT_EQ(Platform::Bgr_Color(0xFF0000), box.Canvas().pixelColor(1, 1));
    // The frames around it still show.
    h.Draw_RGB_frame(3, box);
    EXPECT_FALSE(h.Damaged_Frame());
    EXPECT_LT(Colour_Distance(h.obj_DIB_Deint_source(1).Get_Pixel(W / 2, 1), Red), 60);
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(Handler_Test, ADamagedFrameDoesNotMarkTheFramesAfterIt) {
    const std::string path = File("one_bad.nx3");
    Record(path, {4});
    const int32_t s = Sample_Size_Of(path);
    std::string b = Bytes_Of(path);
    const size_t frame3 = 32016 + 2 * static_cast<size_t>(s);
    Put_I32_At(b, frame3 + 32, 300);  // not even the JPEG's tables are left
    Write_Text(path, b);
    cls_VideoFile_handler h;
    ASSERT_TRUE(h.Open_File(path));
    const bool damaged[] = {false, false, true, false};
    for (int16_t f = 1; f <= 4; ++f) {
        ASSERT_TRUE(h.Read_RGB_sample(f, true));
        EXPECT_EQ(h.Damaged_Frame(), damaged[f - 1]) << "frame " << f;
    }
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"Failed to read JPG"});
}

TEST_F(Handler_Test, TheDamagedFramePictureCarriesTheRedText) {
    const std::string path = File("text.nx3");
    cls_VideoFile_handler writer;
    writer.Set_Cropped_X(720);
    writer.Set_Cropped_Y(576);
    ASSERT_TRUE(writer.Initiate_NX3_File(path));
    Frame_List frames;
    cDIBSection p;
    ASSERT_TRUE(p.Create(720, 576));
    p.Fill_with_RGB(Green);
    frames.Add(p, 1, 2, 3);
    frames.Add(p, 5, 6, 7);
    ASSERT_EQ(writer.Append_Stored_Frames(frames), 2);
    std::string b = Bytes_Of(path);
    const int32_t s = Sample_Size_Of(path);
    // JPEG sizes outside 1 .. N are damaged frames too; nothing is read past the sample.
    for (int32_t bad : {0, -5, s}) {
        Put_I32_At(b, 32016 + 32, bad);
        Write_Text(path, b);
        cls_VideoFile_handler h;
        ASSERT_TRUE(h.Open_File(path));
        ASSERT_NE(h.Prepare_RGB_frame(1), nullptr);
        EXPECT_TRUE(h.Damaged_Frame()) << bad;
        const cDIBSection& shown = h.obj_DIB_Deint_source(1);
        int red = 0;
        for (int y = 100; y < 400; ++y)
            for (int x = 10; x < 500; ++x)
                if (Colour_Distance(shown.Get_Pixel(x, y), Red) < 60) ++red;
        EXPECT_GT(red, 500) << "the text is drawn";
        EXPECT_EQ(shown.Get_Pixel(5, 5), 0xFF0000u);
        EXPECT_EQ(shown.Get_Pixel(600, 500), 0xFF0000u);
        // Its top part: the text starts near row 100, nothing red above it.
        for (int x = 0; x < 720; x += 7) ASSERT_EQ(shown.Get_Pixel(x, 90), 0xFF0000u);
    }
}

TEST_F(Handler_Test, AReadOnlyRecordingReadsAndDrawsButRefusesEveryWrite) {
    const std::string path = File("locked.nx3");
    Record(path, {4});
    ASSERT_TRUE(Platform::Set_Read_Only(path, true));
    const std::string before = Bytes_Of(path);

    cls_VideoFile_handler h;
    ASSERT_TRUE(h.Open_File(path));
    EXPECT_TRUE(h.Read_only());
    EXPECT_EQ(h.num_Frames(), 4);
    Platform::PictureBox box;
    box.Set_Canvas_Size(W, H);
    h.Draw_RGB_Field(3, box);
    EXPECT_EQ(h.Field_To_Show(), 1);
    const QColor top = box.Canvas().pixelColor(W / 2, 0);
    EXPECT_GT(top.red(), 180);
    EXPECT_LT(top.green(), 80);

    h.Set_Hdx_Dog_name(1, "Not Written");
    EXPECT_FALSE(h.Write_XML_Header());
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_EQ(errors.errors[0].number, 70);
    h.Close_File();

    // Appending is refused as well, and no header write sneaks through.
    cls_VideoFile_handler w;
    w.Set_File_name(path);
    w.Set_Cropped_X(W);
    w.Set_Cropped_Y(H);
    Frame_List frames;
    Add_Frame(frames, 9);
    Add_Frame(frames, 10);
    EXPECT_EQ(w.Append_Stored_Frames(frames), 0);
    EXPECT_FALSE(w.Write_XML_Header());
    EXPECT_GE(errors.errors.size(), 3u);
    for (const auto& e : errors.errors) EXPECT_EQ(e.number, 70) << e.location << ": " << e.description;
    EXPECT_EQ(Bytes_Of(path), before);
}

TEST_F(Handler_Test, AFileCutInTheMiddleOfAnAppendOpensWithItsCompleteSamples) {
    const std::string path = File("cut_append.nx3");
    Record(path, {3});  // counted in the header
    cls_VideoFile_handler h;
    h.Set_File_name(path);
    h.Set_Cropped_X(W);
    h.Set_Cropped_Y(H);
    ASSERT_TRUE(h.Open_nx3_for_Append());
    Frame_List frames;
    for (int i = 4; i <= 7; ++i) Add_Frame(frames, i);
    for (int i = 1; i <= 4; ++i) ASSERT_TRUE(h.Append_RGB_Frame(frames, i));
    // The writer dies here: the samples are on disk, the header still counts 3.
    const std::string on_disk = Bytes_Of(path);
    h.Close_File();
    const int32_t s = Sample_Size_Of(path);
    ASSERT_EQ(on_disk.size(), 32016 + 7 * static_cast<size_t>(s));

    struct Case {
        size_t length;
        int frames;
    } cases[] = {{32016 + 7 * static_cast<size_t>(s), 7},
                 {32016 + 6 * static_cast<size_t>(s) + 100, 6},
                 {32016 + 5 * static_cast<size_t>(s) + static_cast<size_t>(s) - 1, 5},
                 {32016 + 3 * static_cast<size_t>(s) + 10, 3}};
    for (const Case& c : cases) {
        const std::string copy = File("copy" + std::to_string(c.length) + ".nx3");
        Write_Text(copy, on_disk.substr(0, c.length));
        cls_VideoFile_handler r;
        ASSERT_TRUE(r.Open_File(copy));
        EXPECT_EQ(r.num_Frames(), c.frames) << c.length;
        ASSERT_TRUE(r.Read_RGB_sample(static_cast<int16_t>(c.frames), true));
        EXPECT_EQ(r.NX3_Capture_mill(), 100000 + 40 * c.frames);
        EXPECT_FALSE(r.Damaged_Frame());
        EXPECT_TRUE(dialogs.Messages().empty());
    }

    // Appending to such a file writes over the broken tail, so every sample
    // stays at its computed position, and the header counts them all.
    const std::string resumed = File("copy" + std::to_string(cases[1].length) + ".nx3");
    cls_VideoFile_handler w;
    w.Set_File_name(resumed);
    w.Set_Cropped_X(W);
    w.Set_Cropped_Y(H);
    Frame_List more;
    Add_Frame(more, 8);
    Add_Frame(more, 9);
    ASSERT_EQ(w.Append_Stored_Frames(more), 2);
    EXPECT_TRUE(NX3::Verify_File(resumed).empty());
    cls_VideoFile_handler r;
    ASSERT_TRUE(r.Open_File(resumed));
    ASSERT_EQ(r.num_Frames(), 8);
    ASSERT_TRUE(r.Read_RGB_sample(7, false));
    EXPECT_EQ(r.NX3_Capture_mill(), 100000 + 40 * 8);
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(Handler_Test, AWriterStoppedAtAnyMomentOfAPassLeavesEveryCompleteSampleReadable) {
    const std::string path = File("killed.nx3");
    Record(path, {2});
    cls_VideoFile_handler h;
    h.Set_File_name(path);
    h.Set_Cropped_X(W);
    h.Set_Cropped_Y(H);
    ASSERT_TRUE(h.Open_nx3_for_Append());
    Frame_List frames;
    for (int i = 3; i <= 7; ++i) Add_Frame(frames, i);
    // What the disk holds after each sample of the pass: nothing waits in the
    // program's memory, and the header is only touched after the samples.
    std::vector<std::string> moments{Bytes_Of(path)};
    for (int i = 1; i <= frames.Count(); ++i) {
        ASSERT_TRUE(h.Append_RGB_Frame(frames, i));
        moments.push_back(Bytes_Of(path));
    }
    h.Close_File();
    for (size_t k = 0; k < moments.size(); ++k) {
        const std::string copy = File("moment" + std::to_string(k) + ".nx3");
        Write_Text(copy, moments[k]);
        cls_VideoFile_handler r;
        ASSERT_TRUE(r.Open_File(copy));
        ASSERT_EQ(r.num_Frames(), static_cast<int32_t>(2 + k));
        for (int16_t f = 1; f <= r.num_Frames(); ++f) {
            ASSERT_TRUE(r.Read_RGB_sample(f, true));
            EXPECT_EQ(r.NX3_Capture_mill(), 100000 + 40 * f);
            EXPECT_FALSE(r.Damaged_Frame());
        }
    }
    EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(Handler_Test, AFirstPassCutShortStillOpensFromTheDataAreaSize) {
    const std::string path = File("first.nx3");
    cls_VideoFile_handler h;
    h.Set_File_name(path);
    h.Set_Cropped_X(W);
    h.Set_Cropped_Y(H);
    ASSERT_TRUE(h.Initiate_NX3_File(path));
    Frame_List frames;
    for (int i = 1; i <= 3; ++i) Add_Frame(frames, i);
    ASSERT_GT(h.Calculate_Compressed_Size(frames), 0);
    h.Close_File();
    ASSERT_TRUE(h.Open_nx3_for_Append());
    for (int i = 1; i <= 3; ++i) ASSERT_TRUE(h.Append_RGB_Frame(frames, i));
    const std::string on_disk = Bytes_Of(path);  // no sample size, no count yet
    h.Close_File();
    const std::string copy = File("first_copy.nx3");
    Write_Text(copy, on_disk.substr(0, on_disk.size() - 10));
    cls_VideoFile_handler r;
    ASSERT_TRUE(r.Open_File(copy));
    EXPECT_EQ(r.num_Frames(), 2);
    EXPECT_EQ(r.Read_Sample_Size(), Sample_Size_Of(path));
}

struct Damage_Case {
    const char* name;
    std::function<void(std::string& bytes, int32_t sample_size)> damage;
    const char* message_part;  // part of the message shown
    bool opens;
};

class Damaged_File_Test : public Handler_Test, public ::testing::WithParamInterface<Damage_Case> {};

TEST_P(Damaged_File_Test, IsRefusedOrReducedWithAClearMessageAndNeverCrashes) {
    const Damage_Case& c = GetParam();
    const std::string path = File("damaged.nx3");
    Record(path, {4});
    std::string b = Bytes_Of(path);
    c.damage(b, Sample_Size_Of(path));
    Write_Text(path, b);
    const std::string before = Bytes_Of(path);

    cls_VideoFile_handler h;
    EXPECT_EQ(h.Open_File(path), c.opens);
    ASSERT_FALSE(dialogs.Messages().empty());
    EXPECT_NE(dialogs.Messages()[0].find(c.message_part), std::string::npos) << dialogs.Messages()[0];
    if (c.opens) {
        for (int16_t f = 1; f <= h.num_Frames(); ++f) EXPECT_TRUE(h.Read_RGB_sample(f, true));
        EXPECT_FALSE(h.Read_Error());
    } else {
        EXPECT_FALSE(h.File_open());
    }
    h.Close_File();
    EXPECT_EQ(Bytes_Of(path), before);  // opening never changes the file
}

void Replace_Header(std::string& bytes, const std::function<void(Cls_XML_header&)>& change) {
    const NX3::Header_Text t = NX3::Parse_Header_Block(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    Cls_XML_header doc;
    doc.Set_XML_string(t.text);
    change(doc);
    std::vector<uint8_t> block;
    NX3::Build_Header_Block(doc.XML_string(), block);
    bytes.replace(0, block.size(), std::string(block.begin(), block.end()));
}

INSTANTIATE_TEST_SUITE_P(
    Damage, Damaged_File_Test,
    ::testing::Values(Damage_Case{"LengthFieldOver32000", [](std::string& b, int32_t) { Put_I32_At(b, 8, 32001); },
                                  "Corrupt file, (Invalid header length 32001)", false},
                      Damage_Case{"NegativeLengthField", [](std::string& b, int32_t) { Put_I32_At(b, 8, -7); },
                                  "Corrupt file, (Invalid header length -7)", false},
                      Damage_Case{"DocumentNotXml",
                                  [](std::string& b, int32_t) {
                                      const size_t end = b.find("</NXF_header>");
                                      b.replace(end, 13, "</NXF_headeX>");
                                  },
                                  "Corrupt file, (The header document cannot be read)", false},
                      Damage_Case{"SampleSizeCannotHoldASample",
                                  [](std::string& b, int32_t) {
                                      Replace_Header(b, [](Cls_XML_header& d) {
                                          d.Set_L_RGB_Sample_Size(0);
                                          d.Set_RGB_Image_size(0);
                                      });
                                  },
                                  "Corrupt file, (Invalid sample size 0 for 4 frames)", false},
                      Damage_Case{"HeaderCountsMoreFramesThanTheFileHolds",
                                  [](std::string& b, int32_t s) { b.resize(32016 + 2 * static_cast<size_t>(s) + 5); },
                                  "the header counts 4 frames, but the file holds only 2", true},
                      Damage_Case{"HeaderBlockCutShort", [](std::string& b, int32_t) { b.resize(1000); },
                                  "Corrupt file, (Incomplete header block)", false}),
    By_Name());

TEST_F(Handler_Test, AReadErrorStopsFieldDrawingOnlyForThatRecording) {
    const std::string path = File("err.nx3");
    Record(path, {3});
    cls_VideoFile_handler h;
    ASSERT_TRUE(h.Open_File(path));
    Platform::PictureBox box;
    box.Set_Canvas_Size(W, H);
    EXPECT_NE(h.Prepare_RGB_Field(1), nullptr);
    // A frame the recording does not have is a read error, reported once.
    EXPECT_FALSE(h.Read_RGB_sample(9, false));
    EXPECT_TRUE(h.Read_Error());
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_EQ(errors.errors[0].location, "Read_RGB_sample of Class Module Class_RGB_file_handler");
    EXPECT_NE(errors.errors[0].extra.find(" my_fnum = 9"), std::string::npos);
    EXPECT_NE(errors.errors[0].extra.find("/End of extra info"), std::string::npos);
    EXPECT_EQ(h.Prepare_RGB_Field(3), nullptr);
    EXPECT_NE(h.Prepare_RGB_frame(2), nullptr);  // whole frames still draw
    // The mark belongs to the recording: the next open clears it.
    ASSERT_TRUE(h.Open_File(path));
    EXPECT_FALSE(h.Read_Error());
    EXPECT_NE(h.Prepare_RGB_Field(3), nullptr);
}

// ---------------------------------------------------------------------------
// drawing

TEST_F(Handler_Test, BothFieldsOfAFrameReadItOnceAndDifferOnlyInTheFieldShown) {
    const std::string path = File("fields.nx3");
    cls_VideoFile_handler w;
    w.Set_Cropped_X(W);
    w.Set_Cropped_Y(H);
    w.Set_RGB_interlaced(true);
    ASSERT_TRUE(w.Initiate_NX3_File(path));
    Frame_List frames;
    cDIBSection striped;
    ASSERT_TRUE(striped.Create(W, H));
    // Wide bands, one field bright and the other dark within each band of two rows.
    for (int32_t y = 0; y < H; ++y) Fill_Rows(striped, y, 1, y % 2 == 0 ? White : Black);
    frames.Add(striped, 10, 20, 30);
    frames.Add(striped, 50, 60, 40);
    ASSERT_EQ(w.Append_Stored_Frames(frames), 2);

    cls_VideoFile_handler h;
    ASSERT_TRUE(h.Open_File(path));
    const int64_t reads = h.Sample_Reads();
    const int64_t decodes = h.Decodes();
    Platform::PictureBox box;
    box.Set_Canvas_Size(W, H);

    h.Draw_RGB_Field(1, box);  // the open's reads ended on frame 2
    EXPECT_EQ(h.Field_To_Show(), 1);
    EXPECT_EQ(h.NX3_Displayed_Frame(), 1);
    EXPECT_EQ(h.Nominal_Elapsed(), 0);
    const cDIBSection& target = h.obj_DIB_Deint_target(1);
    const std::vector<uint8_t> first(target.DIBSectionBitsPtr(), target.DIBSectionBitsPtr() + target.SizeImage());
    const QImage first_box = box.Canvas().copy();
    h.Draw_RGB_Field(2, box);
    EXPECT_EQ(h.Field_To_Show(), 2);
    EXPECT_EQ(h.Current_Field(), 2);
    EXPECT_EQ(h.NX3_Displayed_Frame(), 1);
    EXPECT_EQ(h.Nominal_Elapsed(), 20);
    const std::vector<uint8_t> second(target.DIBSectionBitsPtr(), target.DIBSectionBitsPtr() + target.SizeImage());
    EXPECT_EQ(h.Sample_Reads(), reads + 1);
    EXPECT_EQ(h.Decodes(), decodes + 1);

    // Exactly the deinterlacer's two fields of the one decoded frame.
    const cDIBSection& source = h.obj_DIB_Deint_source(1);
    std::vector<uint8_t> expect(first.size());
    Picture_Ops::deinterlaceFrame2(source.DIBSectionBitsPtr(), expect.data(), W, H, 2);
    EXPECT_EQ(first, expect);
    Picture_Ops::deinterlaceFrame2(source.DIBSectionBitsPtr(), expect.data(), W, H, 1);
    EXPECT_EQ(second, expect);
    // The first field saw the bright rows, the second the dark ones.
    EXPECT_GT(first_box.pixelColor(W / 2, H / 2).lightness(), 150);
    EXPECT_LT(box.Canvas().pixelColor(W / 2, H / 2).lightness(), 100);
    EXPECT_EQ(h.Get_Field_Pixel(W / 2, H / 2), target.Get_Pixel(W / 2, H / 2));
}

// A red dog moving across grey: the frame's two fields caught it 32 pixels
// apart. Each field must show its own dog and plain grey where only the other
// field has it; colour shared over two rows would paint a pink ghost there.
TEST_F(Handler_Test, OneFieldShowsNoColourGhostOfTheOtherFieldsDog) {
    constexpr int32_t Grey = 0x808080;
    struct Case {
        int32_t field, dog_x, other_x;
    } cases[] = {{1, 8, 40}, {2, 40, 8}};
    const std::string path = File("dog.nx3");
    cls_VideoFile_handler w;
    w.Set_Cropped_X(W);
    w.Set_Cropped_Y(H);
    w.Set_RGB_interlaced(true);
    ASSERT_TRUE(w.Initiate_NX3_File(path));
    cDIBSection frame;
    ASSERT_TRUE(frame.Create(W, H));
    for (int32_t y = 0; y < H; ++y) {
        Fill_Rows(frame, y, 1, Grey);
        // Rows 0, 2, 4 ... are field 1; the dog is 16 pixels long, rows 16 to 31.
        const int32_t dog_x = y % 2 == 0 ? 8 : 40;
        if (y >= 16 && y < 32)
            for (int32_t x = dog_x; x < dog_x + 16; ++x) frame.Set_Pixel(x, y, Red);
    }
    Frame_List frames;
    frames.Add(frame, 10, 20, 40);
    ASSERT_EQ(w.Append_Stored_Frames(frames), 1);

    cls_VideoFile_handler h;
    ASSERT_TRUE(h.Open_File(path));
    const auto spread = [](uint32_t c) {
        const int r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
        return std::max({r, g, b}) - std::min({r, g, b});
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("field " + std::to_string(c.field));
        const cDIBSection* shown = h.Prepare_RGB_Field(c.field);
        ASSERT_NE(shown, nullptr);
        int ghost = 0;
        for (int32_t y = 18; y < 30; ++y)
            for (int32_t x = c.other_x + 3; x < c.other_x + 13; ++x)
                ghost = std::max(ghost, spread(shown->Get_Pixel(x, y)));
        EXPECT_LT(ghost, 24) << "colour where only the other field has the dog";
        EXPECT_LT(Colour_Distance(shown->Get_Pixel(c.dog_x + 8, 24), Red), 48) << "the field's own dog";
    }
}

TEST_F(Handler_Test, AFrameOfAnotherSizeThanTheHeaderSaysIsStillDeinterlaced) {
    const std::string path = File("sizes.nx3");
    Record(path, {2});
    std::string b = Bytes_Of(path);
    Replace_Header(b, [](Cls_XML_header& d) {
        d.Set_RGB_X(80);
        d.Set_RGB_Y(60);
    });
    Write_Text(path, b);
    const std::string saved_folder = Facts().AppData_Folder;
    Change_Facts([&](Startup_Facts& f) { f.AppData_Folder = Data_Dir(); });
    cls_VideoFile_handler h;
    ASSERT_TRUE(h.Open_File(path));
    EXPECT_EQ(h.obj_DIB_Deint_target(1).Width(), 80);
    ASSERT_NE(h.Prepare_RGB_Field(1), nullptr);
    Change_Facts([&](Startup_Facts& f) { f.AppData_Folder = saved_folder; });
    // The target follows the decoded frame, and the mismatch is noted.
    EXPECT_EQ(h.obj_DIB_Deint_target(1).Width(), W);
    EXPECT_EQ(h.obj_DIB_Deint_target(1).Height(), H);
    const std::string line = "Deinterlace, size mismatch for file = " + path;
    EXPECT_TRUE(traces.Has(line));
    EXPECT_NE(Read_Text(Platform::Join_Path(Data_Dir(), "Houndex_eventlog.txt")).find(line), std::string::npos);
    EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(Handler_Test, FieldsMapOntoFramesTwoByTwo) {
    const std::string path = File("map.nx3");
    Record(path, {3});
    cls_VideoFile_handler h;
    ASSERT_TRUE(h.Open_File(path));
    struct Case {
        int32_t field;
        int16_t frame, shown;
    } cases[] = {{1, 1, 1}, {2, 1, 2}, {3, 2, 1}, {4, 2, 2}, {5, 3, 1}, {6, 3, 2}};
    for (const Case& c : cases) {
        ASSERT_NE(h.Prepare_RGB_Field(c.field), nullptr);
        EXPECT_EQ(h.Last_Frame_Read(), c.frame) << c.field;
        EXPECT_EQ(h.Field_To_Show(), c.shown);
        EXPECT_EQ(h.Nominal_Elapsed(), (c.field - 1) * 20);
        EXPECT_EQ(h.NX3_Capture_mill(), 100000 + 40 * c.frame);
    }
    ASSERT_NE(h.Prepare_RGB_frame(3), nullptr);
    EXPECT_EQ(h.Field_To_Show(), 99);
    EXPECT_EQ(h.Nominal_Elapsed(), 2 * 40);
}

TEST_F(Handler_Test, AWholeFrameIsStretchedOverThePictureBoxUpright) {
    const std::string path = File("frame.nx3");
    Record(path, {2}, false);
    cls_VideoFile_handler h;
    ASSERT_TRUE(h.Open_File(path));
    Platform::PictureBox box;
    box.Set_Canvas_Size(2 * W, 2 * H);
    h.Draw_RGB_frame(1, box);
    EXPECT_EQ(h.Field_To_Show(), 99);
    EXPECT_EQ(h.NX3_Displayed_Frame(), 1);
    const QColor top = box.Canvas().pixelColor(W, 2);
    const QColor bottom_marker = box.Canvas().pixelColor(W, 2 * H - 2);
    EXPECT_GT(top.red(), 180);
    EXPECT_LT(top.green(), 80);
    EXPECT_LT(bottom_marker.red(), 220);  // the red band is only at the top
    EXPECT_GT(bottom_marker.green(), 40);
}

TEST_F(Handler_Test, ARotatedRecordingIsDrawnFromTheSwappedRotationTarget) {
    const std::string path = File("rotated.nx3");
    Record(path, {2}, true, true);
    cls_VideoFile_handler h;
    ASSERT_TRUE(h.Open_File(path));
    EXPECT_TRUE(h.RGB_Rotated());
    EXPECT_EQ(h.obj_DIB_Rotate_Target().Width(), H);
    EXPECT_EQ(h.obj_DIB_Rotate_Target().Height(), W);
    const cDIBSection* shown = h.Prepare_RGB_frame(1);
    ASSERT_EQ(shown, &h.obj_DIB_Rotate_Target());
    // The red band along the top of the frame is along the right of the turned picture.
    EXPECT_LT(Colour_Distance(shown->Get_Pixel(H - 2, W / 2), Red), 60);
    EXPECT_GT(Colour_Distance(shown->Get_Pixel(2, W / 2), Red), 60);
    ASSERT_EQ(h.Prepare_RGB_Field(2), &h.obj_DIB_Rotate_Target());
    h.Set_Field_Pixel(1, 1, Green);
    EXPECT_EQ(h.obj_DIB_Rotate_Target().Get_Pixel(1, 1), Green);
    EXPECT_EQ(h.Get_Field_Pixel(1, 1), Green);
}

// ---------------------------------------------------------------------------
// properties and pass-throughs

TEST_F(Handler_Test, ThePropertiesTextDescribesTheOpenRecording) {
    const std::string path = File("props.nx3");
    Record(path, {5});
    cls_VideoFile_handler h;
    EXPECT_EQ(h.NX3_Properties(), "");
    ASSERT_TRUE(h.Open_File(path));
    const std::string text = h.NX3_Properties();
    std::vector<std::string> lines;
    for (size_t start = 0;;) {
        const size_t end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 2;
    }
    ASSERT_EQ(lines.size(), 22u);
    const int64_t length = Platform::File_Size(path);
    EXPECT_EQ(lines[0], "File size: 0.1 MB") << length;
    EXPECT_EQ(lines[1], "Average frame size : " + std::to_string(length / 5 / 1024) + " kB");
    EXPECT_EQ(lines[2], "Read RGB sample size  : " + std::to_string(h.Read_Sample_Size()));
    EXPECT_EQ(lines[3], "Average compression ratio : " + std::to_string(length * 100 / 5 / (W * H * 3)) + "%");
    EXPECT_EQ(lines[4], "Frames : 5");
    EXPECT_EQ(lines[5], "Segments : 1");
    EXPECT_EQ(lines[6], "Rotated : False");
    EXPECT_EQ(lines[7], "Dimensions : 64*48");
    EXPECT_EQ(lines[8], "Fourcc : IJL");
    EXPECT_EQ(lines[9], "Codec : Intel");
    EXPECT_EQ(lines[10], "Base Quality : 80");
    EXPECT_EQ(lines[15], "Measured fps : 25");
    EXPECT_EQ(lines[16], "Interlaced : True");
    EXPECT_EQ(lines[20].rfind("Control Box serial : ", 0), 0u) << lines[20];
    EXPECT_EQ(lines[21], "Comment : ");
}

TEST_F(Handler_Test, HeaderPassThroughsConvertAndReportAsAgreed) {
    const std::string path = File("pass.nx3");
    Record(path, {2});
    cls_VideoFile_handler h;
    ASSERT_TRUE(h.Open_File(path));
    EXPECT_EQ(h.Hdx_start_PC_mill(), 0);  // the creation placeholder
    h.Set_Hdx_start_PC_mill(-123456);
    EXPECT_EQ(h.Hdx_start_PC_mill(), -123456);
    EXPECT_EQ(h.Header().Hdx_heat_start_PC_mill(), "-123456");
    h.Set_Hdx_Goal_compensation("12.5");
    EXPECT_DOUBLE_EQ(h.Hdx_Goal_compensation(), 12.5);
    h.Set_Hdx_Split_compensation("-3");
    EXPECT_DOUBLE_EQ(h.Hdx_Split_compensation(), -3);
    h.Set_Hdx_box_delay("30");
    EXPECT_EQ(h.Hdx_box_delay(), 30);
    h.Set_Running_Fps(48);
    EXPECT_EQ(h.Header().RGB_fps(), "48");
    EXPECT_EQ(h.Measured_fps(), 48);
    EXPECT_EQ(h.Segments_Num(), 1);
    EXPECT_EQ(h.Start_HDMI_events(1), 0);
    EXPECT_EQ(h.Hdx_Heat_time(7, false), 0);
    EXPECT_TRUE(errors.errors.empty());

    // Unreadable values: the reporting getters give 0 and say where.
    h.Set_Hdx_Goal_compensation("fast");
    EXPECT_EQ(h.Hdx_Goal_compensation(), 0);
    h.Set_Hdx_box_delay("x");
    EXPECT_EQ(h.Hdx_box_delay(), 0);
    EXPECT_EQ(h.Hdx_Heat_time(9, false), 0);  // no box 9
    EXPECT_EQ(h.Hdx_heat_frame(9), 0);
    EXPECT_EQ(h.Hdx_Heat_Click_Time(9), 0);  // default 0, no report
    ASSERT_EQ(errors.errors.size(), 4u);
    EXPECT_EQ(errors.errors[0].location, "Hdx_Goal_compensation of Class Module cls_AVI_handler");
    EXPECT_EQ(errors.errors[1].location, "Hdx_box_delay of Class Module cls_AVI_handler");
    EXPECT_EQ(errors.errors[2].location, "Hdx_Heat_time of Class Module cls_AVI_handler");
    EXPECT_EQ(errors.errors[3].location, "Hdx_heat_frame of Class Module cls_AVI_handler");
    h.Set_Running_Fps(0);
    h.Header().Set_RGB_fps("n/a");
    EXPECT_THROW(h.Measured_fps(), HdxError);
}

}  // namespace
