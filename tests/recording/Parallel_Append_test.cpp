// The capture-end append fits frames on several threads; the recording it
// writes must be the one the writer alone writes.
#include <regex>
#include <string>
#include <vector>

#include "Test_Env.h"
#include "Test_Pictures.h"
#include "platform/Files.h"
#include "recording/NX3_Layout.h"
#include "recording/cls_VideoFile_handler.h"

namespace {

constexpr int32_t W = 640, H = 480;

// What a frame of the pass looks like.
enum class Look { Calm, Busy, Wild, Broken };

struct Pass_Result {
    std::string bytes;                 // the whole file
    std::vector<std::string> errors;   // location | description, in report order
    std::vector<int> progress;         // the percentages the pass gave
    std::vector<int64_t> file_length;  // the file's length at each of them
    int32_t stored = 0;
    int32_t largest = 0, smallest = 0;
};

// Calm frames sit where the data-area size is chosen (C-1, C/2 and 2), so
// busier frames must fall down the quality ladder and the wildest do not fit
// at all.
std::vector<Look> First_Pass(int count) {
    std::vector<Look> looks(static_cast<size_t>(count), Look::Busy);
    for (int i = 1; i <= count; ++i) {
        if (i % 5 == 0) looks[static_cast<size_t>(i - 1)] = Look::Wild;
        if (i % 4 == 1) looks[static_cast<size_t>(i - 1)] = Look::Calm;
    }
    for (int t : {count - 1, (count + 1) / 2, 2}) looks[static_cast<size_t>(t - 1)] = Look::Calm;
    looks[static_cast<size_t>(count / 3)] = Look::Broken;
    return looks;
}

void Fill(Frame_List& frames, const std::vector<Look>& looks, uint32_t seed) {
    int number = 0;
    for (Look look : looks) {
        ++number;
        if (look == Look::Broken) {
            frames.Add_Raw(64);
            continue;
        }
        cDIBSection p;
        ASSERT_TRUE(p.Create(W, H));
        const int amplitude = look == Look::Calm ? 0 : look == Look::Busy ? 40 : 127;
        Fill_Noise(p, seed + static_cast<uint32_t>(number), amplitude);
        frames.Add(p, 7000 + 20 * number, 9000 + 20 * number, 20);
    }
}

// The header document with the texts of its date and time elements blanked:
// two recordings made one after the other differ only there.
std::string Without_Dates(const std::string& file_bytes) {
    const NX3::Header_Text h =
        NX3::Parse_Header_Block(reinterpret_cast<const uint8_t*>(file_bytes.data()), file_bytes.size());
    if (!h.ok) return "no header: " + h.problem;
    static const std::regex dated("<([A-Za-z_]*(date|time)[A-Za-z_]*)>[^<]*</\\1>", std::regex::icase);
    return std::regex_replace(h.text, dated, "<$1></$1>");
}

class Parallel_Append : public Hdx_Test, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        dir = Temp_Dir();
    }
    // Records two capture passes (the second reuses the recording's data-area
    // size) with the given number of fitting threads.
    Pass_Result Record(const std::string& name, int threads, int first_count) {
        Pass_Result out;
        const std::string path = Platform::Join_Path(dir, name);
        errors.errors.clear();
        cls_VideoFile_handler h;
        h.Set_Append_Threads(threads);
        h.Set_Cropped_X(W);
        h.Set_Cropped_Y(H);
        h.Set_RGB_interlaced(true);
        EXPECT_TRUE(h.Initiate_NX3_File(path));
        h.Set_Hdx_event("Autumn Derby");
        EXPECT_TRUE(h.Write_XML_Header());
        h.Close_File();
        const auto progress = [&out, path](int percent) {
            out.progress.push_back(percent);
            out.file_length.push_back(Platform::File_Size(path));
        };
        Frame_List first;
        Fill(first, First_Pass(first_count), 11);
        out.stored += h.Append_Stored_Frames(first, progress);
        Frame_List second;
        Fill(second, {Look::Busy, Look::Wild, Look::Calm, Look::Busy, Look::Busy, Look::Wild, Look::Busy}, 500);
        out.stored += h.Append_Stored_Frames(second, progress);
        out.largest = h.Compressor().Largest_JPG();
        out.smallest = h.Compressor().Smallest_JPG();
        h.Close_File();
        out.bytes = Read_Text(path);
        for (const Recorded_Error& e : errors.errors) out.errors.push_back(e.location + " | " + e.description);
        return out;
    }

    std::string dir;
};

