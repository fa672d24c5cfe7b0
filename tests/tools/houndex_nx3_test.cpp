// The command-line tool, run as a separate program the way scripts use it.
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <QByteArray>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include "Nx3_Tool.h"
#include "Test_Env.h"
#include "platform/Files.h"
#include "recording/NX3_Layout.h"
#include "metadata/Cls_XML_header.h"
#include "recording/cls_VideoFile_handler.h"
#include "review/Finish_Strip.h"
#include "review/Official_Record.h"
#include "review/Module_Results.h"

namespace {

constexpr int W = 96, H = 64;

// Raw bgr24 frames, top row first: a red band over the top eight rows, the
// rest a gradient that moves with the frame number.
QByteArray Raw_Frames(int count) {
    QByteArray raw;
    raw.reserve(count * W * H * 3);
    for (int k = 0; k < count; ++k)
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                if (y < 8) {
                    raw.append(char(0)).append(char(0)).append(char(255));
                } else {
                    raw.append(char((x * 2 + k * 8) % 256)).append(char(y * 3)).append(char(120));
                }
            }
    return raw;
}

std::string Write_File(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

class Tool_Test : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        dir = Temp_Dir();
    }
    std::string File(const std::string& name) const { return Platform::Join_Path(dir, name); }

    std::string Make(const std::string& name, int frames, std::vector<std::string> extra = {}) {
        const std::string path = File(name);
        std::vector<std::string> args{"create", path, "--size", std::to_string(W) + "x" + std::to_string(H)};
        args.insert(args.end(), extra.begin(), extra.end());
        const Tool_Run r = Tool(args, Raw_Frames(frames));
        EXPECT_EQ(r.status, 0) << r.err;
        return path;
    }

    std::string dir;
};

TEST_F(Tool_Test, CreateThenVerifyInfoFramesAndExportRoundTrip) {
    const std::string path = Make("heat.nx3", 8, {"--fps", "25", "--interlaced", "--start-mill", "5000"});

    const Tool_Run verify = Tool({"verify", path});
    EXPECT_EQ(verify.status, 0) << verify.out;
    EXPECT_EQ(verify.out, "");

    const Tool_Run info = Tool({"info", path, "--json"});
    ASSERT_EQ(info.status, 0) << info.err;
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(info.out)).object();
    ASSERT_FALSE(o.isEmpty()) << info.out;
    EXPECT_EQ(o["frames"].toInt(), 8);
    EXPECT_EQ(o["fields"].toInt(), 16);
    EXPECT_EQ(o["width"].toInt(), W);
    EXPECT_EQ(o["height"].toInt(), H);
    EXPECT_EQ(o["sample_size"].toInt(), o["image_size"].toInt() + 58);
    EXPECT_EQ(o["image_size"].toInt() % 1000, 0);
    EXPECT_TRUE(o["interlaced"].toBool());
    EXPECT_TRUE(o["fields_stacked"].toBool());
    EXPECT_FALSE(o["rotated"].toBool());
    EXPECT_EQ(o["fps"].toInt(), 25);
    EXPECT_EQ(o["segments"].toInt(), 1);
    EXPECT_EQ(o["event"].toString(), "Test Event");
    EXPECT_EQ(o["heat_id"].toString(), "1");
    EXPECT_EQ(o["heat_name"].toString(), "Test Heat");
    EXPECT_EQ(o["start_pc_mill"].toInt(), 5000);
    EXPECT_FALSE(o["read_only"].toBool());
    EXPECT_EQ(Platform::File_Size(path), 32016 + 8 * o["sample_size"].toInt());

    const Tool_Run plain = Tool({"info", path});
    EXPECT_NE(plain.out.find("frames: 8\n"), std::string::npos) << plain.out;
    EXPECT_NE(plain.out.find("interlaced: true\n"), std::string::npos);

    const Tool_Run frames = Tool({"frames", path, "--json"});
    ASSERT_EQ(frames.status, 0) << frames.err;
    const QJsonArray list = QJsonDocument::fromJson(QByteArray::fromStdString(frames.out)).array();
    ASSERT_EQ(list.size(), 8) << frames.out;
    for (int k = 0; k < 8; ++k) {
        const QJsonObject f = list[k].toObject();
        EXPECT_EQ(f["frame"].toInt(), k + 1);
        EXPECT_EQ(f["capture_mill"].toInt(), 5000 + 40 * k);
        EXPECT_EQ(f["capture_delta"].toInt(), 40);
        EXPECT_EQ(f["capture_local"].toInt() - list[0].toObject()["capture_local"].toInt(), 40 * k);
        EXPECT_EQ(f["quality"].toInt(), 80);
        EXPECT_GT(f["jpeg_size"].toInt(), 100);
        EXPECT_LE(f["jpeg_size"].toInt(), o["image_size"].toInt());
        EXPECT_EQ(f["status"].toString(), "ok");
    }

    // The exported frame is the input frame, upright, within JPEG error.
    const QByteArray raw = Raw_Frames(8);
    for (const char* name : {"f3.png", "f3.jpg"}) {
        const std::string out = File(name);
        const Tool_Run ex = Tool({"export", path, "3", out});
        ASSERT_EQ(ex.status, 0) << ex.err;
        QImage picture(QString::fromStdString(out));
        ASSERT_FALSE(picture.isNull()) << name;
        ASSERT_EQ(picture.width(), W);
        ASSERT_EQ(picture.height(), H);
        double total = 0;
        int worst = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const QColor c = picture.pixelColor(x, y);
                const char* p = raw.constData() + ((2 * H + y) * W + x) * 3;
                const int d[3] = {std::abs(c.blue() - uint8_t(p[0])), std::abs(c.green() - uint8_t(p[1])),
                                  std::abs(c.red() - uint8_t(p[2]))};
                for (int v : d) {
                    total += v;
                    worst = std::max(worst, v);
                }
            }
        EXPECT_LT(total / (W * H * 3), 6.0) << name;
        // A JPEG of the decoded frame is a second generation: the colour of each stacked field,
        // halved over two of its rows, is halved again, and the red band's edge moves a little more.
        EXPECT_LT(worst, std::string(name) == "f3.jpg" ? 100 : 80) << name;
        EXPECT_GT(picture.pixelColor(W / 2, 2).red(), 200) << "upright: the band is at the top";
        EXPECT_LT(picture.pixelColor(W / 2, H - 3).red(), 160);
    }

    // One field of a frame: full size, the same picture for this progressive scene.
    const std::string field = File("field.png");
    const Tool_Run fx = Tool({"export", path, "3", field, "--field", "2"});
    ASSERT_EQ(fx.status, 0) << fx.err;
    const QImage fp(QString::fromStdString(field));
    EXPECT_EQ(fp.size(), QSize(W, H));
    EXPECT_GT(fp.pixelColor(W / 2, 2).red(), 200);
}

