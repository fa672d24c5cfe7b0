#include "capture/GstVideoCap.h"
#include "common/Text.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <deque>
#include <mutex>
#include <numeric>
#include <vector>

#include <QObject>

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include "platform/Clock.h"
#include "platform/Error_Entry.h"
#include "platform/HdxError.h"
#include "common/Module_dependant.h"

namespace {

constexpr int32_t Day_Mill = 86400000;
constexpr GstClockTime Start_Timeout = 5 * GST_SECOND;

std::string Take_String(gchar* s) {
    std::string out = s ? s : "";
    g_free(s);
    return out;
}

// Media type and caps text for one fixed structure of a device's caps.
void Add_Formats(const GstStructure* s, std::vector<Gst_Format>& out) {
    const std::string name = gst_structure_get_name(s);
    if (name != "video/x-raw" && name != "image/jpeg") return;

    auto fixed_int = [&](const char* field, int& value) {
        const GValue* v = gst_structure_get_value(s, field);
        if (!v) return false;
        if (G_VALUE_HOLDS_INT(v)) {
            value = g_value_get_int(v);
            return true;
        }
        if (GST_VALUE_HOLDS_INT_RANGE(v)) {
            value = gst_value_get_int_range_max(v);
            return true;
        }
        return false;
    };
    int width = 0, height = 0;
    const bool sized = fixed_int("width", width) && fixed_int("height", height);

    std::vector<std::pair<int, int>> rates;  // numerator, denominator
    const GValue* fr = gst_structure_get_value(s, "framerate");
    auto add_rate = [&](const GValue* v) {
        if (GST_VALUE_HOLDS_FRACTION(v))
            rates.emplace_back(gst_value_get_fraction_numerator(v), gst_value_get_fraction_denominator(v));
    };
    if (fr) {
        if (GST_VALUE_HOLDS_LIST(fr)) {
            for (guint i = 0; i < gst_value_list_get_size(fr); ++i) add_rate(gst_value_list_get_value(fr, i));
        } else if (GST_VALUE_HOLDS_FRACTION_RANGE(fr)) {
            add_rate(gst_value_get_fraction_range_max(fr));
        } else {
            add_rate(fr);
        }
    }
    if (rates.empty()) rates.emplace_back(0, 1);

    // "progressive" or one of the interlaced layouts; a list of choices or no
    // field at all does not say.
    Scan_Mode scan = Scan_Mode::Unknown;
    if (const gchar* mode = gst_structure_get_string(s, "interlace-mode"))
        scan = std::string_view(mode) == "progressive" ? Scan_Mode::Progressive : Scan_Mode::Interlaced;

    for (const auto& [num, den] : rates) {
        Gst_Format f;
        f.Type.Has_Format = sized;
        f.Type.Width = width;
        f.Type.Height = height;
        f.Type.AvgTimePerFrame = num > 0 ? static_cast<int64_t>(std::llround(1.0e7 * den / num)) : 0;
        f.Type.Scan = scan;
        GstStructure* copy = gst_structure_copy(s);
        if (sized) gst_structure_set(copy, "width", G_TYPE_INT, width, "height", G_TYPE_INT, height, nullptr);
        if (num > 0) gst_structure_set(copy, "framerate", GST_TYPE_FRACTION, num, den, nullptr);
        GstCaps* caps = gst_caps_new_full(copy, nullptr);
        f.Caps = Take_String(gst_caps_to_string(caps));
        gst_caps_unref(caps);
        out.push_back(std::move(f));
    }
}

std::string Device_Property(GstDevice* device, std::initializer_list<const char*> keys) {
    GstStructure* props = gst_device_get_properties(device);
    if (!props) return "";
    std::string value;
    for (const char* key : keys) {
        if (const gchar* v = gst_structure_get_string(props, key)) {
            value = v;
            break;
        }
    }
    gst_structure_free(props);
    return value;
}

}  // namespace

// ------------------------------------------------------------------ state

struct GstVideoCap::Impl {
    struct Pending {
        GstSample* sample;
        Frame_Stamp stamp;
        int64_t bytes;
    };

    GstVideoCap* owner = nullptr;
    std::vector<Gst_Source> sources;
    int selected = -1;
    int format = -1;
    bool cap_25 = false;
    std::string max_interval = "0";
    std::string min_interval = "0";
    IVideoCapEvent* sink = nullptr;
    int32_t cookie = 0;
    int32_t next_cookie = 1;
    Stream_Header last_header;

