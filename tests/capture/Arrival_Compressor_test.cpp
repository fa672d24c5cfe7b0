// Frames compressed as they arrive must give the recording the capture-end
// compression gives: the same data-area size, the same quality and bytes in
// every sample, a file the command-line check passes, and after the first
// window only the compressed pictures held.
#include <cstdio>
#include <mutex>
#include <regex>
#include <thread>
#include <string>
#include <vector>

#include "Test_Env.h"
#include "Test_Name.h"
#include "Test_Pictures.h"
#include "capture/Arrival_Compressor.h"
#include "capture/Stored_Frames.h"
#include "platform/Files.h"
#include "recording/NX3_Layout.h"
#include "recording/cls_VideoFile_handler.h"

namespace {

constexpr int32_t W = 640, H = 480;

// Calm frames at the test positions fix N; busy ones need the ladder, wild
// ones do not fit even at the lowest quality, a broken one has too few bytes.
enum class Look { Calm, Busy, Wild, Broken };

std::vector<Look> Window(int count, bool first) {
    std::vector<Look> looks(static_cast<size_t>(count), Look::Busy);
    for (int i = 1; i <= count; ++i) {
        if (i % 5 == 0) looks[static_cast<size_t>(i - 1)] = Look::Wild;
        if (i % 4 == 1) looks[static_cast<size_t>(i - 1)] = Look::Calm;
    }
    if (first)
        for (int t : {count - 1, (count + 1) / 2, 2}) looks[static_cast<size_t>(t - 1)] = Look::Calm;
    looks[static_cast<size_t>(count / 3)] = Look::Broken;
    return looks;
}

std::shared_ptr<CVideobuff_RGB> Frame(Look look, uint32_t seed, int number) {
    auto f = std::make_shared<CVideobuff_RGB>();
    if (look == Look::Broken) {
        f->RGB_Length(64);
    } else {
        cDIBSection p;
        p.Create(W, H);
        Fill_Noise(p, seed, look == Look::Calm ? 0 : look == Look::Busy ? 40 : 127);
        f->Assign_RGB(p.DIBSectionBitsPtr(), static_cast<size_t>(p.SizeImage()), p.SizeImage());
    }
    f->PutTimestamp(7000 + 20 * number, 9000 + 20 * number, 20);
    return f;
}

std::string Without_Dates(const std::string& file_bytes) {
    const NX3::Header_Text h =
        NX3::Parse_Header_Block(reinterpret_cast<const uint8_t*>(file_bytes.data()), file_bytes.size());
    if (!h.ok) return "no header: " + h.problem;
    static const std::regex dated("<([A-Za-z_]*(date|time)[A-Za-z_]*)>[^<]*</\\1>", std::regex::icase);
    return std::regex_replace(h.text, dated, "<$1></$1>");
}

struct Arrival_Case {
    const char* name;
    int threads;         // compression workers; 0: no compression on arrival (the capture-end way)
    int first, second;   // frames of the two windows
    bool early = false;  // N chosen from the first window's frames before the window (as from a ring)
};

class ArrivalTest : public Hdx_Test, public ::testing::WithParamInterface<Arrival_Case> {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        dir = Temp_Dir();
    }
    std::string dir;
    struct Result {
        std::string bytes;
        int raw_kept = 0;  // second-window frames that fitted but kept their raw picture
    };
    Result Record(const std::string& name, int threads, bool early = false) {
        Result out;
        const std::string path = Platform::Join_Path(dir, name);
        cls_VideoFile_handler h;
        h.Set_Cropped_X(W);
        h.Set_Cropped_Y(H);
        h.Set_RGB_interlaced(true);
        EXPECT_TRUE(h.Initiate_NX3_File(path));
        Arrival_Compressor arrival(threads > 0 ? threads : 1);
        int number = 0;
        for (int window = 0; window < 2; ++window) {
            if (threads > 0) arrival.Configure(h.Compressor().Settings());
            Stored_Frames_Collection frames;
            std::vector<std::shared_ptr<CVideobuff_RGB>> kept;
            for (Look look : Window(window == 0 ? GetParam().first : GetParam().second, window == 0)) {
                ++number;
                auto f = Frame(look, static_cast<uint32_t>(number * 7 + window), number);
                arrival.Submit(f);
                kept.push_back(f);
                frames.Add(std::move(f));
            }
            arrival.Drain();
            if (early && window == 0) {
                EXPECT_GT(arrival.Choose_Data_Area(kept), 0);
                arrival.Drain();
            }
            if (window == 1 || early)
                for (int32_t i = 1; i <= frames.Count(); ++i) {
                    const Stored_Jpeg j = frames.Frame(i)->Jpeg();
                    if (j.Data && !j.Too_Large && frames.Frame(i)->RGB_Length() > 0) ++out.raw_kept;
                }
            h.Append_Stored_Frames(frames);
        }
        h.Close_File();
        out.bytes = Read_Text(path);
        return out;
    }
};