TEST_F(Tool_Test, CaptureTimesFollowTheFrameRateRounded) {
    const std::string path = Make("thirty.nx3", 5, {"--fps", "30", "--start-mill", "-20"});
    const Tool_Run frames = Tool({"frames", path, "--json"});
    const QJsonArray list = QJsonDocument::fromJson(QByteArray::fromStdString(frames.out)).array();
    ASSERT_EQ(list.size(), 5);
    const int mills[] = {-20, 13, 47, 80, 113};
    const int deltas[] = {33, 33, 34, 33, 33};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(list[k].toObject()["capture_mill"].toInt(), mills[k]) << k;
        EXPECT_EQ(list[k].toObject()["capture_delta"].toInt(), deltas[k]) << k;
    }
    const QJsonObject info =
        QJsonDocument::fromJson(QByteArray::fromStdString(Tool({"info", path, "--json"}).out)).object();
    EXPECT_FALSE(info["interlaced"].toBool());
    EXPECT_FALSE(info["fields_stacked"].toBool());
    EXPECT_EQ(info["fields"].toInt(), 5);
    EXPECT_EQ(info["fps"].toInt(), 30);
}

TEST_F(Tool_Test, HeaderPrintsTheStoredDocument) {
    const std::string path = Make("h.nx3", 2);
    const Tool_Run r = Tool({"header", path});
    ASSERT_EQ(r.status, 0);
    const std::string bytes = Read_Text(path);
    const NX3::Header_Text t = NX3::Parse_Header_Block(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(r.out.substr(0, t.text.size()), t.text);
    EXPECT_NE(r.out.find("<NXF_header>"), std::string::npos);
}

TEST_F(Tool_Test, InfoSaysWhatTheFrameStampsAre) {
    // The word the program keeps in the spare header element (none: a recording
    // made before it was kept), and what info makes of it.
    const std::pair<const char*, const char*> cases[] = {
        {nullptr, "unknown"}, {"device", "device"}, {"arrival", "arrival"}, {"", "unknown"}};
    int n = 0;
    for (const auto& [word, shown] : cases) {
        const std::string path = Make("stamp" + std::to_string(++n) + ".nx3", 2);
        if (word) {
            cls_VideoFile_handler h;
            ASSERT_TRUE(h.Open_File(path));
            h.Header().Set_Frame_Stamp(word);
            ASSERT_TRUE(h.Write_XML_Header());
        }
        const Tool_Run plain = Tool({"info", path});
        EXPECT_NE(plain.out.find(std::string("frame_stamp: ") + shown + "\n"), std::string::npos)
            << (word ? word : "(none)") << "\n"
            << plain.out;
    }
}

TEST_F(Tool_Test, ResultsListTheRankedNamedBoxesTabSeparated) {
    const std::string path = Make("results.nx3", 3);
    {
        cls_VideoFile_handler h;
        ASSERT_TRUE(h.Open_File(path));
        const char* names[] = {"Fox", "Dash", "Comet", "Idle", "Slow", "Naughty"};
        const int32_t times[] = {28450, 27990, 28530, 0, 888886, 888887};
        for (int16_t box = 1; box <= 6; ++box) {
            h.Set_Hdx_Dog_name(box, names[box - 1]);
            h.Set_Hdx_Heat_time(box, false, times[box - 1]);
            h.Set_Hdx_Heat_Click_Time(box, box * 10);
        }
        h.Set_Hdx_Heat_time(1, true, 14000);
        h.Set_Hdx_box_delay("0");
        ASSERT_TRUE(h.Write_XML_Header());
    }
    const Tool_Run r = Tool({"results", path});
    ASSERT_EQ(r.status, 0) << r.err;
    // The box after the rank; the margin behind the dog above comes last, always as the sixth column.
    EXPECT_EQ(r.out,
              "1\t2\tDash\t27,99\n"
              "2\t1\tFox\t28,45\t14,00\t5 3/4 lengths\n"
              "3\t3\tComet\t28,53\t\t1 length\n"
              "---\t5\tSlow\tDNF\n"
              "---\t6\tNaughty\tDSQ\n"
              "---\t4\tIdle\t---,---\n");
    const Tool_Run longer = Tool({"results", path, "--seconds-per-length", "0.1"});
    EXPECT_NE(longer.out.find("2\t1\tFox\t28,45\t14,00\t4 1/2 lengths\n3\t3\tComet\t28,53\t\t3/4 length\n"),
              std::string::npos)
        << longer.out;
    const Tool_Run delayed = Tool({"results", path, "--box-delay", "30"});
    EXPECT_EQ(delayed.out.substr(0, delayed.out.find('\n')), "1\t2\tDash\t28,02");
    EXPECT_NE(delayed.out.find("2\t1\tFox\t28,48\t14,03\t5 3/4 lengths\n"), std::string::npos) << delayed.out;
}

TEST_F(Tool_Test, DogsWithoutNamesAreToldApartByTheirBoxes) {
    // A recording made without a programme: its header still holds "dog name" in every box.
    const std::string path = Make("unnamed.nx3", 3);
    {
        cls_VideoFile_handler h;
        ASSERT_TRUE(h.Open_File(path));
        h.Set_Hdx_Heat_time(4, false, 28000);
        h.Set_Hdx_Heat_time(2, false, 28500);
        h.Set_Hdx_Heat_time(6, false, 888888);
        h.Set_Hdx_Dog_name(5, "Rex");
        ASSERT_TRUE(h.Write_XML_Header());
    }
    const Tool_Run r = Tool({"results", path});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "1\t4\tBox 4\t28,00\n"
              "2\t2\tBox 2\t28,50\t\t6 1/4 lengths\n"
              "---\t6\tBox 6\tNo rank\n"
              "---\t5\tRex\t---,---\n");
    // The data exports leave the dog empty and name the box in its own column.
    const Tool_Run csv = Tool({"results", path, "--csv"});
    ASSERT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(csv.out.find("dog name"), std::string::npos) << csv.out;
}