    GstElement* pipeline = nullptr;
    GstElement* appsink = nullptr;
    std::unique_ptr<QObject> context;  // lives on the creating thread; deliveries are queued to it

    mutable std::mutex lock;  // guards what the streaming thread touches below
    std::deque<Pending> queue;
    int64_t queued_bytes = 0;
    int32_t queue_mill = Default_Queue_Mill;
    int64_t queue_bytes = Default_Queue_Bytes;
    std::atomic<int> queued{0};  // queue.size(), read without the lock
    bool accepting = false;
    std::string last_error;
    std::atomic<int64_t> dropped{0};
    std::atomic<int64_t> delivered{0};

    ~Impl() {
        Stop();
        context.reset();  // drops deliveries still posted
    }

    void Set_Error(const std::string& text) {
        std::lock_guard<std::mutex> g(lock);
        last_error = text;
    }

    [[noreturn]] void Fail(const std::string& text) {
        Set_Error(text);
        throw HdxError(Capture_Component_Error, text);
    }

    Gst_Source& Source() {
        if (selected < 0) Fail("No video source selected");
        return sources[static_cast<size_t>(selected)];
    }

    void Clear_Queue() {
        std::deque<Pending> old;
        {
            std::lock_guard<std::mutex> g(lock);
            old.swap(queue);
            queued_bytes = 0;
            queued.store(0);
        }
        for (auto& p : old) gst_sample_unref(p.sample);
    }

    void Stop() {
        {
            std::lock_guard<std::mutex> g(lock);
            accepting = false;
        }
        if (pipeline) {
            // Joins the streaming thread: nothing arrives after this.
            gst_element_set_state(pipeline, GST_STATE_NULL);
            gst_object_unref(pipeline);
            pipeline = nullptr;
            appsink = nullptr;
        }
        Clear_Queue();
    }

    // Streaming thread: stamp, queue, and ask the creating thread to deliver.
    // The stamp is the buffer's capture time on the PC clock where it carries
    // one (From_Device), else the arrival here: the compensations are measured
    // against whichever it is (Frame_Stamp).
    static GstFlowReturn On_New_Sample(GstAppSink* sink, gpointer user) {
        Impl* d = static_cast<Impl*>(user);
        Frame_Stamp stamp;
        stamp.Arrival_Mill = Platform::PC_Mill();
        const int32_t arrival_local = Local_Mill();
        GstClock* clock = gst_element_get_clock(GST_ELEMENT(sink));
        const GstClockTime now = clock ? gst_clock_get_time(clock) : GST_CLOCK_TIME_NONE;
        GstSample* sample = gst_app_sink_pull_sample(sink);
        stamp.Mill = stamp.Arrival_Mill;
        stamp.Local = arrival_local;
        if (sample && clock) {
            GstBuffer* buffer = gst_sample_get_buffer(sample);
            const GstSegment* segment = gst_sample_get_segment(sample);
            const GstClockTime pts = buffer ? GST_BUFFER_PTS(buffer) : GST_CLOCK_TIME_NONE;
            if (GST_CLOCK_TIME_IS_VALID(pts) && GST_CLOCK_TIME_IS_VALID(now) && segment) {
                const GstClockTime running = gst_segment_to_running_time(segment, GST_FORMAT_TIME, pts);
                if (GST_CLOCK_TIME_IS_VALID(running)) {
                    const GstClockTime captured = running + gst_element_get_base_time(GST_ELEMENT(sink));
                    const double age_ms = (static_cast<double>(now) - static_cast<double>(captured)) / 1.0e6;
                    // A stamp a little in the future is clock jitter; far off is not a capture time.
                    if (age_ms > -5.0 && age_ms <= Longest_Pipe_Age_Mill) {
                        const int32_t age = age_ms < 0 ? 0 : static_cast<int32_t>(std::lround(age_ms));
                        stamp.Mill = static_cast<int32_t>(static_cast<uint32_t>(stamp.Arrival_Mill) -
                                                          static_cast<uint32_t>(age));
                        stamp.Local = arrival_local - age;
                        if (stamp.Local < 0) stamp.Local += Day_Mill;
                        stamp.From_Device = true;
                    }
                }
            }
        }
        if (clock) gst_object_unref(clock);
        if (!sample) return GST_FLOW_OK;

        GstBuffer* held = gst_sample_get_buffer(sample);
        if (held && d->queued.load() >= Pool_Held_Frames) {
            // The receiver is behind: this frame waits in memory of its own
            // and gives the source its buffer back.
            GstBuffer* copy = gst_buffer_copy_deep(held);
            if (copy) {
                GstSample* own =
                    gst_sample_new(copy, gst_sample_get_caps(sample), gst_sample_get_segment(sample), nullptr);
                gst_buffer_unref(copy);
                gst_sample_unref(sample);
                sample = own;
                held = gst_sample_get_buffer(sample);
            }
        }
        const int64_t bytes = held ? static_cast<int64_t>(gst_buffer_get_size(held)) : 0;
        bool post = false;
        std::vector<GstSample*> dropped_samples;
        {
            std::lock_guard<std::mutex> g(d->lock);
            if (!d->accepting) {
                dropped_samples.push_back(sample);
            } else {
                // Oldest first out once the waiting frames span too long or hold too much.
                while (!d->queue.empty() &&
                       (Platform::Mill_Since(d->queue.front().stamp.Arrival_Mill, stamp.Arrival_Mill) > d->queue_mill ||
                        d->queued_bytes + bytes > d->queue_bytes)) {
                    dropped_samples.push_back(d->queue.front().sample);
                    d->queued_bytes -= d->queue.front().bytes;
                    d->queue.pop_front();
                    d->dropped.fetch_add(1);
                }
                post = d->queue.empty();
                d->queue.push_back({sample, stamp, bytes});
                d->queued_bytes += bytes;
            }
            d->queued.store(static_cast<int>(d->queue.size()));
        }
        for (GstSample* s : dropped_samples) gst_sample_unref(s);
        if (post)
            QMetaObject::invokeMethod(
                d->context.get(), [d] { d->Drain(); }, Qt::QueuedConnection);
        return GST_FLOW_OK;
    }