TEST_P(ArrivalTest, TheRecordingIsTheOneTheCaptureEndCompressionWrites) {
    const Result today = Record("capture_end.nx3", 0);
    const Arrival_Case& c = GetParam();
    const Result arrival = Record("arrival.nx3", c.threads, c.early);
    ASSERT_GT(today.bytes.size(), static_cast<size_t>(NX3::Header_Block_Size));
    ASSERT_EQ(arrival.bytes.size(), today.bytes.size());
    EXPECT_TRUE(arrival.bytes.compare(NX3::Header_Block_Size, std::string::npos, today.bytes, NX3::Header_Block_Size,
                                      std::string::npos) == 0)
        << "the samples differ";
    // N, the counts and the size statistics (every ladder attempt) agree.
    EXPECT_EQ(Without_Dates(arrival.bytes), Without_Dates(today.bytes));

    // After the first window (from the first with N chosen early) a fitted frame holds its JPEG only.
    EXPECT_EQ(arrival.raw_kept, 0);

    const std::string command =
        std::string(HOUNDEX_NX3_PATH) + " verify '" + Platform::Join_Path(dir, "arrival.nx3") + "' 2>&1";
    std::string said;
    FILE* out = popen(command.c_str(), "r");
    ASSERT_NE(out, nullptr);
    char line[512];
    while (std::fgets(line, sizeof line, out)) said += line;
    EXPECT_EQ(pclose(out), 0) << said;
}

INSTANTIATE_TEST_SUITE_P(Windows, ArrivalTest,
                         ::testing::Values(Arrival_Case{"one worker", 1, 23, 17},
                                           Arrival_Case{"three workers", 3, 31, 12},
                                           Arrival_Case{"a window of two frames first", 2, 2, 9},
                                           Arrival_Case{"N chosen before the first window", 2, 23, 17, true},
                                           Arrival_Case{"N chosen early from two frames", 1, 2, 9, true}),
                         By_Name());

class Arrival_Queue_Test : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        dir = Temp_Dir();
    }
    std::string dir;
};

// A worker that notes which thread writes each journal record.
class Watched_Compressor : public Arrival_Compressor {
public:
    using Arrival_Compressor::Arrival_Compressor;
    std::mutex lock;
    std::vector<std::thread::id> writers;

protected:
    void Write_Record(Frame_Journal& journal, const CVideobuff_RGB& frame) override {
        {
            std::lock_guard<std::mutex> g(lock);
            writers.push_back(std::this_thread::get_id());
        }
        Arrival_Compressor::Write_Record(journal, frame);
    }
};

Fit_Settings Settings_For(int32_t n) {
    Frame_Compressor c;
    c.Cropped_X(W);
    c.Cropped_Y(H);
    c.Rounded_Compressed_Size(n);
    return c.Settings();
}

TEST_F(Arrival_Queue_Test, FramesCompressedBeforeTheyJoinAWindowAreJournalledByTheWorkersNeverByTheWindowThread) {
    for (const int32_t n : {0, 200000}) {
        Watched_Compressor arrival(2);
        arrival.Configure(Settings_For(n));
        std::vector<std::shared_ptr<CVideobuff_RGB>> ring;
        for (int i = 1; i <= 30; ++i) {
            ring.push_back(Frame(Look::Calm, static_cast<uint32_t>(i), i));
            ring.back()->Set_Sequence(i);
            arrival.Submit(ring.back());
        }
        arrival.Drain();
        const std::string path = Platform::Join_Path(dir, "ring_" + std::to_string(n) + ".nx3");
        auto journal = std::make_shared<Frame_Journal>(path, 0);
        arrival.Start_Journal(journal);
        for (const auto& f : ring) arrival.Join_Window(f);  // the press
        EXPECT_EQ(arrival.Stop_Journal(), journal);
        EXPECT_EQ(journal->Records(), 30) << "N " << n;
        ASSERT_EQ(arrival.writers.size(), 30u);
        for (const std::thread::id& id : arrival.writers) EXPECT_NE(id, std::this_thread::get_id()) << "N " << n;
        journal->Close();
        const Frame_Journal::Contents read = Frame_Journal::Read(Frame_Journal::Path_For(path));
        ASSERT_TRUE(read.ok);
        EXPECT_EQ(read.frames.size(), 30u);
    }
}

TEST_F(Arrival_Queue_Test, FramesFindingTheQueueFullWaitRawAndAreAllCompressedInArrivalOrder) {
    Arrival_Compressor arrival(1);
    arrival.Configure(Settings_For(200000));
    arrival.Max_Queued(2);
    std::vector<std::shared_ptr<CVideobuff_RGB>> kept;
    for (int i = 1; i <= 20; ++i) kept.push_back(Frame(Look::Busy, static_cast<uint32_t>(i), i));
    int refused = 0;
    for (const auto& f : kept) refused += arrival.Submit(f) ? 0 : 1;
    EXPECT_GT(refused, 0);
    EXPECT_EQ(arrival.Deferred(), refused);
    // One let go while it waits is not compressed for nothing.
    std::weak_ptr<CVideobuff_RGB> gone = kept.back();
    kept.pop_back();
    arrival.Drain();
    EXPECT_TRUE(gone.expired());
    EXPECT_EQ(arrival.Compressed(), 19);
    for (const auto& f : kept) {
        EXPECT_NE(f->Jpeg().Data, nullptr);
        EXPECT_EQ(f->Video_Adress(), nullptr);
    }
}

}  // namespace