TEST_F(Tool_Test, ResultsOfABareFileNameInTheCurrentFolder) {
    const std::string path = Make("bare.nx3", 3, {"--event", "Cup", "--heat-id", "4"});
    {
        cls_VideoFile_handler h;
        ASSERT_TRUE(h.Open_File(path));
        h.Set_Hdx_Dog_name(1, "Rex");
        h.Set_Hdx_Heat_time(1, false, 28000);
        ASSERT_TRUE(h.Write_XML_Header());
    }
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int status;
        const char* out_part;
        const char* err_part;
    } cases[] = {
        {"Lines", {"results", "bare.nx3"}, 0, "1\t1\tRex\t28,00", ""},
        {"Csv", {"results", "bare.nx3", "--csv"}, 0, "Cup,4,", ""},
        {"Json", {"results", "bare.nx3", "--json"}, 0, "\"bare.nx3\"", ""},
        {"Missing", {"results", "gone.nx3", "--csv"}, 1, "", "no such file: gone.nx3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Tool_Run r = Tool(c.args, {}, 60000, dir);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.out.find(c.out_part), std::string::npos) << r.out;
        EXPECT_NE(r.err.find(c.err_part), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("ParsePath"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(Platform::File_Exists(path));
}

TEST_F(Tool_Test, PicturesAreWrittenOverOnlyWhenAskedTo) {
    const std::string path = Make("over.nx3", 4, {"--fps", "25", "--interlaced"});
    Platform::Create_Folders(File("folder.png"));
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::string out;
        bool exists_before;
        int status;
        bool replaced;
    } cases[] = {
        {"ExportNew", {"export", path, "1", File("new.png")}, File("new.png"), false, 0, true},
        {"ExportOverExisting", {"export", path, "1", File("old.png")}, File("old.png"), true, 1, false},
        {"ExportOverwrite", {"export", path, "1", File("old2.png"), "--overwrite"}, File("old2.png"), true, 0, true},
        {"StripOverExisting", {"strip", path, File("old3.png")}, File("old3.png"), true, 1, false},
        {"StripOverwrite", {"strip", path, File("old4.png"), "--overwrite"}, File("old4.png"), true, 0, true},
        {"FolderInTheWay", {"strip", path, File("folder.png"), "--overwrite"}, File("folder.png"), false, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.exists_before) Write_File(c.out, "keep me");
        const Tool_Run r = Tool(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        if (c.status != 0) {
            EXPECT_FALSE(r.err.empty());
        }
        if (c.exists_before && !c.replaced) {
            std::ifstream in(c.out, std::ios::binary);
            const std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            EXPECT_EQ(kept, "keep me");
            EXPECT_NE(r.err.find("--overwrite"), std::string::npos) << r.err;
        }
        if (c.replaced) {
            EXPECT_FALSE(QImage(QString::fromStdString(c.out)).isNull());
        }
    }
}

TEST_F(Tool_Test, StripLaysTheGoalLinesPixelsOfEveryFieldSideBySide) {
    const std::string path = Make("strip.nx3", 6, {"--fps", "25", "--interlaced"});
    const std::string out = File("strip.png");
    // Without a goal line of its own the strip follows the middle of the picture, and says so.
    const Tool_Run plain = Tool({"strip", path, out});
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_NE(plain.err.find("no goal line"), std::string::npos);
    {
        cls_VideoFile_handler h;
        ASSERT_TRUE(h.Open_File(path));
        h.Set_Hdx_Goal_Finish("10,2,10,20");
        ASSERT_TRUE(h.Write_XML_Header());
    }
    struct Case {
        std::vector<std::string> options;
        int width;
    } cases[] = {{{}, 12 * 2}, {{"--column", "4"}, 12 * 4}, {{"--width", "300"}, 300}};
    for (const Case& c : cases) {
        std::vector<std::string> args{"strip", path, out, "--overwrite"};  // each case over the one before
        args.insert(args.end(), c.options.begin(), c.options.end());
        const Tool_Run r = Tool(args);
        ASSERT_EQ(r.status, 0) << r.err;
        const QImage strip(QString::fromStdString(out));
        EXPECT_EQ(strip.width(), c.width) << r.err;
        EXPECT_GT(strip.height(), 19) << "the line's 19 rows and the time scale below";
    }
}

// A progressive recording's strip has one column per frame: a bar that
// reaches the goal line in frame k shows from the strip's k-th column on, and
// every column's time is its own frame's, whatever the rate.
TEST_F(Tool_Test, TheStripOfAProgressiveRecordingHasAColumnPerFrame) {
    constexpr int Frames = 12, Line_X = 30, Step = 4;  // the bar's right end passes x 30 in frame 8
    struct Case {
        const char* fps;
        int first_ms;
        std::vector<int> times;  // of columns 1, 2, 3
    } cases[] = {{"50", 0, {2, 22, 42}}, {"60", 0, {2, 19, 35}}, {"120", 0, {2, 10, 19}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.fps) + " frames a second");
        QByteArray raw;
        for (int k = 1; k <= Frames; ++k)
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x) raw.append(QByteArray(3, x < Step * k ? char(255) : char(0)));
        const std::string path = File(std::string("bar") + c.fps + ".nx3");
        const Tool_Run made = Tool({"create", path, "--size", std::to_string(W) + "x" + std::to_string(H), "--fps",
                                    c.fps, "--start-mill", std::to_string(c.first_ms)},
                                   raw);
        ASSERT_EQ(made.status, 0) << made.err;
        {
            cls_VideoFile_handler h;
            ASSERT_TRUE(h.Open_File(path));
            h.Set_Hdx_Goal_Finish(std::to_string(Line_X) + ",2," + std::to_string(Line_X) + ",60");
            h.Set_Hdx_start_PC_mill(0);
            h.Set_Hdx_Goal_compensation("0");
            ASSERT_TRUE(h.Write_XML_Header());
            ASSERT_FALSE(h.Reviewed_By_Field());
            // The strip's times are the builder's; its picture is the tool's.
            const Finish_Strip strip = Finish_Strip_Builder::Build(h, {{Line_X, 2}, {Line_X, 60}}, 1);
            ASSERT_EQ(strip.Fields(), Frames);
            for (int p = 1; p <= 3; ++p) EXPECT_EQ(strip.Times[static_cast<size_t>(p - 1)], c.times[p - 1]);
        }
        const std::string out = File(std::string("bar") + c.fps + ".png");
        const Tool_Run r = Tool({"strip", path, out, "--column", "1"});
        ASSERT_EQ(r.status, 0) << r.err;
        const QImage strip(QString::fromStdString(out));
        ASSERT_EQ(strip.width(), Frames);
        int first_lit = 0;
        for (int x = 0; x < strip.width() && first_lit == 0; ++x)
            if (qGray(strip.pixel(x, 20)) > 128) first_lit = x + 1;
        EXPECT_EQ(first_lit, (Line_X + Step) / Step) << "the frame whose bar first covers the line";
    }
}

TEST_F(Tool_Test, DamagedRecordingsAreReportedFrameByFrameAndFailVerify) {
    const std::string path = Make("damaged.nx3", 4);
    const QJsonObject info =
        QJsonDocument::fromJson(QByteArray::fromStdString(Tool({"info", path, "--json"}).out)).object();
    const int s = info["sample_size"].toInt();
    std::string b = Read_Text(path);
    b.replace(32016 + static_cast<size_t>(s), 4, "XXXX");  // frame 2: no start delimiter
    const size_t frame3 = 32016 + 2 * static_cast<size_t>(s);
    NX3::Put_I32(reinterpret_cast<uint8_t*>(b.data()) + frame3 + 32,
                 NX3::Get_I32(reinterpret_cast<const uint8_t*>(b.data()) + frame3 + 32) / 2);  // frame 3 cut short
    b += "partial";
    Write_File(path, b);

    const Tool_Run frames = Tool({"frames", path, "--json"});
    ASSERT_EQ(frames.status, 0) << frames.err;
    const QJsonArray list = QJsonDocument::fromJson(QByteArray::fromStdString(frames.out)).array();
    ASSERT_EQ(list.size(), 4) << frames.out;
    EXPECT_EQ(list[0].toObject()["status"].toString(), "ok");
    EXPECT_EQ(list[1].toObject()["status"].toString(), "bad_sample");
    EXPECT_TRUE(list[1].toObject()["capture_mill"].isNull());
    EXPECT_EQ(list[2].toObject()["status"].toString(), "damaged");
    EXPECT_EQ(list[3].toObject()["status"].toString(), "ok");

    const Tool_Run verify = Tool({"verify", path});
    EXPECT_EQ(verify.status, 1);
    EXPECT_NE(verify.out.find("frame 2"), std::string::npos) << verify.out;
    EXPECT_NE(verify.out.find("frame 3"), std::string::npos) << verify.out;
    EXPECT_NE(verify.out.find("7 bytes follow the last complete sample"), std::string::npos) << verify.out;

    const Tool_Run ex = Tool({"export", path, "3", File("x.png")});
    EXPECT_EQ(ex.status, 1);
    EXPECT_NE(ex.err.find("damaged"), std::string::npos) << ex.err;
    EXPECT_FALSE(Platform::File_Exists(File("x.png")));
}

TEST_F(Tool_Test, AReadOnlyRecordingIsReportedAsSuch) {
    const std::string path = Make("ro.nx3", 2);
    ASSERT_TRUE(Platform::Set_Read_Only(path, true));
    const QJsonObject info =
        QJsonDocument::fromJson(QByteArray::fromStdString(Tool({"info", path, "--json"}).out)).object();
    EXPECT_TRUE(info["read_only"].toBool());
    EXPECT_EQ(info["frames"].toInt(), 2);
}

struct Exit_Case {
    std::vector<std::string> args;
    int status;
    const char* stderr_part;
};

TEST_F(Tool_Test, WrongUsageExitsTwoAndUnusableFilesExitOne) {
    const std::string good = Make("good.nx3", 2);
    const std::string junk = Write_File(File("junk.nx3"), std::string(40000, 'j'));
    const std::string tiny = Write_File(File("tiny.nx3"), "NXF3");
    const Exit_Case cases[] = {
        {{}, 2, "usage"},
        {{"bogus"}, 2, "unknown command bogus"},
        {{"info"}, 2, "expected FILE"},
        {{"info", good, "--fast"}, 2, "unknown option --fast"},
        {{"export", good, "1", File("a.bmp")}, 2, ".png or .jpg"},
        {{"export", good, "1", File("a.png"), "--field", "3"}, 2, "--field takes 1 or 2"},
        {{"export", good, "1", File("a.png"), "--field", "1"}, 2, "--field needs an interlaced recording"},
        {{"export", good, "9", File("a.png")}, 2, "not in this recording of 2 frames"},
        {{"export", good, "zero", File("a.png")}, 2, "FRAME"},
        {{"create", File("new.nx3")}, 2, "--size"},
        {{"create", File("new.nx3"), "--size", "10by10"}, 2, "--size takes WxH"},
        {{"create", File("new.nx3"), "--size", "10x10", "--fps", "0"}, 2, "--fps"},
        {{"results", good, "--box-delay", "soon"}, 2, "--box-delay"},
        {{"results", good, "--csv", "--json"}, 2, "choose one of --csv and --json"},
        {{"meeting", File("")}, 2, "meeting needs --csv or --json"},
        {{"meeting", File("nowhere"), "--csv"}, 1, "no such folder"},
        {{"results", good, "--seconds-per-length", "0"}, 2, "--seconds-per-length"},
        {{"strip", good, File("s.bmp")}, 2, ".png"},
        {{"strip", good, File("s.png"), "--width", "3"}, 2, "--width"},
        {{"info", File("missing.nx3")}, 1, "no such file"},
        {{"verify", File("missing.nx3")}, 1, "no such file"},
        {{"info", junk}, 1, "Corrupt file"},
        {{"frames", tiny}, 1, "Invalid file length"},
        {{"header", junk}, 1, "Invalid header length"},
        {{"verify", junk}, 1, ""},
        {{"create", good, "--size", "96x64"}, 1, "already exists"},
    };
    for (const Exit_Case& c : cases) {
        const Tool_Run r = Tool(c.args);
        std::string joined;
        for (const auto& a : c.args) joined += a + " ";
        EXPECT_EQ(r.status, c.status) << joined << "\n" << r.err;
        EXPECT_NE(r.err.find(c.stderr_part), std::string::npos) << joined << "\n" << r.err;
    }
    EXPECT_FALSE(Platform::File_Exists(File("new.nx3")));
}

TEST_F(Tool_Test, InputEndingInsideAFrameWritesNothing) {
    const std::string path = File("partial.nx3");
    QByteArray raw = Raw_Frames(2);
    raw.chop(10);
    const Tool_Run r = Tool({"create", path, "--size", "96x64"}, raw);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("ends inside frame 2"), std::string::npos) << r.err;
    EXPECT_FALSE(Platform::File_Exists(path));
}

