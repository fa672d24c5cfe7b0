// houndex-nx3 video: a recording as a Matroska video, read back with GStreamer.
#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <QByteArray>
#include <QImage>
#include <QProcess>
#include <QStringList>

#include "Nx3_Tool.h"
#include "Test_Env.h"
#include "Test_Name.h"
#include "Test_Pictures.h"
#include "platform/Files.h"
#include "recording/cls_VideoFile_handler.h"

namespace {

// Encoding a video takes longer than the other commands.
Tool_Run Video_Tool(const std::vector<std::string>& args, const QByteArray& input = QByteArray()) {
    return Tool(args, input, 120000);
}

constexpr int W = 96, H = 64, Frames = 30;

// Raw bgr24 frames whose pattern moves with the frame number.
QByteArray Raw_Frames(int count) {
    QByteArray raw;
    for (int k = 0; k < count; ++k)
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                raw.append(char((x * 2 + k * 8) % 256)).append(char(y * 3)).append(char(120 + (x / 8) * 10));
    return raw;
}

// What the video holds, as a demuxer gives it.
struct Video {
    std::vector<int64_t> pts_ms;
    std::vector<QByteArray> pictures;
    std::string title, album, comment;
};

std::string Tag_Text(const GstTagList* tags, const char* tag) {
    gchar* value = nullptr;
    if (!gst_tag_list_get_string(tags, tag, &value)) return {};
    std::string s = value;
    g_free(value);
    return s;
}

Video Read_Video(const std::string& path) {
    Video v;
    gst_init(nullptr, nullptr);
    GError* error = nullptr;
    const std::string description =
        "filesrc location=\"" + path + "\" ! matroskademux ! appsink name=sink sync=false emit-signals=false";
    GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
    if (!pipeline) {
        ADD_FAILURE() << (error ? error->message : "no pipeline");
        return v;
    }
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    while (GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(sink))) {
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            v.pictures.emplace_back(reinterpret_cast<const char*>(map.data), static_cast<qsizetype>(map.size));
            gst_buffer_unmap(buffer, &map);
        }
        v.pts_ms.push_back(static_cast<int64_t>(GST_BUFFER_PTS(buffer) / GST_MSECOND));
        gst_sample_unref(sample);
    }
    GstBus* bus = gst_element_get_bus(pipeline);
    while (GstMessage* msg = gst_bus_pop_filtered(bus, GST_MESSAGE_TAG)) {
        GstTagList* tags = nullptr;
        gst_message_parse_tag(msg, &tags);
        for (auto [tag, text] : {std::pair{GST_TAG_TITLE, &v.title}, std::pair{GST_TAG_ALBUM, &v.album},
                                 std::pair{GST_TAG_COMMENT, &v.comment}})
            if (const std::string t = Tag_Text(tags, tag); !t.empty()) *text = t;
        gst_tag_list_unref(tags);
        gst_message_unref(msg);
    }
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    return v;
}

// The stored JPEG and capture stamp of every frame.
struct Stored {
    std::vector<int32_t> capture;
    std::vector<QByteArray> jpeg;
};

Stored Read_Stored(const std::string& path) {
    Stored s;
    cls_VideoFile_handler h;
    EXPECT_TRUE(h.Open_File(path));
    for (int16_t n = 1; n <= h.num_Frames(); ++n) {
        EXPECT_TRUE(h.Read_RGB_sample(n, false));
        s.capture.push_back(h.NX3_Capture_mill());
        s.jpeg.emplace_back(reinterpret_cast<const char*>(h.Sample_JPEG()), h.NX3_JPEG_Size());
    }
    return s;
}

int64_t Since(int32_t capture, int32_t first) {
    return static_cast<int32_t>(static_cast<uint32_t>(capture) - static_cast<uint32_t>(first));
}