TEST_P(Parallel_Append, WritesTheSamplesTheWriterAloneWrites) {
    const int first_count = 23;
    const Pass_Result alone = Record("alone.nx3", 1, first_count);
    const Pass_Result parallel = Record("parallel.nx3", GetParam(), first_count);

    // The fixture must exercise the ladder and its failures, or the comparison shows little.
    ASSERT_GT(alone.bytes.size(), static_cast<size_t>(NX3::Header_Block_Size));
    int too_large = 0, not_compressed = 0;
    for (const std::string& e : alone.errors) {
        if (e.find("does not fit into the JPEG data area") != std::string::npos) ++too_large;
        if (e.find("holds 64 bytes") != std::string::npos) ++not_compressed;
    }
    EXPECT_GT(too_large, 0) << alone.largest << " " << alone.smallest;
    EXPECT_EQ(not_compressed, 1);
    cls_VideoFile_handler reader;
    ASSERT_TRUE(reader.Open_File(Platform::Join_Path(dir, "alone.nx3")));
    bool reduced = false;
    for (int16_t n = 1; n <= reader.num_Frames(); ++n) {
        ASSERT_TRUE(reader.Read_RGB_sample(n, false));
        reduced = reduced || reader.Sample_Quality() < 80;
    }
    EXPECT_TRUE(reduced) << "no frame was stored at a reduced quality";
    reader.Close_File();

    EXPECT_EQ(parallel.stored, alone.stored);
    ASSERT_EQ(parallel.bytes.size(), alone.bytes.size());
    EXPECT_TRUE(parallel.bytes.compare(NX3::Header_Block_Size, std::string::npos, alone.bytes, NX3::Header_Block_Size,
                                       std::string::npos) == 0)
        << "the samples differ";
    EXPECT_EQ(Without_Dates(parallel.bytes), Without_Dates(alone.bytes));
    EXPECT_EQ(parallel.errors, alone.errors);  // the same reports, in frame order
    EXPECT_EQ(parallel.largest, alone.largest);
    EXPECT_EQ(parallel.smallest, alone.smallest);

    // The progress window moves after every frame, up to 100 % in each pass.
    EXPECT_EQ(parallel.progress, alone.progress);
    ASSERT_EQ(parallel.progress.size(), static_cast<size_t>(first_count + 7));
    EXPECT_EQ(parallel.progress[static_cast<size_t>(first_count - 1)], 100);
    EXPECT_EQ(parallel.progress.back(), 100);
    // Each step comes after its sample is on disk: the file grows sample by sample.
    EXPECT_EQ(parallel.file_length, alone.file_length);
    EXPECT_TRUE(NX3::Verify_File(Platform::Join_Path(dir, "parallel.nx3")).empty());
}

// 2 and 3 threads; 16 is more threads than the look-ahead of one worker
// leaves frames for, and more than the second pass holds.
INSTANTIATE_TEST_SUITE_P(Threads, Parallel_Append, ::testing::Values(2, 3, 16),
                         [](const auto& param_info) { return std::to_string(param_info.param) + "Threads"; });

using Append_Reentry = Hdx_Test;

// The progress function may run events, and a capture end among them would
// start a second pass over a recording that is half written.
TEST_F(Append_Reentry, APassEnteredAgainFromProgressIsRefusedAndKeepsItsFrames) {
    const std::string path = Platform::Join_Path(Temp_Dir(), "again.nx3");
    cls_VideoFile_handler h;
    h.Set_Append_Threads(2);
    h.Set_Cropped_X(W);
    h.Set_Cropped_Y(H);
    ASSERT_TRUE(h.Initiate_NX3_File(path));
    Frame_List frames;
    Fill(frames, {Look::Calm, Look::Busy, Look::Calm, Look::Busy}, 3);
    Frame_List late;
    Fill(late, {Look::Calm, Look::Calm}, 9);
    int32_t inner = -1;
    EXPECT_EQ(h.Append_Stored_Frames(frames,
                                     [&](int) {
                                         if (inner < 0) inner = h.Append_Stored_Frames(late);
                                     }),
              4);
    EXPECT_EQ(inner, 0);
    EXPECT_EQ(late.Count(), 2);  // kept for a later pass
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_NE(errors.errors[0].description.find("already running"), std::string::npos);
    EXPECT_EQ(h.Append_Stored_Frames(late), 2);
    cls_VideoFile_handler reader;
    ASSERT_TRUE(reader.Open_File(path));
    EXPECT_EQ(reader.num_Frames(), 6);
}

}  // namespace