    static GstBusSyncReply On_Bus_Message(GstBus*, GstMessage* message, gpointer user) {
        Impl* d = static_cast<Impl*>(user);
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
            GError* err = nullptr;
            gchar* debug = nullptr;
            gst_message_parse_error(message, &err, &debug);
            std::string text = err ? err->message : "GStreamer error";
            if (debug) text += " (" + std::string(debug) + ")";
            if (err) g_error_free(err);
            g_free(debug);
            // Kept for LastErrorText; this is the streaming thread, so nothing else is touched.
            d->Set_Error(text);
        }
        return GST_BUS_DROP;
    }

    // Creating thread: hand every waiting frame to the sink, oldest first.
    void Drain() {
        for (;;) {
            Pending p{};
            {
                std::lock_guard<std::mutex> g(lock);
                if (queue.empty() || !accepting) break;
                p = queue.front();
                queue.pop_front();
                queued_bytes -= p.bytes;
                queued.store(static_cast<int>(queue.size()));
            }
            Deliver(p);
            gst_sample_unref(p.sample);
        }
    }

    void Deliver(const Pending& p) {
        GstBuffer* buffer = gst_sample_get_buffer(p.sample);
        GstCaps* caps = gst_sample_get_caps(p.sample);
        GstVideoInfo info;
        if (!buffer || !caps || !gst_video_info_from_caps(&info, caps)) return;
        GstVideoFrame vf;
        if (!gst_video_frame_map(&vf, &info, buffer, GST_MAP_READ)) return;
        Video_Frame frame;
        frame.Pixels = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&vf, 0));
        frame.Width = GST_VIDEO_FRAME_WIDTH(&vf);
        frame.Height = GST_VIDEO_FRAME_HEIGHT(&vf);
        frame.Stride = GST_VIDEO_FRAME_PLANE_STRIDE(&vf, 0);
        const size_t mapped = vf.map[0].size;
        const size_t offset = GST_VIDEO_FRAME_PLANE_OFFSET(&vf, 0);
        frame.Length = static_cast<int32_t>(mapped > offset ? std::min<size_t>(mapped - offset, INT32_MAX) : 0);
        frame.Bottom_Up = false;
        frame.Stamp = p.stamp;
        last_header = Stream_Header{frame.Width, frame.Height, static_cast<int32_t>(GST_VIDEO_INFO_SIZE(&info))};
        delivered.fetch_add(1);
        if (sink) {
            try {
                sink->OnRGBEvent(*owner, frame);
            } catch (const std::exception& e) {
                // The sink's failure comes back to the component, which keeps streaming.
                Set_Error(e.what());
                Trace(std::string("*GstVideoCap OnRGBEvent failed: ") + e.what());
            }
        }
        gst_video_frame_unmap(&vf);
    }

    void Start() {
        Gst_Source& src = Source();
        if (pipeline) Stop();
        const std::vector<std::string> missing = Missing_Elements();
        if (!missing.empty()) {
            std::string names;
            for (const auto& m : missing) names += (names.empty() ? "" : ", ") + m;
            Fail("GStreamer elements missing: " + names);
        }
        Set_Error("");

        GstElement* pipe = gst_pipeline_new("houndex-capture");
        auto fail = [&](const std::string& text) {
            gst_object_unref(pipe);
            Fail(text);
        };
        GstElement* source = nullptr;
        if (src.Device) {
            source = gst_device_create_element(static_cast<GstDevice*>(src.Device.get()), "source");
            if (!source) fail("The device \"" + src.Friendly_Name + "\" gives no source element");
        } else {
            GError* err = nullptr;
            source = gst_parse_bin_from_description(src.Launch.c_str(), TRUE, &err);
            if (!source) {
                const std::string text = err ? err->message : "bad source description";
                if (err) g_error_free(err);
                fail("Source \"" + src.Launch + "\": " + text);
            }
        }
        gst_bin_add(GST_BIN(pipe), source);
        std::vector<GstElement*> chain{source};
        auto add = [&](GstElement* e) {
            gst_bin_add(GST_BIN(pipe), e);
            chain.push_back(e);
            return e;
        };
        bool jpeg = false;
        if (format >= 0 && format < static_cast<int>(src.Formats.size())) {
            GstCaps* caps = gst_caps_from_string(src.Formats[static_cast<size_t>(format)].Caps.c_str());
            if (!caps) fail("Bad caps \"" + src.Formats[static_cast<size_t>(format)].Caps + "\"");
            jpeg = gst_structure_has_name(gst_caps_get_structure(caps, 0), "image/jpeg");
            GstElement* filter = add(gst_element_factory_make("capsfilter", "format"));
            g_object_set(filter, "caps", caps, nullptr);
            gst_caps_unref(caps);
        }
        if (jpeg) {
            GstElement* dec = gst_element_factory_make("jpegdec", "decoder");
            if (!dec) fail("GStreamer element \"jpegdec\" is missing");
            add(dec);
        }
        if (cap_25) {
            GstElement* rate = add(gst_element_factory_make("videorate", "rate"));
            g_object_set(rate, "drop-only", TRUE, "max-rate", 25, nullptr);
        }
        add(gst_element_factory_make("videoconvert", "convert"));
        GstElement* bgr = add(gst_element_factory_make("capsfilter", "bgr"));
        GstCaps* bgr_caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGR", nullptr);
        g_object_set(bgr, "caps", bgr_caps, nullptr);
        gst_caps_unref(bgr_caps);
        GstElement* out = add(gst_element_factory_make("appsink", "sink"));
        // Each buffer is taken at once (On_New_Sample): the sink's own queue stays short.
        g_object_set(out, "sync", FALSE, "max-buffers", static_cast<guint>(Pool_Held_Frames + 1), "drop", TRUE,
                     "emit-signals", FALSE, "enable-last-sample", FALSE, nullptr);
        for (size_t i = 0; i + 1 < chain.size(); ++i)
            if (!gst_element_link(chain[i], chain[i + 1]))
                fail(std::string("Cannot link ") + GST_ELEMENT_NAME(chain[i]) + " to " +
                     GST_ELEMENT_NAME(chain[i + 1]));

        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = &Impl::On_New_Sample;
        gst_app_sink_set_callbacks(GST_APP_SINK(out), &callbacks, this, nullptr);
        GstBus* bus = gst_element_get_bus(pipe);
        gst_bus_set_sync_handler(bus, &Impl::On_Bus_Message, this, nullptr);
        gst_object_unref(bus);

        pipeline = pipe;
        appsink = out;
        {
            std::lock_guard<std::mutex> g(lock);
            accepting = true;
        }
        GstStateChangeReturn r = gst_element_set_state(pipe, GST_STATE_PLAYING);
        if (r == GST_STATE_CHANGE_ASYNC) r = gst_element_get_state(pipe, nullptr, nullptr, Start_Timeout);
        if (r == GST_STATE_CHANGE_FAILURE || r == GST_STATE_CHANGE_ASYNC) {
            std::string why;
            {
                std::lock_guard<std::mutex> g(lock);
                why = last_error;
            }
            Stop();
            if (why.empty())
                why = r == GST_STATE_CHANGE_ASYNC ? "the stream did not start within 5 s" : "the stream cannot start";
            Fail("StartStream: " + why);
        }
    }
};

