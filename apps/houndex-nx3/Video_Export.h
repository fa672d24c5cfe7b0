#pragma once
#include <cstdint>
#include <functional>
#include <string>

class cls_VideoFile_handler;

// A recording as a Matroska video any player opens: each stored JPEG as it
// is (no new encoding), timed by its capture stamp, with the heat's names as
// tags. At field rate every field of an interlaced frame becomes a picture of
// its own, timed one field period apart; with the race time burnt in every
// picture carries its heat time in the top left corner. Those two decode and
// encode the pictures again.
namespace Video_Export {

struct Options {
    int32_t from = 1;  // first frame, from 1
    int32_t to = 0;    // last frame; 0: the recording's last
    bool field_rate = false;
    bool burn_in = false;
};

struct Outcome {
    std::string error;     // empty when the video was written
    int32_t pictures = 0;  // pictures in the video
    int32_t skipped = 0;   // damaged frames left out
};

// Writes out (a new file; never over an existing one) through GStreamer's
// Matroska muxer. progress(done, total) is called per frame.
Outcome Write_Mkv(cls_VideoFile_handler& recording, const std::string& out, const Options& options,
                  const std::function<void(int32_t, int32_t)>& progress = {});

// The texts written as the video's tags: title ("EVENT, heat ID NAME"), album
// (the event) and comment (one "box N: DOG" per named box, "; " between them).
struct Tags {
    std::string title, album, comment;
};
Tags Heat_Tags(cls_VideoFile_handler& recording);

}  // namespace Video_Export
