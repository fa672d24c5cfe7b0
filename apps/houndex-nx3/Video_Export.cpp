#include "Video_Export.h"

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include "common/Module_dependant.h"
#include "platform/Files.h"
#include "recording/cDIBSection.h"
#include "recording/cls_VideoFile_handler.h"
#include "recording/mIntelJPEGLibrary.h"
#include "review/Review_Timing.h"

namespace Video_Export {

namespace {

constexpr int Burn_In_Quality = 90;
constexpr int16_t Whole_Frame = 99;  // Field_To_Show of a whole frame

std::string Try_Text(const std::function<std::string()>& get) {
    try {
        return get();
    } catch (const std::exception&) {
        return {};
    }
}

// Owns a GStreamer object reference.
template <typename T>
struct Ref {
    T* p = nullptr;
    explicit Ref(T* o = nullptr) : p(o) {}
    ~Ref() {
        if (p) gst_object_unref(p);
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
};

// appsrc ! matroskamux ! filesink, taking JPEG pictures with their times.
class Mkv_Writer {
public:
    bool Open(const std::string& path, int width, int height, int fps, const Tags& tags, std::string& error) {
        GError* parse_error = nullptr;
        m_Pipeline.p = gst_parse_launch(
            "appsrc name=src format=time is-live=false block=true ! matroskamux name=mux ! filesink name=sink",
            &parse_error);
        if (!m_Pipeline.p) {
            error = std::string("GStreamer: ") + (parse_error ? parse_error->message : "no pipeline");
            if (parse_error) g_error_free(parse_error);
            return false;
        }
        GstBin* bin = GST_BIN(m_Pipeline.p);
        m_Source.p = gst_bin_get_by_name(bin, "src");
        Ref<GstElement> mux(gst_bin_get_by_name(bin, "mux"));
        Ref<GstElement> sink(gst_bin_get_by_name(bin, "sink"));
        g_object_set(sink.p, "location", path.c_str(), nullptr);
        GstCaps* caps = gst_caps_new_simple("image/jpeg", "width", G_TYPE_INT, width, "height", G_TYPE_INT, height,
                                            "framerate", GST_TYPE_FRACTION, std::max(fps, 1), 1, nullptr);
        gst_app_src_set_caps(GST_APP_SRC(m_Source.p), caps);
        gst_caps_unref(caps);
        gst_app_src_set_max_bytes(GST_APP_SRC(m_Source.p), 64u << 20);
        GstTagSetter* setter = GST_TAG_SETTER(mux.p);
        const std::pair<const char*, const std::string*> texts[] = {
            {GST_TAG_TITLE, &tags.title}, {GST_TAG_ALBUM, &tags.album}, {GST_TAG_COMMENT, &tags.comment}};
        for (const auto& [tag, text] : texts)
            if (!text->empty()) gst_tag_setter_add_tags(setter, GST_TAG_MERGE_REPLACE, tag, text->c_str(), nullptr);
        if (gst_element_set_state(m_Pipeline.p, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
            return Bus_Error(error, "the video pipeline does not start");
        return true;
    }

    bool Push(const uint8_t* jpeg, size_t size, GstClockTime pts, GstClockTime duration, std::string& error) {
        GstBuffer* buffer = gst_buffer_new_memdup(jpeg, size);
        GST_BUFFER_PTS(buffer) = pts;
        GST_BUFFER_DTS(buffer) = pts;
        GST_BUFFER_DURATION(buffer) = duration;
        if (gst_app_src_push_buffer(GST_APP_SRC(m_Source.p), buffer) != GST_FLOW_OK)
            return Bus_Error(error, "the video pipeline stopped");
        return true;
    }

    // Ends the stream and waits until the file is complete.
    bool Finish(std::string& error) {
        gst_app_src_end_of_stream(GST_APP_SRC(m_Source.p));
        Ref<GstBus> bus(gst_element_get_bus(m_Pipeline.p));
        GstMessage* msg = gst_bus_timed_pop_filtered(bus.p, GST_CLOCK_TIME_NONE,
                                                     static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        const bool ok = msg && GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS;
        if (!ok) error = Message_Text(msg, "the video was not completed");
        if (msg) gst_message_unref(msg);
        return ok;
    }

    ~Mkv_Writer() {
        if (m_Pipeline.p) gst_element_set_state(m_Pipeline.p, GST_STATE_NULL);
    }

private:
    static std::string Message_Text(GstMessage* msg, const char* otherwise) {
        if (!msg || GST_MESSAGE_TYPE(msg) != GST_MESSAGE_ERROR) return otherwise;
        GError* e = nullptr;
        gst_message_parse_error(msg, &e, nullptr);
        std::string text = std::string("GStreamer: ") + (e ? e->message : otherwise);
        if (e) g_error_free(e);
        return text;
    }
    bool Bus_Error(std::string& error, const char* otherwise) {
        Ref<GstBus> bus(gst_element_get_bus(m_Pipeline.p));
        GstMessage* msg = gst_bus_pop_filtered(bus.p, GST_MESSAGE_ERROR);
        error = Message_Text(msg, otherwise);
        if (msg) gst_message_unref(msg);
        return false;
    }

    Ref<GstElement> m_Pipeline;
    Ref<GstElement> m_Source;
};

// The picture upright with the race time in its top left corner, as a JPEG.
std::vector<uint8_t> Burnt_In(const cDIBSection& picture, const std::string& time_text) {
    const int32_t w = picture.Width(), h = picture.Height();
    QImage image(w, h, QImage::Format_BGR888);
    for (int32_t y = 0; y < h; ++y)
        std::memcpy(image.scanLine(y), const_cast<cDIBSection&>(picture).Scan_Line(y), static_cast<size_t>(w) * 3);
    {
        QPainter p(&image);
        QFont font("Arial");
        font.setBold(true);
        font.setPixelSize(std::max(10, h / 14));
        p.setFont(font);
        const QString text = QString::fromStdString(time_text);
        const QFontMetrics metrics = p.fontMetrics();
        const QRect box(4, 4, metrics.horizontalAdvance(text) + 8, metrics.height() + 4);
        p.fillRect(box, Qt::black);
        p.setPen(Qt::white);
        p.drawText(box, Qt::AlignCenter, text);
    }
    cDIBSection out;
    if (!out.Create(w, h)) throw std::runtime_error("no memory for a picture");
    for (int32_t y = 0; y < h; ++y) std::memcpy(out.Scan_Line(y), image.constScanLine(y), static_cast<size_t>(w) * 3);
    std::vector<uint8_t> jpeg(static_cast<size_t>(mIntelJPEGLibrary::Worst_Case_Size(w, h)));
    int32_t size = static_cast<int32_t>(jpeg.size());
    mIntelJPEGLibrary::Encode_DIB_To_JPG(out, jpeg.data(), size, Burn_In_Quality);
    jpeg.resize(static_cast<size_t>(size));
    return jpeg;
}

// GStreamer 1.22's Matroska muxer stores a tag text in its serialised form
// (quoted, blanks escaped), which players show as it is. Each such TagString
// gets the plain text back in place: the same size field, the bytes left over
// filled with a Void element, so no offset in the file moves.
bool Plain_Tag_Texts(const std::string& path, const std::vector<std::string>& texts, std::string& error) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    if (!file) {
        error = "cannot reopen " + path;
        return false;
    }
    file.seekg(0, std::ios::end);
    const auto length = static_cast<int64_t>(file.tellg());
    // The muxer writes its tags near the end of the file.
    const int64_t tail_start = std::max<int64_t>(0, length - (4 << 20));
    std::vector<char> tail(static_cast<size_t>(length - tail_start));
    file.seekg(tail_start);
    file.read(tail.data(), static_cast<std::streamsize>(tail.size()));
    for (const std::string& text : texts) {
        GValue value = G_VALUE_INIT;
        g_value_init(&value, G_TYPE_STRING);
        g_value_set_string(&value, text.c_str());
        gchar* serialised = gst_value_serialize(&value);
        g_value_unset(&value);
        // Both as the muxer writes them: with their terminating zero.
        std::string stored = serialised ? serialised : text;
        g_free(serialised);
        if (stored == text) continue;
        stored += '\0';
        const std::string plain = text + '\0';
        const auto at = std::search(tail.begin(), tail.end(), stored.begin(), stored.end());
        if (at == tail.end()) continue;
        const auto offset = static_cast<size_t>(at - tail.begin());
        // TagString (0x4487) and the stored length as a one- or two-byte size.
        auto byte = [&](size_t back) {
            return offset >= back ? static_cast<int>(static_cast<uint8_t>(tail[offset - back])) : -1;
        };
        size_t size_length = 0;
        if (stored.size() < 127 && byte(1) == (0x80 | static_cast<int>(stored.size())) && byte(3) == 0x44 &&
            byte(2) == 0x87)
            size_length = 1;
        else if (stored.size() < 16383 && byte(2) == (0x40 | static_cast<int>(stored.size() >> 8)) &&
                 byte(1) == static_cast<int>(stored.size() & 0xFF) && byte(4) == 0x44 && byte(3) == 0x87)
            size_length = 2;
        const size_t spare = stored.size() - plain.size();
        if (size_length == 0 || spare < 2) continue;
        std::string patch;
        if (size_length == 1) {
            patch += static_cast<char>(0x80 | plain.size());
        } else {
            patch += static_cast<char>(0x40 | (plain.size() >> 8));
            patch += static_cast<char>(plain.size() & 0xFF);
        }
        patch += plain;
        patch += static_cast<char>(0xEC);  // Void
        if (spare - 2 < 127) {
            patch += static_cast<char>(0x80 | (spare - 2));
            patch.append(spare - 2, '\0');
        } else {
            patch += static_cast<char>(0x40 | ((spare - 3) >> 8));
            patch += static_cast<char>((spare - 3) & 0xFF);
            patch.append(spare - 3, '\0');
        }
        file.seekp(tail_start + static_cast<int64_t>(offset - size_length));
        file.write(patch.data(), static_cast<std::streamsize>(patch.size()));
    }
    file.flush();
    if (!file) {
        error = "cannot write the tags of " + path;
        return false;
    }
    return true;
}

std::vector<uint8_t> Encoded(const cDIBSection& picture) {
    std::vector<uint8_t> jpeg(
        static_cast<size_t>(mIntelJPEGLibrary::Worst_Case_Size(picture.Width(), picture.Height())));
    int32_t size = static_cast<int32_t>(jpeg.size());
    mIntelJPEGLibrary::Encode_DIB_To_JPG(picture, jpeg.data(), size, Burn_In_Quality);
    jpeg.resize(static_cast<size_t>(size));
    return jpeg;
}

}  // namespace

Tags Heat_Tags(cls_VideoFile_handler& h) {
    Tags t;
    t.album = Try_Text([&] { return h.Hdx_event(); });
    const std::string id = Try_Text([&] { return h.Hdx_Heat_ID(); });
    const std::string name = Try_Text([&] { return h.Hdx_Heat_Name(); });
    std::string heat = id;
    if (!name.empty()) heat += (heat.empty() ? "" : " ") + name;
    t.title = t.album;
    if (!heat.empty()) t.title += (t.title.empty() ? "heat " : ", heat ") + heat;
    for (int16_t box = 1; box <= 8; ++box) {
        const std::string dog = Try_Text([&] { return h.Hdx_Dog_name(box); });
        if (dog.empty() || dog == "dog name") continue;  // a box nobody was named for
        if (!t.comment.empty()) t.comment += "; ";
        t.comment += "box " + std::to_string(box) + ": " + dog;
    }
    return t;
}

Outcome Write_Mkv(cls_VideoFile_handler& h, const std::string& out, const Options& o,
                  const std::function<void(int32_t, int32_t)>& progress) {
    Outcome result;
    const int32_t last = o.to > 0 ? o.to : h.num_Frames();
    if (h.num_Frames() < 1) return {"the recording holds no frame", 0, 0};
    if (o.from < 1 || last > h.num_Frames() || o.from > last)
        return {"frames " + std::to_string(o.from) + " to " + std::to_string(last) + " are not in this recording of " +
                    std::to_string(h.num_Frames()) + " frames",
                0, 0};
    if (o.field_rate && !h.Reviewed_By_Field()) return {"--field-rate needs an interlaced recording", 0, 0};
    if (Platform::File_Exists(out)) return {out + " exists already", 0, 0};

    gst_init(nullptr, nullptr);
    int32_t start = 0;
    double compensation = 0;
    if (o.burn_in) {
        try {
            start = h.Hdx_start_PC_mill();
            compensation = h.Hdx_Goal_compensation();
        } catch (const std::exception&) {
            return {"the recording has no heat start to take the race time from", 0, 0};
        }
    }
    const std::string partial = out + ".partial";
    std::filesystem::remove(partial);
    const int fields = o.field_rate ? 2 : 1;
    const GstClockTime frame_period = static_cast<GstClockTime>(std::max<int>(h.Frame_Period(), 1)) * GST_MSECOND;
    const GstClockTime field_period = static_cast<GstClockTime>(std::max<int>(h.Field_Period(), 1)) * GST_MSECOND;
    const int rate = h.Frame_Rate() > 0 ? h.Frame_Rate() : 1000 / std::max<int>(h.Frame_Period(), 1);
    const int fps = rate * fields;

    Mkv_Writer writer;
    bool opened = false;
    bool have_first = false;
    int32_t first_mill = 0;
    GstClockTime previous = 0;
    auto fail = [&](const std::string& why) {
        result.error = why;
        std::filesystem::remove(partial);
        return result;
    };

    for (int32_t n = o.from; n <= last; ++n) {
        if (progress) progress(n - o.from + 1, last - o.from + 1);
        const auto frame = static_cast<int16_t>(n);
        if (!h.Read_RGB_sample(frame, true) || h.Bad_Sample() || h.Damaged_Frame() || !h.Sample_JPEG()) {
            ++result.skipped;
            continue;
        }
        const int32_t capture = h.NX3_Capture_mill();
        if (!have_first) {
            first_mill = capture;
            have_first = true;
        }
        // Capture stamps wrap with the 32-bit clock: the difference does not.
        const auto since = static_cast<int32_t>(static_cast<uint32_t>(capture) - static_cast<uint32_t>(first_mill));
        GstClockTime pts = since > 0 ? static_cast<GstClockTime>(since) * GST_MSECOND : 0;
        // A stamp that goes back (a damaged sample) would break the stream's order.
        if (result.pictures > 0 && pts <= previous) pts = previous + GST_MSECOND;

        if (!opened) {
            const cDIBSection* shown = h.Prepare_RGB_frame(frame);
            if (!shown) return fail("frame " + std::to_string(n) + " cannot be read");
            if (!writer.Open(partial, shown->Width(), shown->Height(), fps, Heat_Tags(h), result.error))
                return fail(result.error);
            opened = true;
        }
        std::string error;
        try {
            for (int field = 1; field <= fields; ++field) {
                const GstClockTime at = pts + static_cast<GstClockTime>(field - 1) * field_period;
                const GstClockTime duration = o.field_rate ? field_period : frame_period;
                // Stored JPEGs go out as they are only when they hold the picture itself, not its fields stacked.
                if (!o.field_rate && !o.burn_in && !h.Fields_Stacked()) {
                    if (!writer.Push(h.Sample_JPEG(), static_cast<size_t>(h.NX3_JPEG_Size()), at, duration, error))
                        return fail(error);
                } else {
                    const cDIBSection* picture =
                        o.field_rate ? h.Prepare_RGB_Field(2 * n - 2 + field) : h.Prepare_RGB_frame(frame);
                    if (!picture) return fail("frame " + std::to_string(n) + " cannot be read");
                    std::vector<uint8_t> jpeg;
                    if (o.burn_in) {
                        const int32_t race = Review_Timing::Heat_Elapsed(
                            capture, start, o.field_rate ? static_cast<int16_t>(field) : Whole_Frame, compensation,
                            h.Field_Period());
                        jpeg = Burnt_In(*picture, Display_Mill_Time(race, true));
                    } else {
                        jpeg = Encoded(*picture);
                    }
                    if (!writer.Push(jpeg.data(), jpeg.size(), at, duration, error)) return fail(error);
                }
                ++result.pictures;
                previous = at;
            }
        } catch (const std::exception& e) {
            return fail(std::string("frame ") + std::to_string(n) + ": " + e.what());
        }
    }
    if (!opened) return fail("no frame of " + std::to_string(o.from) + " to " + std::to_string(last) + " can be read");
    std::string error;
    if (!writer.Finish(error)) return fail(error);
    const Tags tags = Heat_Tags(h);
    if (!Plain_Tag_Texts(partial, {tags.title, tags.album, tags.comment}, error)) return fail(error);
    std::error_code ec;
    // Renamed only when complete; a file that appeared meanwhile is not replaced.
    if (Platform::File_Exists(out)) return fail(out + " exists already");
    std::filesystem::rename(partial, out, ec);
    if (ec) return fail("cannot write " + out + ": " + ec.message());
    return result;
}

}  // namespace Video_Export