// ------------------------------------------------------------------ set-up

bool GstVideoCap::Initialise(std::string* error) {
    static std::once_flag once;
    static bool ok = false;
    static std::string why;
    std::call_once(once, [] {
        GError* err = nullptr;
        ok = gst_init_check(nullptr, nullptr, &err);
        if (!ok) why = err ? err->message : "GStreamer cannot be initialised";
        if (err) g_error_free(err);
    });
    if (error) *error = why;
    return ok;
}

std::vector<std::string> GstVideoCap::Missing_Elements(const std::vector<std::string>& also) {
    std::vector<std::string> missing;
    if (!Initialise()) return {"GStreamer"};
    std::vector<std::string> names = {"capsfilter", "appsink", "videoconvert", "videorate"};
    names.insert(names.end(), also.begin(), also.end());
    for (const std::string& name : names) {
        GstElementFactory* f = gst_element_factory_find(name.c_str());
        if (f)
            gst_object_unref(f);
        else
            missing.emplace_back(name);
    }
    return missing;
}

std::vector<Gst_Source> GstVideoCap::Capture_Devices() {
    std::vector<Gst_Source> out;
    if (!Initialise()) return out;
    GstDeviceMonitor* monitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(monitor, "Video/Source", nullptr);
    if (!gst_device_monitor_start(monitor)) {
        gst_object_unref(monitor);
        return out;
    }
    GList* devices = gst_device_monitor_get_devices(monitor);
    for (GList* l = devices; l; l = l->next) {
        GstDevice* device = GST_DEVICE(l->data);
        Gst_Source s;
        s.Friendly_Name = Take_String(gst_device_get_display_name(device));
        s.Device_Path = Device_Property(device, {"device.path", "api.v4l2.path", "object.path"});
        s.Description = Take_String(gst_device_get_device_class(device));
        if (GstCaps* caps = gst_device_get_caps(device)) {
            for (guint i = 0; i < gst_caps_get_size(caps); ++i) Add_Formats(gst_caps_get_structure(caps, i), s.Formats);
            gst_caps_unref(caps);
        }
        s.Device = std::shared_ptr<void>(gst_object_ref(device), [](void* p) { gst_object_unref(p); });
        out.push_back(std::move(s));
    }
    g_list_free_full(devices, gst_object_unref);
    gst_device_monitor_stop(monitor);
    gst_object_unref(monitor);
    return out;
}