// ---- results out -------------------------------------------------------------

// A heat's boxes as the header holds them.
struct Box_Entry {
    const char* dog;
    int32_t goal, split;
    bool dead_heat;
};

void Set_Boxes(const std::string& path, const std::string& event, const std::string& heat_id,
               const std::vector<Box_Entry>& boxes, const char* box_delay = "0") {
    cls_VideoFile_handler h;
    ASSERT_TRUE(h.Open_File(path));
    h.Set_Hdx_event(event);
    h.Set_Hdx_Heat_ID(heat_id);
    for (size_t i = 0; i < 6; ++i) {
        const auto box = static_cast<int16_t>(i + 1);
        // Boxes not given stay empty: no dog, no time.
        const Box_Entry e = i < boxes.size() ? boxes[i] : Box_Entry{"", 0, 0, false};
        h.Set_Hdx_Dog_name(box, e.dog);
        h.Set_Hdx_Heat_time(box, false, e.goal);
        h.Set_Hdx_Heat_time(box, true, e.split);
        h.Set_Hdx_dead_heat(box, e.dead_heat);
        h.Set_Hdx_Heat_Click_Time(box, box * 10);
    }
    h.Set_Hdx_box_delay(box_delay);
    ASSERT_TRUE(h.Write_XML_Header());
}

