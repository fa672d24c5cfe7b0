#include "Start_Sound.h"

#include <QFile>

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

namespace Start_Sound {
namespace {
std::function<void(const QByteArray&)>& Player() {
    static std::function<void(const QByteArray&)> player;
    return player;
}
// The pipeline of the sound playing now: one at a time, the next start replaces it.
GstElement* g_pipeline = nullptr;
}  // namespace

QByteArray Wav() {
    QFile f(QStringLiteral(":/sounds/start_pop.wav"));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

void Play() {
    const QByteArray wav = Wav();
    if (wav.isEmpty()) return;
    if (Player()) {
        Player()(wav);
        return;
    }
    Play_Gst(wav);
}

void Set_Player(std::function<void(const QByteArray&)> player) { Player() = std::move(player); }

void Release() {
    if (!g_pipeline) return;
    gst_element_set_state(g_pipeline, GST_STATE_NULL);
    gst_object_unref(g_pipeline);
    g_pipeline = nullptr;
}

bool Play_Gst(const QByteArray& wav, const std::string& sink) {
    Release();
    if (wav.isEmpty() || !gst_init_check(nullptr, nullptr, nullptr)) return false;
    GstElement* pipeline = gst_pipeline_new("start-sound");
    GstElement* src = gst_element_factory_make("appsrc", nullptr);
    GstElement* parse = gst_element_factory_make("wavparse", nullptr);
    GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
    GstElement* resample = gst_element_factory_make("audioresample", nullptr);
    GstElement* out = gst_element_factory_make(sink.c_str(), nullptr);
    if (!pipeline || !src || !parse || !convert || !resample || !out) {
        for (GstElement* e : {src, parse, convert, resample, out})
            if (e) gst_object_unref(e);
        if (pipeline) gst_object_unref(pipeline);
        return false;
    }
    gst_bin_add_many(GST_BIN(pipeline), src, parse, convert, resample, out, nullptr);
    if (!gst_element_link_many(src, parse, convert, resample, out, nullptr)) {
        gst_object_unref(pipeline);
        return false;
    }
    // Never wait for the clock of a sink that cannot play (no sound card).
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(out), "sync")) g_object_set(out, "sync", FALSE, nullptr);
    g_object_set(src, "format", GST_FORMAT_BYTES, nullptr);
    GstBuffer* buffer = gst_buffer_new_memdup(wav.constData(), static_cast<gsize>(wav.size()));
    gst_app_src_push_buffer(GST_APP_SRC(src), buffer);
    gst_app_src_end_of_stream(GST_APP_SRC(src));
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
        return false;
    }
    g_pipeline = pipeline;
    return true;
}

}  // namespace Start_Sound
