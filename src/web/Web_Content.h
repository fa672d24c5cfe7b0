#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <QByteArray>
#include <QImage>

#include "recording/cls_VideoFile_handler.h"
#include "review/Goal_Line.h"
#include "web/Http_Request.h"

// Where a heat's frames lie in its recording, taken from the handler that has
// it open, so that the server reads the samples itself without touching it.
struct Web_Recording {
    std::string Path;
    int64_t First_Sample = 0;  // offset of frame 1's sample, from 0
    int64_t Sample_Size = 0;
    int32_t Frames = 0;
    int32_t Width = 0, Height = 0;
    bool Interlaced = false;  // the frames hold two fields
    bool Stacked = false;     // their JPEGs show field 1 above field 2
    bool By_Field = false;    // reviewed field by field
    bool Rotated = false;
    int16_t Field_Period = 20;
    int32_t Start_Mill = 0;  // the heat's start stamp
    double Goal_Compensation = 0;
    Goal_Line_Points Goal;
};

// The recording h has open, as the pages read it; Goal is left to the caller.
Web_Recording Web_Recording_Of(cls_VideoFile_handler& h, const std::string& path);

// What the pages show of one heat.
struct Web_Heat {
    std::string File;  // the recording: the heat's key
    std::string Line;  // the live feed's line for it; empty when no change was published
    bool Official = false;
    QImage Photo;  // the goal photo once official (the printout's picture)
    Web_Recording Recording;
};

// What the server answers, without sockets: the pages from the program's
// resources, the heats of the meeting as JSON (the feed's objects), the
// frames of a heat as their recording holds them and the goal photo as PNG.
// Lives on the server's thread; nothing here touches the review or the capture.
class Web_Content {
public:
    struct Reply {
        int Status = 200;
        std::string Type;
        QByteArray Body;
        std::string Headers;  // extra header lines, each ending in CR LF
    };

    // The key every request must carry as ?key=...; empty for none.
    void Set_Key(const std::string& key) { m_Key = key; }
    bool Key_Accepted(const Http_Request& request) const;

    // A heat changed (or was opened, on_screen): kept under its file, the
    // newest last; at most Max_Heats, the oldest let go first.
    void Update(const Web_Heat& heat, bool on_screen);
    static constexpr size_t Max_Heats = 200;
    // Goal photos kept (as PNG), of the most recently changed heats.
    static constexpr size_t Max_Photos = 24;

    // The feed's lines of the heats, oldest change first.
    std::vector<std::string> Lines() const;
    // {"on_screen": id} for the pages' live socket.
    std::string On_Screen_Message() const;

    Reply Respond(const Http_Request& request);
    static Reply Error(int status, const std::string& reason);

    // One frame's sample as the recording holds it.
    struct Frame {
        int64_t Offset = 0;  // of its JPEG in the file
        int32_t Size = 0;    // 0: damaged, no picture
        int32_t Capture_Mill = 0;
    };

private:
    struct Heat {
        int Id = 0;
        Web_Heat Data;             // Line: the last change published to the boards
        std::string Shown;         // the latest line of any kind, opening included: what the heat list names
        QByteArray Png;            // the goal photo; empty while provisional
        std::vector<Frame> Index;  // read on first request
        std::string Index_Problem;
    };
    Heat* Find(int id);
    Reply Heats_Json() const;
    Reply Frame_Index(Heat& heat);
    Reply Frame_Jpeg(Heat& heat, int32_t frame);
    Reply Photo(Heat& heat);
    bool Read_Index(Heat& heat);

    std::string m_Key;
    std::vector<Heat> m_Heats;  // least recently changed first
    int m_Next_Id = 1;
    int m_On_Screen = 0;
};