// The rows of a CSV text as python's csv module reads them, one JSON object each.
QJsonArray Python_Csv(const std::string& csv_path) {
    const QString python = QStandardPaths::findExecutable("python3");
    EXPECT_FALSE(python.isEmpty()) << "python3 is needed (scripts/setup.sh installs it)";
    QProcess p;
    p.start(python, {"-c",
                     "import csv, json, sys\n"
                     "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                     "    print(json.dumps(list(csv.DictReader(f, strict=True))))\n",
                     QString::fromStdString(csv_path)});
    EXPECT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(p.readAllStandardOutput()).array();
}

// The JSON text as python's json module reads it, written back in its own form.
QJsonDocument Python_Json(const std::string& json_path) {
    QProcess p;
    p.start(QStandardPaths::findExecutable("python3"),
            {"-c", "import json, sys\nprint(json.dumps(json.load(open(sys.argv[1], encoding='utf-8'))))",
             QString::fromStdString(json_path)});
    EXPECT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(p.readAllStandardOutput());
}

const std::vector<Box_Entry> Mixed_Heat = {{"Fox, \"the\" Flyer", 28450, 14000, false},
                                           {"Dash", 27990, 0, false},
                                           {"Comet", 28450, 0, true},
                                           {"Slow", 888886, 13500, false},
                                           {"Naughty", 888887, 0, false},
                                           {"\xc3\x85sa", 0, 0, false}};

