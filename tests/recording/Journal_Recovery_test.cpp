// A capture window's journal as it is written.
#include <csignal>
#include <cstdio>

#include <sys/resource.h>
#include <unistd.h>

#include "Test_Env.h"
#include "platform/Files.h"
#include "recording/Frame_Journal.h"

namespace {

// Later writes to this process's files fail once they reach bytes (as root
// too); -1 lifts the limit again (the death test's report is a file too).
void Limit_File_Size(int64_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes < 0 ? limit.rlim_max : static_cast<rlim_t>(bytes);
    setrlimit(RLIMIT_FSIZE, &limit);
}

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
    EXPECT_EXIT(add(), ::testing::ExitedWithCode(0), "1 1: The capture journal .* stopped after 1 frames: .*File too large");
}

}  // namespace
