// A writer killed in the middle of a capture pass must leave a recording whose
// every complete sample can still be shown: the samples written after the
// header last counted them included.
#include <csignal>
#include <cstdio>
#include <string>

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Child_Process.h"
#include "Test_Env.h"
#include "platform/Files.h"
#include "recording/NX3_Layout.h"
#include "recording/cls_VideoFile_handler.h"

namespace {

constexpr int Frames_Per_Pass = 150;

// The header's own count of frames, as the last closed pass wrote it.
int32_t Header_Frames(const std::string& path) {
    const std::string bytes = Read_Text(path);
    const NX3::Header_Text h = NX3::Parse_Header_Block(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    if (!h.ok) return -1;
    Cls_XML_header doc;
    doc.Set_XML_string(h.text);
    return doc.G_Frames_no();
}

class Crash_Safety : public Hdx_Test, public ::testing::WithParamInterface<int> {};

// The parameter is how many whole passes the writer has closed before the
// kill; the kill then comes while the next pass has written some samples.
TEST_P(Crash_Safety, KilledWriterLeavesEveryCompleteSample) {
    const int passes_before_kill = GetParam();
    const std::string path = Platform::Join_Path(Temp_Dir(), "killed.nx3");
    const Child_Process child = Start_Child({HOUNDEX_CRASH_WRITER, path, std::to_string(Frames_Per_Pass), "100"});
    ASSERT_GE(child.pid, 0);
    const pid_t pid = child.pid;
    FILE* lines = child.lines;
    ASSERT_NE(lines, nullptr);
    char line[64];
    int closed = 0;
    while (closed < passes_before_kill && std::fgets(line, sizeof line, lines)) ++closed;
    ASSERT_EQ(closed, passes_before_kill) << "the writer ended early";

    // Past the samples of the closed passes, and some way into the next one.
    const int64_t grown_from = Platform::File_Size(path);
    int64_t length = grown_from;
    for (int i = 0; i < 20000 && length < grown_from + 400 * 1024; ++i) {
        usleep(1000);
        length = Platform::File_Size(path);
    }
    ASSERT_EQ(kill(pid, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    std::fclose(lines);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer finished before it was killed";

    const int64_t final_length = Platform::File_Size(path);
    const int32_t header_frames = Header_Frames(path);
    ASSERT_GE(header_frames, 0) << "the header block did not survive the kill";

    cls_VideoFile_handler reader;
    ASSERT_TRUE(reader.Open_File(path));
    const int64_t complete = NX3::Complete_Samples(final_length, reader.Read_Sample_Size());
    RecordProperty("header_frames", header_frames);
    RecordProperty("complete_samples", static_cast<int>(complete));
    EXPECT_GE(complete, int64_t{passes_before_kill} * Frames_Per_Pass);
    EXPECT_EQ(reader.num_Frames(), complete) << "the count is not the complete samples in the file";
    EXPECT_GE(reader.num_Frames(), header_frames);
    EXPECT_GT(complete, header_frames) << "the kill did not come in the middle of a pass";
    for (int16_t n = 1; n <= reader.num_Frames(); ++n) {
        ASSERT_TRUE(reader.Read_RGB_sample(n, true)) << "frame " << n;
        ASSERT_FALSE(reader.Damaged_Frame()) << "frame " << n << " does not decode";
        EXPECT_EQ(reader.NX3_Capture_mill(), 1000 + 20 * n) << "frame " << n << " is not the frame written there";
    }
    reader.Close_File();
    EXPECT_EQ(Platform::File_Size(path), final_length) << "reading the recording changed it";
}

INSTANTIATE_TEST_SUITE_P(Passes, Crash_Safety, ::testing::Values(0, 1, 2), [](const auto& param_info) {
    return "KilledAfter" + std::to_string(param_info.param) + (param_info.param == 1 ? "Pass" : "Passes");
});

}  // namespace