class Video_Test : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        dir = Temp_Dir();
        recording = Platform::Join_Path(dir, "heat.nx3");
        Write_Recording();
        stored = Read_Stored(recording);
        ASSERT_EQ(stored.capture.size(), size_t{Frames});
    }
    // 25 frames/s interlaced in two capture windows, the stamps a little
    // uneven as a camera delivers them and the clock passing its sign change.
    // Written as recordings were before fields were stacked, unless told.
    void Write_Recording(bool stacked = false) {
        cls_VideoFile_handler w;
        w.Set_Cropped_X(W);
        w.Set_Cropped_Y(H);
        w.Set_RGB_interlaced(true);
        w.Set_Stack_Fields(stacked);
        ASSERT_TRUE(w.Initiate_NX3_File(recording));
        w.Set_Running_Fps(25);
        w.Set_Hdx_event("Spring Cup");
        w.Set_Hdx_Heat_ID("7");
        w.Set_Hdx_Heat_Name("Final A");
        w.Set_Hdx_Dog_name(1, "Rex");
        w.Set_Hdx_Dog_name(3, "Cleo");
        w.Set_Hdx_start_PC_mill(Start);
        ASSERT_TRUE(w.Write_XML_Header());
        w.Close_File();
        Frame_List list;
        for (uint32_t k = 0; k < Frames; ++k) {
            cDIBSection p;
            ASSERT_TRUE(p.Create(W, H));
            Fill_Noise(p, k + 1, 40);
            Fill_Rows(p, 0, 8, Blue);
            const uint32_t mill = static_cast<uint32_t>(Start) + 300 + k * 40 + k % 3 + (k >= 15 ? 700 : 0);
            list.Add(p, static_cast<int32_t>(mill), 5000000 + static_cast<int32_t>(k) * 40, 40);
        }
        ASSERT_EQ(w.Append_Stored_Frames(list), Frames);
        w.Close_File();
    }
    static constexpr int32_t Start = 2147483000;

    std::string Out(const std::string& name) const { return Platform::Join_Path(dir, name); }

    std::string dir, recording;
    Stored stored;
};

struct Range_Case {
    std::string name;
    std::vector<std::string> options;
    int from, to;  // frames expected, from 1
};

class Video_Range_Test : public Video_Test, public ::testing::WithParamInterface<Range_Case> {};

}  // namespace

TEST_P(Video_Range_Test, TheFramesGoInUnchangedAtTheirCaptureTimesWithTheHeatsNames) {
    const Range_Case& c = GetParam();
    std::vector<std::string> args{"video", recording, Out("heat.mkv")};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const Tool_Run r = Video_Tool(args);
    ASSERT_EQ(r.status, 0) << r.err;

    const Video v = Read_Video(Out("heat.mkv"));
    ASSERT_EQ(v.pictures.size(), size_t(c.to - c.from + 1));
    const int32_t first = stored.capture[size_t(c.from - 1)];
    for (int n = c.from; n <= c.to; ++n) {
        const size_t k = size_t(n - c.from);
        EXPECT_EQ(v.pts_ms[k], Since(stored.capture[size_t(n - 1)], first)) << "frame " << n;
        EXPECT_EQ(v.pictures[k], stored.jpeg[size_t(n - 1)]) << "frame " << n;
    }
    EXPECT_EQ(v.title, "Spring Cup, heat 7 Final A");
    EXPECT_EQ(v.album, "Spring Cup");
    EXPECT_EQ(v.comment, "box 1: Rex; box 3: Cleo");
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, Video_Range_Test,
    ::testing::Values(Range_Case{"whole recording", {}, 1, Frames},
                      Range_Case{"from and to across the clock wrap", {"--from", "12", "--to", "24"}, 12, 24},
                      Range_Case{"from to the end", {"--from", "29"}, 29, Frames}),
    By_Name());

