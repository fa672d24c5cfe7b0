// A program killed with SIGKILL in the middle of a capture window: after the
// journal is recovered the recording holds every frame that arrived more than
// 500 ms before the kill, once each and in arrival order.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Child_Process.h"
#include "Test_Env.h"
#include "Test_Name.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "recording/Frame_Journal.h"
#include "recording/cls_VideoFile_handler.h"

namespace {

struct Kill_Case {
    const char* name;
    int killed_window;  // 1: before the recording's data area is known
    int frames_seen;    // frames of that window handed over before the kill
};
class CaptureJournalTest : public Hdx_Test, public ::testing::WithParamInterface<Kill_Case> {};

TEST_P(CaptureJournalTest, AKilledWindowLosesAtMostTheLastHalfSecondAfterRecovery) {
    const Kill_Case& c = GetParam();
    const std::string path = Platform::Join_Path(Temp_Dir(), "killed.nx3");
    const Child_Process child = Start_Child({HOUNDEX_CAPTURE_JOURNAL, path, std::to_string(c.killed_window)});
    ASSERT_GE(child.pid, 0);
    const pid_t pid = child.pid;
    FILE* lines = child.lines;
    ASSERT_NE(lines, nullptr);
    std::vector<int32_t> arrived;
    const size_t before_killed_window = static_cast<size_t>(40 * (c.killed_window - 1));
    char line[64];
    int32_t mill = 0;
    while (arrived.size() < before_killed_window + static_cast<size_t>(c.frames_seen) &&
           std::fgets(line, sizeof line, lines))
        if (std::sscanf(line, "frame %d", &mill) == 1) arrived.push_back(mill);
    // The real clock the program stamps with (the test's own clock is a fake one).
    const auto real_ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
    const int32_t killed_at = static_cast<int32_t>(static_cast<uint32_t>(real_ms.count()));
    ASSERT_EQ(kill(pid, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    std::fclose(lines);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the program ended before it was killed";
    ASSERT_TRUE(Platform::File_Exists(Frame_Journal::Path_For(path))) << "the open window left no journal";

    cls_VideoFile_handler h;
    h.Set_File_name(path);
    EXPECT_GT(h.Recover_Journal(), 0);
    EXPECT_FALSE(Platform::File_Exists(Frame_Journal::Path_For(path))) << "the journal stayed after its recovery";
    EXPECT_EQ(h.Recover_Journal(), -1) << "a second recovery found something";

    ASSERT_TRUE(h.Open_File(path));
    std::vector<int32_t> stored;
    for (int16_t n = 1; n <= h.num_Frames(); ++n) {
        ASSERT_TRUE(h.Read_RGB_sample(n, true)) << n;
        ASSERT_FALSE(h.Damaged_Frame()) << n;
        stored.push_back(h.NX3_Capture_mill());
    }
    // In arrival order, each once, and nothing that did not arrive.
    ASSERT_LE(stored.size(), arrived.size() + 30);
    for (size_t i = 0; i < stored.size() && i < arrived.size(); ++i) ASSERT_EQ(stored[i], arrived[i]) << i;
    size_t must = 0;
    while (must < arrived.size() && Platform::Mill_Since(arrived[must], killed_at) > 500) ++must;
    EXPECT_GE(stored.size(), must) << "frames that arrived more than 500 ms before the kill are lost";
    EXPECT_GT(must, before_killed_window) << "the kill came too early to tell";
}

INSTANTIATE_TEST_SUITE_P(Windows, CaptureJournalTest,
                         ::testing::Values(Kill_Case{"in the first window", 1, 60},
                                           Kill_Case{"in a later window", 2, 60}),
                         By_Name());

}  // namespace