struct Expected_Row {
    const char *rank, *box, *dog, *time, *time_ms, *split, *result, *dead_heat, *margin;
};
// Box delay 30 on every time; the dead heat shares rank 2; codes have no rank.
// Margins at 0.08 s a length: 0.46 s behind the winner is 5 3/4 lengths.
const Expected_Row Mixed_Rows[] = {
    {"1", "2", "Dash", "28,02", "28020", "", "time", "false", ""},
    {"2", "1", "Fox, \"the\" Flyer", "28,48", "28480", "14,03", "time", "false", "5 3/4 lengths"},
    {"2", "3", "Comet", "28,48", "28480", "", "time", "true", "dead heat"},
    {"", "4", "Slow", "", "", "13,53", "DNF", "false", ""},
    {"", "5", "Naughty", "", "", "", "DSQ", "false", ""},
    {"", "6", "\xc3\x85sa", "", "", "", "no time", "false", ""},
};

TEST_F(Tool_Test, ResultsAsCsvAndJsonReadBackByRealParsers) {
    const std::string path = Make("mixed.nx3", 2);
    Set_Boxes(path, "Winter Cup", "4", Mixed_Heat, "30");

    const Tool_Run csv = Tool({"results", path, "--csv"});
    ASSERT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(csv.out.substr(0, csv.out.find("\r\n")),
              "event,heat_id,heat_name,status,rank,box,dog,time,time_ms,split,split_ms,result,dead_heat,margin,"
              "revision,declared_at");
    const QJsonArray rows = Python_Csv(Write_File(File("mixed.csv"), csv.out));
    const Tool_Run json = Tool({"results", path, "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    const QJsonObject heat = Python_Json(Write_File(File("mixed.json"), json.out)).object();
    EXPECT_EQ(heat["event"].toString(), "Winter Cup");
    EXPECT_EQ(heat["heat_id"].toString(), "4");
    EXPECT_EQ(heat["status"].toString(), "provisional");
    EXPECT_EQ(heat["box_delay_ms"].toInt(), 30);
    const QJsonArray results = heat["results"].toArray();

    ASSERT_EQ(rows.size(), 6) << csv.out;
    ASSERT_EQ(results.size(), 6) << json.out;
    for (int i = 0; i < 6; ++i) {
        const Expected_Row& e = Mixed_Rows[i];
        const QJsonObject c = rows[i].toObject();
        const QJsonObject j = results[i].toObject();
        const std::string at = std::string("row ") + std::to_string(i + 1) + " " + e.dog;
        EXPECT_EQ(c["rank"].toString().toStdString(), e.rank) << at;
        EXPECT_EQ(c["box"].toString().toStdString(), e.box) << at;
        EXPECT_EQ(c["dog"].toString().toStdString(), e.dog) << at;
        EXPECT_EQ(c["time"].toString().toStdString(), e.time) << at;
        EXPECT_EQ(c["time_ms"].toString().toStdString(), e.time_ms) << at;
        EXPECT_EQ(c["split"].toString().toStdString(), e.split) << at;
        EXPECT_EQ(c["result"].toString().toStdString(), e.result) << at;
        EXPECT_EQ(c["dead_heat"].toString().toStdString(), e.dead_heat) << at;
        EXPECT_EQ(c["margin"].toString().toStdString(), e.margin) << at;
        EXPECT_EQ(c["status"].toString(), "provisional") << at;
        // The JSON says the same, with numbers as numbers and nothing as null.
        EXPECT_EQ(j["dog"].toString().toStdString(), e.dog) << at;
        EXPECT_EQ(j["box"].toInt(), std::stoi(e.box)) << at;
        EXPECT_EQ(j["rank"].isNull() ? "" : std::to_string(j["rank"].toInt()), e.rank) << at;
        EXPECT_EQ(j["time_ms"].isNull() ? "" : std::to_string(j["time_ms"].toInt()), e.time_ms) << at;
        EXPECT_EQ(j["result"].toString().toStdString(), e.result) << at;
        EXPECT_EQ(j["dead_heat"].toBool(), std::string(e.dead_heat) == "true") << at;
        EXPECT_EQ(j["margin"].isNull() ? "" : j["margin"].toString().toStdString(), e.margin) << at;
        EXPECT_TRUE(j.contains("margin")) << at;
    }
}

TEST_F(Tool_Test, AMeetingFileHoldsEveryHeatOfTheEventInHeatOrder) {
    // File names sort against heat order; a heat of another event and a broken file lie beside them.
    Set_Boxes(Make("a.nx3", 1), "Derby", "10", {{"Ten", 30000, 0, false}});
    Set_Boxes(Make("b.nx3", 1), "Derby", "2", {{"Two", 29000, 0, false}});
    Set_Boxes(Make("c.nx3", 1), "Derby", "9", {{"Nine", 31000, 0, false}});
    Set_Boxes(Make("d.nx3", 1), "Puppy Show", "1", {{"Pup", 32000, 0, false}});

    const Tool_Run both = Tool({"meeting", dir, "--csv"});
    EXPECT_EQ(both.status, 2);
    EXPECT_NE(both.err.find("2 events (\"Derby\", \"Puppy Show\")"), std::string::npos) << both.err;

    Write_File(File("e.nx3"), std::string(40000, 'j'));
    const Tool_Run csv = Tool({"meeting", dir, "--event", "Derby", "--csv"});
    EXPECT_EQ(csv.status, 1);
    EXPECT_NE(csv.err.find("left out " + File("e.nx3")), std::string::npos) << csv.err;
    const QJsonArray rows = Python_Csv(Write_File(File("meeting.csv"), csv.out));
    ASSERT_EQ(rows.size(), 3) << csv.out;
    const char* order[][2] = {{"2", "Two"}, {"9", "Nine"}, {"10", "Ten"}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(rows[i].toObject()["heat_id"].toString().toStdString(), order[i][0]);
        EXPECT_EQ(rows[i].toObject()["dog"].toString().toStdString(), order[i][1]);
    }

    const Tool_Run json = Tool({"meeting", dir, "--event", "Derby", "--json"});
    const QJsonObject meeting = Python_Json(Write_File(File("meeting.json"), json.out)).object();
    EXPECT_EQ(meeting["event"].toString(), "Derby");
    const QJsonArray heats = meeting["heats"].toArray();
    ASSERT_EQ(heats.size(), 3) << json.out;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(heats[i].toObject()["heat_id"].toString().toStdString(), order[i][0]);
        EXPECT_EQ(heats[i].toObject()["file"].toString().toStdString(), std::string(1, "bca"[i]) + ".nx3");
    }
}

TEST_F(Tool_Test, VerifyReportsAFrameChangedByOneByteAfterTheDeclaration) {
    const std::string path = Make("official.nx3", 4);
    Official_Record::Declaration d;
    {
        cls_VideoFile_handler h;
        ASSERT_TRUE(h.Open_File(path));
        d = Official_Record::Declare(h);
    }
    const Tool_Run before = Tool({"verify", path});
    EXPECT_EQ(before.status, 0) << before.out;
    EXPECT_EQ(before.out, "frames unchanged since the declaration as official at " + d.declared_at + " (SHA-256 " +
                              d.frames_sha256 + ")\nresults unchanged since the declaration (SHA-256 " +
                              d.results_sha256 + ")\n");

    // One byte inside the third frame's picture: the layout stays sound, the hash does not.
    const QJsonObject info =
        QJsonDocument::fromJson(QByteArray::fromStdString(Tool({"info", path, "--json"}).out)).object();
    std::string b = Read_Text(path);
    b[32016 + 2 * static_cast<size_t>(info["sample_size"].toInt()) + 200] ^= 0x01;
    Write_File(path, b);
    const Tool_Run after = Tool({"verify", path});
    EXPECT_EQ(after.status, 1);
    EXPECT_EQ(after.out.rfind("frames changed since the declaration as official at " + d.declared_at, 0), 0u)
        << after.out;
    EXPECT_NE(after.out.find("declared " + d.frames_sha256 + ", now "), std::string::npos) << after.out;

    // Without its audit trail nobody can tell what changed since: that is reported too.
    b[32016 + 2 * static_cast<size_t>(info["sample_size"].toInt()) + 200] ^= 0x01;
    Write_File(path, b);
    Platform::Delete_File(Official_Record::Audit_Path(path));
    const Tool_Run missing = Tool({"verify", path});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out.rfind("the audit trail " + path + ".audit is missing\n", 0), 0u) << missing.out;
}