TEST_F(Video_Test, AtFieldRateEveryFieldIsAPictureOneFieldPeriodAfterTheOther) {
    const Tool_Run r = Video_Tool({"video", recording, Out("fields.mkv"), "--field-rate", "--from", "3", "--to", "6"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Video v = Read_Video(Out("fields.mkv"));
    ASSERT_EQ(v.pictures.size(), 8u);
    for (size_t k = 0; k < 8; ++k) {
        EXPECT_EQ(v.pts_ms[k], Since(stored.capture[2 + k / 2], stored.capture[2]) + (k % 2) * 20) << k;
        const QImage picture = QImage::fromData(v.pictures[k], "JPEG");
        EXPECT_EQ(picture.size(), QSize(W, H)) << k;
    }
}

TEST_F(Video_Test, AStackedRecordingGoesInAsItsFramesPicturesNotAsItsStoredFields) {
    recording = Platform::Join_Path(dir, "stacked.nx3");
    Write_Recording(true);
    const Tool_Run r = Video_Tool({"video", recording, Out("stacked.mkv"), "--to", "4"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Video v = Read_Video(Out("stacked.mkv"));
    ASSERT_EQ(v.pictures.size(), 4u);
    cls_VideoFile_handler h;
    ASSERT_TRUE(h.Open_File(recording));
    ASSERT_TRUE(h.Fields_Stacked());
    for (int16_t n = 1; n <= 4; ++n) {
        const QImage picture = QImage::fromData(v.pictures[size_t(n - 1)], "JPEG");
        ASSERT_EQ(picture.size(), QSize(W, H)) << n;
        const cDIBSection* frame = h.Prepare_RGB_frame(n);
        ASSERT_NE(frame, nullptr);
        int64_t sum = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const uint32_t bgr = frame->Get_Pixel(x, y);
                sum += std::abs(qGray(picture.pixel(x, y)) - qGray(static_cast<int>(bgr & 0xFF),
                                                                   static_cast<int>((bgr >> 8) & 0xFF),
                                                                   static_cast<int>((bgr >> 16) & 0xFF)));
            }
        EXPECT_LT(sum / (W * H), 6) << "frame " << n;
    }
}

TEST_F(Video_Test, BurntInTheRaceTimeSitsInTheCornerOfTheFramesOwnPicture) {
    const Tool_Run r = Video_Tool({"video", recording, Out("burnt.mkv"), "--burn-in"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Video v = Read_Video(Out("burnt.mkv"));
    ASSERT_EQ(v.pictures.size(), size_t{Frames});
    EXPECT_EQ(v.pts_ms.back(), Since(stored.capture.back(), stored.capture.front()));
    const QImage burnt = QImage::fromData(v.pictures[5], "JPEG").convertToFormat(QImage::Format_RGB888);
    const QImage plain = QImage::fromData(stored.jpeg[5], "JPEG").convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(burnt.size(), plain.size());
    // Away from the corner the picture is the frame's; in the corner it is not.
    auto difference = [&](QRect area) {
        int64_t sum = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                sum += std::abs(qGray(burnt.pixel(x, y)) - qGray(plain.pixel(x, y)));
        return sum / (area.width() * area.height());
    };
    EXPECT_LT(difference(QRect(0, H / 2, W, H / 2)), 6);
    EXPECT_GT(difference(QRect(4, 4, 24, 8)), 30);
}

TEST_F(Video_Test, WhatCannotBeWrittenIsSaidAndNothingIsWritten) {
    std::string existing = Out("existing.mkv");
    ASSERT_TRUE(Platform::Write_File_Atomic(existing, "not a video"));
    const std::string progressive = Platform::Join_Path(dir, "progressive.nx3");
    ASSERT_EQ(Video_Tool({"create", progressive, "--size", "96x64"}, Raw_Frames(2)).status, 0);
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string says;
    } cases[] = {
        {{"video", recording, existing}, 1, "exists already"},
        {{"video", progressive, Out("p.mkv"), "--field-rate"}, 1, "needs an interlaced recording"},
        {{"video", recording, Out("r.mkv"), "--from", "31"}, 1, "not in this recording"},
        {{"video", recording, Out("r.mkv"), "--from", "5", "--to", "4"}, 2, "must not be before"},
        {{"video", recording, Out("r.avi")}, 2, "must be a .mkv file"},
        {{"video", Out("missing.nx3"), Out("m.mkv")}, 1, "no such file"},
    };
    for (const Case& c : cases) {
        const Tool_Run r = Video_Tool(c.args);
        EXPECT_EQ(r.status, c.status) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    EXPECT_EQ(Read_Text(existing), "not a video");
    for (const char* name : {"p.mkv", "r.mkv", "r.avi", "m.mkv", "p.mkv.partial", "r.mkv.partial"})
        EXPECT_FALSE(Platform::File_Exists(Out(name))) << name;
}