std::vector<Gst_Format> GstVideoCap::Formats_Of_Caps(const std::string& caps_text) {
    std::vector<Gst_Format> out;
    if (!Initialise()) return out;
    GstCaps* caps = gst_caps_from_string(caps_text.c_str());
    if (!caps) return out;
    for (guint i = 0; i < gst_caps_get_size(caps); ++i) Add_Formats(gst_caps_get_structure(caps, i), out);
    gst_caps_unref(caps);
    return out;
}

std::string GstVideoCap::Raw_Caps(const Media_Type& type) {
    std::string caps = "video/x-raw";
    if (type.Has_Format && type.Width > 0 && type.Height > 0)
        caps += ",width=" + std::to_string(type.Width) + ",height=" + std::to_string(type.Height);
    if (type.AvgTimePerFrame > 0) {
        int64_t num = 10000000, den = type.AvgTimePerFrame;
        const int64_t g = std::gcd(num, den);
        caps += ",framerate=" + std::to_string(num / g) + "/" + std::to_string(den / g);
    }
    return caps;
}

Gst_Source GstVideoCap::Launch_Source(const std::string& friendly_name, const std::string& launch,
                                      const std::vector<Media_Type>& formats) {
    Gst_Source s;
    s.Friendly_Name = friendly_name;
    s.Device_Path = "launch:" + launch;
    s.Description = "Video/Source";
    s.Launch = launch;
    for (const auto& f : formats) s.Formats.push_back({f, Raw_Caps(f)});
    return s;
}

GstVideoCap::GstVideoCap(std::vector<Gst_Source> sources) : d_(std::make_unique<Impl>()) {
    d_->owner = this;
    d_->sources = std::move(sources);
    d_->context = std::make_unique<QObject>();
    std::string why;
    if (!Initialise(&why)) d_->Set_Error(why);
}

GstVideoCap::~GstVideoCap() = default;

// ------------------------------------------------------------------ IVideoCap

