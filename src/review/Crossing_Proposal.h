#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <QRect>

#include "review/Crossing_Estimate.h"
#include "review/Goal_Line.h"

// The judge's assistant, without windows: it finds each dog by its jacket in
// a band around the goal line, follows its nose (the leading edge of its
// silhouette in the running direction) from field to field, and proposes the
// first field that shows the nose past the line with the between-fields
// estimate and how sure it is. It proposes; the official's click decides.
// Where it cannot tell (a jacket not seen, two jackets of one colour, a dog
// hidden by another) it says so and proposes nothing.

// A jacket: one colour, or two for stripes (0x00RRGGBB).
struct Jacket {
    std::string Name;
    uint32_t Colour = 0;
    std::optional<uint32_t> Stripe;
};

namespace Jackets {

constexpr int Boxes = 8;
using Table = std::array<Jacket, Boxes>;

// The jackets of boxes 1 .. 8 where races are run under a jurisdiction's
// rules; "GB" (also for anything unknown): 1 red, 2 blue, 3 white, 4 black,
// 5 orange, 6 black-and-white stripes, 7 green, 8 yellow-and-black stripes.
Table For(const std::string& jurisdiction);
// The names For knows.
std::vector<std::string> Jurisdictions();
// From the settings: section "Assistant", key "jurisdiction" (default "GB"),
// and per box an optional "jacket1" .. "jacket8" of "#RRGGBB" or
// "#RRGGBB/#RRGGBB" (stripes) that replaces that box's colours. A value that
// is not in that form is ignored and the table's colours stay.
Table From_Settings(const std::string& ini_path);
// "#RRGGBB" or "#RRGGBB/#RRGGBB" into a jacket; false when it is not that.
bool Parse(const std::string& text, Jacket& jacket);

}  // namespace Jackets

// One review position's picture: 24-bit BGR rows, bottom-up as the recording
// holds them, the field as the review shows it (recording pixels).
struct Field_Picture {
    const uint8_t* Bits = nullptr;
    int32_t Width = 0;
    int32_t Height = 0;
    int64_t Stride = 0;
    int32_t Position = 0;  // review position (1 ..)
    int32_t Time = 0;      // its heat time (ms)
    // Which of an interlaced frame's fields it is (1 the first exposed, 2 the
    // other), 0 a frame: the two fields' rows lie half a line apart, so each
    // kind has a band without dogs of its own.
    int Kind = 0;
};

// What was seen of one jacket in one field; kept ones carry a nose.
struct Candidate {
    int16_t Box = 0;                // the jacket's box, 0 when it matches none
    QRect Jacket;                   // the jacket's pixels' bounds (recording pixels)
    QRect Outline;                  // the silhouette it belongs to
    int32_t Pixels = 0;             // jacket pixels
    bool Kept = false;              // counted as the dog of Box in this field
    std::string Why;                // why it was discarded, or a doubt about it
    std::optional<Nose_Mark> Nose;  // its nose (Time: the field's), when found
    bool Occluded = false;          // another dog's jacket lies where its nose is looked for
};

struct Field_Finding {
    int32_t Position = 0;
    int32_t Time = 0;
    std::vector<Candidate> Candidates;
};

struct Box_Proposal {
    int16_t Box = 0;
    // A field is proposed; else Doubt says why not.
    bool Proposed = false;
    std::string Doubt;
    int32_t Position = 0;  // the first position showing the nose past the line
    int32_t Field_Time = 0;
    std::optional<int32_t> Estimate;  // the between-fields crossing (ms)
    double Confidence = 0;            // 0 .. 1
    // The nose in the last field before the line and the first past it, with
    // their positions: what an official's two nose marks would be.
    int32_t Before_Position = 0;
    Nose_Mark Before;
    Nose_Mark After;
};

class Crossing_Detector {
public:
    struct Settings {
        // Band pixels behind the line (against the running direction) and
        // ahead of it, and the pixels a jacket shows at least (smaller ones
        // are discarded); 0: from the line's length, which spans the track.
        int32_t Behind = 0;
        int32_t Ahead = 0;
        int32_t Min_Jacket = 0;
        int Direction = 1;  // +1: the dogs run to the right of the picture, -1 to the left
        int Boxes = 6;
        double Sure = 0.6;  // confidence below which nothing is proposed
    };
    Crossing_Detector(const Goal_Line_Points& line, const Jackets::Table& jackets, Settings settings);
    Crossing_Detector(const Goal_Line_Points& line, const Jackets::Table& jackets)
        : Crossing_Detector(line, jackets, Settings{}) {}

    // The band without dogs: the per-pixel median of fields spread over the
    // recording (dogs cover any one pixel only briefly), one per field kind.
    // Learn from several fields, then Examine.
    void Learn(const Field_Picture& field);
    void Settle();
    bool Ready() const { return m_Ready; }
    // The band's rows and columns (recording pixels); empty when the line
    // lies off the picture.
    QRect Band() const { return m_Band; }

    Field_Finding Examine(const Field_Picture& field) const;

    // The proposals for boxes 1 .. Boxes from the findings of consecutive
    // positions (in position order; a gap breaks the sequence).
    std::vector<Box_Proposal> Propose(const std::vector<Field_Finding>& findings) const;

    // How far a nose is past the line in the running direction (px; behind it negative).
    double Past_By(const Nose_Mark& nose) const;
    // Propose follows a nose this far either side of its crossing (ms).
    static constexpr double Track_Reach_Ms = 160;

    const Goal_Line_Points& Line() const { return m_Line; }
    const Settings& Options() const { return m_Settings; }

private:
    static int Kind_Of(const Field_Picture& field);
    const std::vector<uint8_t>& Background(int kind) const;
    Goal_Line_Points m_Line;
    Jackets::Table m_Jackets;
    Settings m_Settings;
    QRect m_Band;
    int32_t m_Width = 0, m_Height = 0;
    static constexpr int Kinds = 3;  // Field_Picture::Kind
    // Band pixels (RGB) of the fields learnt, and the band without dogs, per kind.
    std::array<std::vector<std::vector<uint8_t>>, Kinds> m_Samples;
    std::array<std::vector<uint8_t>, Kinds> m_Background;
    bool m_Ready = false;
};
