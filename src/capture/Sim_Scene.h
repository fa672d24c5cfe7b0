#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <QImage>
#include <QPoint>
#include <QRect>

class QPainter;

// The picture the simulated camera films: a side view of the finish area with
// six lanes, the finish line at the centre of the frame, and one dog per box in
// the box colours running left to right across it. Every few seconds the dogs
// start again from the left edge, each cycle at slightly different speeds, so
// the finish order changes from cycle to cycle.
//
// All motion is a pure function of the scene time (milliseconds since the
// scene's epoch), so where a dog's nose was at any moment is known exactly.
class Sim_Scene {
public:
    static constexpr int Dogs = 6;
    // One run of the dogs across the picture, then the next starts.
    static constexpr int64_t Cycle_Mill = 2400;
    // The layout is drawn for 1920 x 1080 and scaled to the frame size.
    static constexpr double Reference_Width = 1920.0;
    static constexpr double Reference_Height = 1080.0;

    Sim_Scene(int32_t width, int32_t height);

    // A race run to order: from Begin_Ms (scene time) every dog runs at its own
    // constant speed from the start position, reaching the finish line exactly
    // at its Crossing_Ms (scene time, not bound to any frame or field), and on
    // off the right edge. It holds until a later run begins; before the first
    // run the dogs go round their cycles.
    struct Run {
        double Begin_Ms = 0;
        std::array<double, Dogs> Crossing_Ms{};
    };
    // Runs must be added in order of Begin_Ms; a run's crossings lie after its begin.
    void Add_Run(const Run& run);
    const std::vector<Run>& Runs() const { return runs_; }

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }

    // Frame x of the nose of the dog of box (1 .. 6) at scene time t.
    double Nose_X(int box, int64_t scene_ms) const;
    // Frame row through the tip of that dog's nose.
    int32_t Nose_Y(int box) const;
    // Speed in frame pixels per second during the cycle that contains t.
    double Speed(int box, int64_t scene_ms) const;
    // Frame x of the finish line's centre (the frame centre) and its width in pixels.
    double Finish_X() const;
    int32_t Finish_Line_Width() const;
    // Picture rows covered by the track (lanes of all six dogs).
    int32_t Track_Top() const;
    int32_t Track_Bottom() const;
    // The unchanging picture without dogs or text (Format_BGR888).
    const QImage& Background() const { return background_; }

    // A picture the scene is drawn into, remembering what it drew last so the
    // next drawing only restores those areas from the background.
    struct Canvas {
        QImage image;  // Format_BGR888, top row first
        std::vector<QRect> dirty;
    };
    // The scene at time t with the caption lines written in the text area.
    void Render(int64_t scene_ms, const std::vector<std::string>& caption, Canvas& canvas) const;

    // The start LED drawn over a rendered picture, lit or dark, centred on a
    // frame pixel; the next Render puts the background back.
    void Draw_Start_LED(QPoint centre, bool lit, Canvas& canvas) const;
    // Above the track beside the finish post: inside every centre crop.
    static QPoint Default_Start_LED_Place(int32_t width, int32_t height);
    // The LED's radius in frame pixels.
    int32_t Start_LED_Radius() const;

    // A picture as hard to read as a real camera's (off unless set): lanes at
    // different depths seen from near the outside rail (nearer dogs larger and
    // lower, overlapping the dogs beyond), jackets on the torso only with the
    // dogs' own coats elsewhere, box 6 in black-and-white stripes, motion blur
    // over the exposure, sensor noise, a change of light during each run, and
    // in some runs one dog whose jacket cannot be seen for a few fields. All
    // drawn from the seed and the run, so a picture is still a pure function of
    // the scene time. Where each nose is does not change.
    void Harden(uint64_t seed);
    bool Hardened() const { return hardened_; }
    // How long each field is exposed (ms); the blur is as long as the way a
    // dog runs meanwhile, centred on the field's time.
    void Exposure_Mill(double ms) { exposure_ms_ = ms < 0 ? 0 : ms; }
    double Exposure_Mill() const { return exposure_ms_; }
    // The share of full light at scene time t (1 unless hardened).
    double Light(int64_t scene_ms) const;
    // The jacket of box out of sight from from_ms to to_ms (scene time), as
    // well as any the seed hides.
    void Hide_Jacket(int box, double from_ms, double to_ms) { hidden_.push_back({box, from_ms, to_ms}); }
    // Whether the jacket of box is out of sight at scene time t.
    bool Jacket_Hidden(int box, int64_t scene_ms) const;
    // How large a dog of box is drawn (1 unless hardened).
    double Depth_Scale(int box) const;

    // Box colours as 0x00RRGGBB: background and number colour.
    static uint32_t Box_Color(int box);
    static uint32_t Number_Color(int box);

private:
    void Draw_Background();
    const Run* Run_At(int64_t scene_ms) const;
    QRect Dog_Bounds(int box, double nose_x) const;
    double Nose_Y_Ref(int box) const;
    void Draw_Dog(QPainter& p, int box, int64_t scene_ms, double nose_x, bool jacket_hidden) const;
    void Light_And_Noise(int64_t scene_ms, Canvas& canvas) const;
    int Run_Index(int64_t scene_ms) const;

    int32_t width_;
    int32_t height_;
    double sx_;
    double sy_;
    QImage background_;
    std::vector<Run> runs_;
    bool hardened_ = false;
    uint64_t seed_ = 0;
    double exposure_ms_ = 0;
    struct Hidden {
        int box;
        double from, to;
    };
    std::vector<Hidden> hidden_;
    // The blur's scratch pictures, kept from one dog to the next: a fresh pair
    // per dog and field would leave the heap grown in the harness's memory checks.
    mutable QImage layer_;
    mutable QImage spread_;
    std::vector<int8_t> noise_;  // sensor noise, cycled through from a place drawn per field
};