// A declared heat whose results were changed twice, with reasons, since.
class Verify_Test : public Tool_Test {
protected:
    std::string Official_Heat(const std::string& name, int changes) {
        const std::string path = Make(name, 4, {"--event", "Derby"});
        cls_VideoFile_handler h;
        EXPECT_TRUE(h.Open_File(path));
        h.Set_Hdx_Dog_name(1, "Ace");
        h.Set_Hdx_Dog_name(2, "Bo");
        h.Set_Hdx_Heat_time(1, false, 28450);
        h.Set_Hdx_Heat_time(2, false, 28990);
        EXPECT_TRUE(h.Write_XML_Header());
        Official_Record::Declare(h);
        const std::vector<std::pair<int32_t, std::string>> later = {{28460, "photo checked again"},
                                                                    {DSQ_Code, "stewards' decision"}};
        for (int i = 0; i < changes; ++i) {
            const auto box = static_cast<int16_t>(i + 1);
            EXPECT_TRUE(Official_Record::Apply_Change(
                            h, "box " + std::to_string(box) + " goal time", later[static_cast<size_t>(i)].second,
                            [&] { return Official_Record::Box_Value(h, box, false); },
                            [&] { h.Set_Hdx_Heat_time(box, false, later[static_cast<size_t>(i)].first); })
                            .done);
        }
        return path;
    }
};

void Replace_Once(const std::string& path, const std::string& from, const std::string& to) {
    std::string b = Read_Text(path);
    const size_t at = b.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    b.replace(at, from.size(), to);
    Write_File(path, b);
}

void Remove_Entry(const std::string& audit, int index) {
    QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(Read_Text(audit))).object();
    QJsonArray changes = o["changes"].toArray();
    changes.removeAt(index < 0 ? changes.size() - 1 : index);
    o["changes"] = changes;
    Write_File(audit, QJsonDocument(o).toJson().toStdString());
}