int32_t GstVideoCap::AdviseEvents(IVideoCapEvent* sink) {
    if (!sink) d_->Fail("AdviseEvents: no sink");
    d_->sink = sink;
    d_->cookie = d_->next_cookie++;
    return d_->cookie;
}

void GstVideoCap::UnadviseEvents(int32_t cookie) {
    if (cookie != 0 && cookie == d_->cookie) {
        d_->sink = nullptr;
        d_->cookie = 0;
    }
}

bool GstVideoCap::SelectSource(const std::string& name) {
    static const std::string prefix = "video:";
    if (name.compare(0, prefix.size(), prefix) != 0) return false;
    int64_t n = 0;
    if (!Whole_Number_In(std::string_view(name).substr(prefix.size()), 1, static_cast<int64_t>(d_->sources.size()), n))
        return false;
    if (d_->selected != n - 1) d_->format = -1;
    d_->selected = static_cast<int>(n - 1);
    return true;
}

void GstVideoCap::SendCommand(const std::string& command, const std::string& argument) {
    Gst_Source& src = d_->Source();
    d_->Set_Error("");
    if (command == "GetIntervals") {
        int64_t longest = 0, shortest = 0;
        for (const auto& f : src.Formats) {
            const int64_t i = f.Type.AvgTimePerFrame;
            if (i <= 0) continue;
            if (longest == 0 || i > longest) longest = i;
            if (shortest == 0 || i < shortest) shortest = i;
        }
        d_->max_interval = std::to_string(longest);
        d_->min_interval = std::to_string(shortest);
    } else if (command == "CaptureFps") {
        d_->cap_25 = argument == "25";
    } else if (command == "SetFormat") {
        int64_t index = -1;
        if (!Whole_Number_In(argument, 0, static_cast<int64_t>(src.Formats.size()) - 1, index))
            d_->Fail("SetFormat: no property \"" + argument + "\"");
        d_->format = static_cast<int>(index);
    } else {
        d_->Fail("Unknown command \"" + command + "\"");
    }
}

std::string GstVideoCap::QueryString(const std::string& name) {
    if (name == "buildNumber" || name == "BuildNumber") return Take_String(gst_version_string());
    if (name == "droppedFrames") return std::to_string(d_->dropped.load());
    Gst_Source& src = d_->Source();
    if (name == "sourceFriendlyName") return src.Friendly_Name;
    if (name == "sourceDevicePath") return src.Device_Path;
    if (name == "sourceDescription") return src.Description;
    if (name == "numprops") return std::to_string(src.Formats.size());
    if (name == "MaxInterval") return d_->max_interval;
    if (name == "MinInterval") return d_->min_interval;
    d_->Fail("Unknown query \"" + name + "\"");
}

Media_Type GstVideoCap::Query_Media_Type(int32_t index) {
    Gst_Source& src = d_->Source();
    if (index < 0 || index >= static_cast<int32_t>(src.Formats.size()))
        d_->Fail("No media type " + std::to_string(index));
    return src.Formats[static_cast<size_t>(index)].Type;
}

Media_Type GstVideoCap::Query_Current_Media_Type() {
    if (d_->format < 0) d_->Fail("No format set");
    return Query_Media_Type(d_->format);
}

Stream_Header GstVideoCap::Query_Stream_Header() {
    if (d_->last_header.Width > 0) return d_->last_header;
    if (d_->format >= 0) {
        const Media_Type t = Query_Current_Media_Type();
        const int32_t stride = (t.Width * 3 + 3) / 4 * 4;
        return Stream_Header{t.Width, t.Height, stride * t.Height};
    }
    return Stream_Header{};
}

void GstVideoCap::StartStream() {
    d_->last_header = Stream_Header{};
    d_->Start();
}

void GstVideoCap::StopStream() { d_->Stop(); }

std::string GstVideoCap::LastErrorText() {
    std::lock_guard<std::mutex> g(d_->lock);
    return d_->last_error;
}

int32_t GstVideoCap::Source_Count() const { return static_cast<int32_t>(d_->sources.size()); }
void GstVideoCap::Queue_Limit(int32_t mill, int64_t bytes) {
    std::lock_guard<std::mutex> g(d_->lock);
    d_->queue_mill = std::max(0, mill);
    d_->queue_bytes = std::max<int64_t>(0, bytes);
}

int64_t GstVideoCap::Dropped_Frames() const { return d_->dropped.load(); }
int64_t GstVideoCap::Frames_Delivered() const { return d_->delivered.load(); }
bool GstVideoCap::Streaming() const { return d_->pipeline != nullptr; }