// Every way the evidence of an official heat can be broken is named by verify.
TEST_F(Verify_Test, ATamperedOfficialHeatFailsNamingWhy) {
    struct Case {
        const char* name;
        std::function<void(const std::string& path, const std::string& audit)> tamper;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"a goal time edited in the header, same length",
         [](auto& p, auto&) { Replace_Once(p, "<dog_heat_time>28460<", "<dog_heat_time>27460<"); },
         "a value was changed without a trail entry"},
        {"a dog name edited in the header", [](auto& p, auto&) { Replace_Once(p, "<dog_name>Bo<", "<dog_name>Bq<"); },
         "a value was changed without a trail entry"},
        {"the box delay edited in the header",
         [](auto& p, auto&) { Replace_Once(p, "<hdx_box_delay>0", "<hdx_box_delay>9"); },
         "a value was changed without a trail entry"},
        {"the official mark removed", [](auto& p, auto&) { Replace_Once(p, ">official|", ">provisio|"); },
         "the heat reads provisional, but the audit trail"},
        {"the trail deleted", [](auto&, auto& a) { Platform::Delete_File(a); }, ".audit is missing"},
        {"the trail cut short", [](auto&, auto& a) { Write_File(a, Read_Text(a).substr(0, Read_Text(a).size() - 40)); },
         "cannot be read (cut short or damaged)"},
        {"a reason edited in the first entry",
         [](auto&, auto& a) { Replace_Once(a, "photo checked again", "photo checked twice"); },
         "entry 2 of the audit trail"},
        {"a reason edited in the last entry",
         [](auto&, auto& a) { Replace_Once(a, "stewards' decision", "judges' decision"); },
         "the header names another last entry"},
        {"the first entry removed", [](auto&, auto& a) { Remove_Entry(a, 0); }, "(the chain is broken)"},
        {"the last entry removed", [](auto&, auto& a) { Remove_Entry(a, -1); }, "the header names another last entry"},
        {"the header's results set back to before the last entry",
         [](auto& p, auto&) { Replace_Once(p, "<dog_heat_time>888887<", "<dog_heat_time>028990<"); },
         "differ from those of the last entry of the audit trail"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Official_Heat("official " + std::to_string(&c - cases.data()) + ".nx3", 2);
        ASSERT_EQ(Tool({"verify", path}).status, 0);
        c.tamper(path, Official_Record::Audit_Path(path));
        const Tool_Run r = Tool({"verify", path});
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_NE(r.out.find(c.reason), std::string::npos) << r.out;
    }
}

TEST_F(Verify_Test, SoundHeatsPassSayingWhatWasChecked) {
    struct Case {
        const char* name;
        std::function<std::string()> make;
        std::string said;  // "" = nothing to say
    };
    const std::vector<Case> cases = {
        {"provisional, no trail", [this] { return Make("provisional.nx3", 3); }, ""},
        {"just declared", [this] { return Official_Heat("declared.nx3", 0); },
         "results unchanged since the declaration"},
        {"declared, two changes trailed", [this] { return Official_Heat("changed.nx3", 2); },
         "results unchanged since the last of 2 trailed changes"},
        {"declared before results were covered",
         [this] {
             const std::string path = Official_Heat("older.nx3", 0);
             cls_VideoFile_handler h;
             EXPECT_TRUE(h.Open_File(path));
             Official_Record::Declaration d = Official_Record::Read_Declaration(h);
             d.results_sha256.clear();
             d.trail_head_sha256.clear();
             h.Header().Set_Hdr_spare2(Official_Record::Declaration_Element(d));
             EXPECT_TRUE(h.Write_XML_Header());
             Replace_Once(Official_Record::Audit_Path(path), "\"results_sha256\"", "\"unused\"");
             return path;
         },
         "covers the frames only, not the results"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = c.make();
        const Tool_Run r = Tool({"verify", path});
        EXPECT_EQ(r.status, 0) << r.out;
        if (c.said.empty()) {
            EXPECT_EQ(r.out, "");
        } else {
            EXPECT_NE(r.out.find(c.said), std::string::npos) << r.out;
        }
    }
}

// A header write cut short is said, and verify leaves the recording as it is.
TEST_F(Verify_Test, AHeaderReadFromItsCopyIsSaidAndNotRepaired) {
    const std::string path = Official_Heat("cut.nx3", 0);
    std::string torn;
    {
        cls_VideoFile_handler h;
        ASSERT_TRUE(h.Open_File(path));
        cls_VideoFile_handler::Set_Header_Write_Observer([&](int64_t in_place) {
            if (in_place == 512) torn = Read_Text(path);
            if (in_place == 512) Write_File(path + ".kept", Read_Text(cls_VideoFile_handler::Header_Copy_Path(path)));
        });
        ASSERT_TRUE(Official_Record::Apply_Change(
                        h, "box 1 goal time", "recheck", [&] { return Official_Record::Box_Value(h, 1, false); },
                        [&] { h.Set_Hdx_Heat_time(1, false, 28470); })
                        .done);
        cls_VideoFile_handler::Set_Header_Write_Observer(nullptr);
    }
    Write_File(path, torn);
    Write_File(cls_VideoFile_handler::Header_Copy_Path(path), Read_Text(path + ".kept"));
    const Tool_Run r = Tool({"verify", path});
    EXPECT_NE(
        r.out.find("was cut short: the header was read from " + path + ".header; the recording itself is not repaired"),
        std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("results unchanged since the last of 1 trailed changes"), std::string::npos) << r.out;
    EXPECT_EQ(Read_Text(path), torn);
}

}  // namespace
