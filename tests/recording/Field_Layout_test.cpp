// The two fields of an interlaced frame in its JPEG: a field shows only its
// own exposure, whatever the quality the fitting comes down to, and both
// layouts (interleaved as older recordings, stacked as new ones) come back
// as the picture that was stored.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Test_Env.h"
#include "Test_Name.h"
#include "Test_Pictures.h"
#include "capture/Sim_Scene.h"
#include "platform/Files.h"
#include "recording/NX3_Layout.h"
#include "recording/cls_VideoFile_handler.h"
#include "recording/Frame_Compressor.h"
#include "recording/cDIBSection.h"
#include "recording/mIntelJPEGLibrary.h"

using mIntelJPEGLibrary::Field_Layout;

namespace {

double Luma(uint32_t bgr) { return 0.299 * (bgr & 0xFF) + 0.587 * ((bgr >> 8) & 0xFF) + 0.114 * ((bgr >> 16) & 0xFF); }

uint32_t Pixel(const QImage& image, int x, int y) {
    const uint8_t* p = image.constScanLine(y) + x * 3;  // Format_BGR888: red first
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
}

// A frame filmed interlaced as the simulated camera delivers it: field 1
// (the top row and every second row below it) from first, field 2 from second.
void Interlaced_Frame(const QImage& first, const QImage& second, cDIBSection& frame) {
    EXPECT_TRUE(frame.Create(first.width(), first.height()));
    for (int y = 0; y < first.height(); ++y) {
        const QImage& field = y % 2 == 0 ? first : second;
        for (int x = 0; x < first.width(); ++x) frame.Set_Pixel(x, y, Pixel(field, x, y));
    }
}

QImage Render(const Sim_Scene& scene, int64_t ms) {
    Sim_Scene::Canvas canvas;
    scene.Render(ms, {}, canvas);
    return canvas.image;
}

void Round_Trip(const cDIBSection& picture, int quality, const Fit_Settings& coding, cDIBSection& decoded) {
    std::vector<uint8_t> jpeg(
        static_cast<size_t>(mIntelJPEGLibrary::Worst_Case_Size(picture.Width(), picture.Height())));
    int32_t size = static_cast<int32_t>(jpeg.size());
    coding.Encode(picture.DIBSectionBitsPtr(), jpeg.data(), size, quality);
    EXPECT_TRUE(decoded.Create(picture.Width(), picture.Height()));
    EXPECT_TRUE(mIntelJPEGLibrary::Decode_JPG_To_Bits(jpeg.data(), size, decoded.DIBSectionBitsPtr(), picture.Width(),
                                                      picture.Height(), coding.Layout()));
}

Fit_Settings Coding(int32_t width, int32_t height, bool stacked) {
    Fit_Settings s;
    s.Width = width;
    s.Height = height;
    s.Interlaced = true;
    s.Fields_Stacked = stacked;
    return s;
}

// The simulated race at one moment, filmed interlaced, and the pixels of
// field 1 where only field 2 has a dog (just ahead of field 1's nose).
struct Race_Frame {
    Race_Frame(int32_t width, int32_t height, int64_t first_ms) : scene(width, height) {
        const QImage first = Render(scene, first_ms);
        const QImage second = Render(scene, first_ms + 20);
        const QImage& background = scene.Background();
        Interlaced_Frame(first, second, moving);
        // The same moment in both fields: what field 1 looks like with nothing to carry over.
        Interlaced_Frame(first, first, still);
        for (int y = 0; y < height; y += 2) {
            for (int x = 0; x < width; ++x) {
                const double other = std::abs(Luma(Pixel(second, x, y)) - Luma(Pixel(background, x, y)));
                if (other >= 30 && Pixel(first, x, y) == Pixel(background, x, y)) {
                    ghost_area.push_back({x, y});
                    dog_contrast += other;
                }
            }
        }
    }
    // How visible the dog of field 2 is in field 1 after compression, as a
    // part of that dog's own contrast: field 1's decoded pixels against those
    // of the still frame. The difference is what compression carried over
    // from the other field, and nothing else.
    double Ghost_Contrast(int quality, const Fit_Settings& coding) const {
        cDIBSection a, b;
        Round_Trip(moving, quality, coding, a);
        Round_Trip(still, quality, coding, b);
        double ghost = 0;
        for (const QPoint& p : ghost_area)
            ghost += std::abs(Luma(a.Get_Pixel(p.x(), p.y())) - Luma(b.Get_Pixel(p.x(), p.y())));
        return ghost / dog_contrast;
    }
    Sim_Scene scene;
    cDIBSection moving, still;
    std::vector<QPoint> ghost_area;
    double dog_contrast = 0;
};

struct Ghost_Case {
    const char* name;
    int32_t width, height;
};

class Field_Ghost : public ::testing::TestWithParam<Ghost_Case> {};

// The dogs are near the finish line one second into the scene's cycle.
constexpr int64_t Race_Ms = 1000;

TEST_P(Field_Ghost, TheOtherFieldsDogIsInvisibleInAFieldAtEveryQualityOfTheLadder) {
    const Ghost_Case& c = GetParam();
    const Race_Frame race(c.width, c.height, Race_Ms);
    ASSERT_GT(race.ghost_area.size(), 100u) << "the dogs do not move ahead of their noses";
    for (int16_t q : Frame_Compressor::Quality_Ladder(Frame_Compressor::Start_Quality)) {
        EXPECT_LE(race.Ghost_Contrast(q, Coding(c.width, c.height, true)), 0.02) << "quality " << q;
        // Interleaved rows (recordings made before) do show it: the measure sees a ghost.
        EXPECT_GT(race.Ghost_Contrast(q, Coding(c.width, c.height, false)), 0.02) << "quality " << q;
    }
}

TEST(Field_Layout, TheRaceInStackedFieldsTakesFewerBytesThanInterleaved) {
    // With the fields apart, colour halved over two rows mixes nothing: on the
    // race that chroma pays for the stacking and the gap.
    for (auto [w, h] : {std::pair{720, 576}, std::pair{1920, 1080}}) {
        const Race_Frame race(w, h, Race_Ms);
        std::vector<uint8_t> jpeg(static_cast<size_t>(mIntelJPEGLibrary::Worst_Case_Size(w, h)));
        auto size_of = [&](int q, bool stacked) {
            int32_t size = static_cast<int32_t>(jpeg.size());
            Coding(w, h, stacked).Encode(race.moving.DIBSectionBitsPtr(), jpeg.data(), size, q);
            return size;
        };
        for (int q : {80, 49, 22, 8}) EXPECT_LT(size_of(q, true), size_of(q, false)) << w << "x" << h << " q " << q;
    }
}

INSTANTIATE_TEST_SUITE_P(Races, Field_Ghost,
                         ::testing::Values(Ghost_Case{"Pal", 720, 576}, Ghost_Case{"Hd", 1920, 1080}),
                         [](const auto& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------------------
// round trips

// A grey picture that brightens downwards and to the right, field 2 brighter
// than field 1: a row out of place or a field swapped shows at once.
void Field_Picture(cDIBSection& p, int32_t width, int32_t height) {
    ASSERT_TRUE(p.Create(width, height));
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t v = static_cast<uint32_t>(20 + 4 * y + (y % 2) * 24 + x / 8);
            p.Set_Pixel(x, y, v | v << 8 | v << 16);
        }
}

// The largest mean difference of one row between two pictures.
double Worst_Row(const cDIBSection& a, const cDIBSection& b) {
    double worst = 0;
    for (int32_t y = 0; y < a.Height(); ++y) {
        double sum = 0;
        for (int32_t x = 0; x < a.Width(); ++x) sum += std::abs(Luma(a.Get_Pixel(x, y)) - Luma(b.Get_Pixel(x, y)));
        worst = std::max(worst, sum / a.Width());
    }
    return worst;
}

struct Trip_Case {
    bool stacked;
    int quality;
    int32_t height;
    double worst_row;  // the largest mean error a row may have
};

class Field_Round_Trip : public ::testing::TestWithParam<Trip_Case> {};

TEST_P(Field_Round_Trip, ThePictureComesBackWithEveryRowInPlace) {
    const Trip_Case& c = GetParam();
    constexpr int32_t width = 64;
    cDIBSection picture, back, shown;
    Field_Picture(picture, width, c.height);
    Round_Trip(picture, c.quality, Coding(width, c.height, c.stacked), back);
    EXPECT_LE(Worst_Row(picture, back), c.worst_row);

    // The reading side: a section of the recording's height, however tall the stream.
    std::vector<uint8_t> jpeg(static_cast<size_t>(mIntelJPEGLibrary::Worst_Case_Size(width, c.height)));
    int32_t size = static_cast<int32_t>(jpeg.size());
    Coding(width, c.height, c.stacked).Encode(picture.DIBSectionBitsPtr(), jpeg.data(), size, c.quality);
    const Field_Layout layout = c.stacked ? Field_Layout::Stacked : Field_Layout::Interleaved;
    // Without the height (a header that says another) an even one is found from the stream alone.
    for (int32_t told : {c.height, c.height % 2 == 0 ? 0 : c.height}) {
        ASSERT_TRUE(mIntelJPEGLibrary::Decode_JPG_To_DIB(shown, jpeg.data(), size, layout, told));
        ASSERT_EQ(shown.Height(), c.height) << "told " << told;
        EXPECT_EQ(
            std::memcmp(shown.DIBSectionBitsPtr(), back.DIBSectionBitsPtr(), static_cast<size_t>(back.SizeImage())), 0);
    }
}

std::vector<Trip_Case> Trip_Cases() {
    std::vector<Trip_Case> cases;
    for (bool stacked : {false, true})
        for (int32_t height : {48, 47, 33, 2})
            for (auto [quality, worst] :
                 {std::pair{100, 1.5}, std::pair{80, 4.0}, std::pair{36, 8.0}, std::pair{10, 16.0}})
                // Interleaved rows share their blocks: at a low quality a row takes on part of the other field.
                cases.push_back({stacked, quality, height, !stacked && quality == 10 ? 24.0 : worst});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Layouts, Field_Round_Trip, ::testing::ValuesIn(Trip_Cases()), [](const auto& p) {
    const Trip_Case& c = p.param;
    return Test_Name(std::string(c.stacked ? "Stacked" : "Interleaved") + " q" + std::to_string(c.quality) + " " +
                     std::to_string(c.height) + (c.height % 2 ? " odd" : " even") + " rows");
});

// ---------------------------------------------------------------------------
// recordings

// The header document text stored in a recording.
std::string Stored_Header(const std::string& path) {
    const std::string b = Read_Text(path);
    const NX3::Header_Text h = NX3::Parse_Header_Block(reinterpret_cast<const uint8_t*>(b.data()), b.size());
    return h.ok ? h.text : std::string();
}

enum class Made { Stacked, Interleaved_As_Before, Progressive };

struct Recording_Case {
    const char* name;
    Made made;
    int32_t height;
};

class Field_Recording : public Hdx_Test, public ::testing::WithParamInterface<Recording_Case> {
protected:
    static constexpr int32_t Width = 64;
    void SetUp() override {
        Hdx_Test::SetUp();
        dir = Temp_Dir();
    }
    std::string Record(const std::string& name, Made made, int32_t height, int frames) {
        const std::string path = Platform::Join_Path(dir, name);
        cls_VideoFile_handler h;
        h.Set_Cropped_X(Width);
        h.Set_Cropped_Y(height);
        h.Set_RGB_interlaced(made != Made::Progressive);
        h.Set_Stack_Fields(made == Made::Stacked);
        EXPECT_TRUE(h.Initiate_NX3_File(path));
        Append(h, height, frames);
        return path;
    }
    static void Append(cls_VideoFile_handler& h, int32_t height, int frames) {
        Frame_List list;
        cDIBSection p;
        Field_Picture(p, Width, height);
        for (int i = 1; i <= frames; ++i) list.Add(p, 1000 + 40 * i, 2000 + 40 * i, 40);
        EXPECT_EQ(h.Append_Stored_Frames(list), frames);
        h.Close_File();
    }
    std::string dir;
};

TEST_P(Field_Recording, EveryPictureTheReaderMakesHasTheFramesRowsInPlace) {
    const Recording_Case& c = GetParam();
    const std::string path = Record("heat.nx3", c.made, c.height, 3);
    Cls_XML_header doc;
    doc.Set_XML_string(Stored_Header(path));
    // Only stacked recordings say so; the others keep the placeholder as before.
    EXPECT_EQ(doc.Hdr_spare2(), "0000");
    EXPECT_EQ(doc.Fields_Stacked(), c.made == Made::Stacked);
    EXPECT_EQ(Stored_Header(path).find("<hdr_spare5>0000</hdr_spare5>") != std::string::npos, c.made != Made::Stacked);

    cls_VideoFile_handler h;
    ASSERT_TRUE(h.Open_File(path));
    EXPECT_EQ(h.Fields_Stacked(), c.made == Made::Stacked);
    cDIBSection original, field, stored;
    Field_Picture(original, Width, c.height);
    for (int16_t n = 1; n <= 3; ++n) {
        const cDIBSection* frame = h.Prepare_RGB_frame(n);
        ASSERT_NE(frame, nullptr);
        ASSERT_EQ(frame->Height(), c.height);
        EXPECT_LE(Worst_Row(*frame, original), 4.0) << "frame " << n;
        EXPECT_FALSE(h.Damaged_Frame());
        // An older reader decodes the stored JPEG as it is: field 1 above field 2 when stacked.
        ASSERT_TRUE(mIntelJPEGLibrary::Decode_JPG_To_DIB(stored, h.Sample_JPEG(), h.NX3_JPEG_Size()));
        EXPECT_EQ(stored.Height(), c.made == Made::Stacked
                                       ? mIntelJPEGLibrary::Stored_Height(c.height, Field_Layout::Stacked)
                                       : c.height);
        if (c.made == Made::Stacked) {
            EXPECT_LE(std::abs(Luma(stored.Get_Pixel(8, 3)) - Luma(original.Get_Pixel(8, 6))), 4.0);
            const int32_t second = mIntelJPEGLibrary::Second_Field_Row(c.height);
            EXPECT_LE(std::abs(Luma(stored.Get_Pixel(8, second + 3)) - Luma(original.Get_Pixel(8, 7))), 4.0);
        } else {
            // Recordings made before read exactly as they did.
            EXPECT_EQ(std::memcmp(stored.DIBSectionBitsPtr(), frame->DIBSectionBitsPtr(),
                                  static_cast<size_t>(stored.SizeImage())),
                      0);
        }
    }
    if (c.made == Made::Progressive) return;
    // Each field keeps its own rows and fills the others from them.
    for (int32_t f : {1, 2, 5, 6}) {
        const cDIBSection* shown = h.Prepare_RGB_Field(f);
        ASSERT_NE(shown, nullptr);
        for (int32_t y = f % 2 ? 0 : 1; y < c.height; y += 2)
            EXPECT_LE(std::abs(Luma(shown->Get_Pixel(20, y)) - Luma(original.Get_Pixel(20, y))), 4.0)
                << "field " << f << " row " << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, Field_Recording,
                         ::testing::Values(Recording_Case{"stacked even", Made::Stacked, 48},
                                           Recording_Case{"stacked odd", Made::Stacked, 47},
                                           Recording_Case{"interleaved as before", Made::Interleaved_As_Before, 48},
                                           Recording_Case{"interleaved odd", Made::Interleaved_As_Before, 47},
                                           Recording_Case{"progressive", Made::Progressive, 48}),
                         [](const auto& p) { return Test_Name(p.param.name); });

TEST_F(Field_Recording, FramesAppendedToARecordingTakeItsLayoutWhateverTheHandlerHeldBefore) {
    const std::string stacked = Record("new.nx3", Made::Stacked, 48, 2);
    const std::string older = Record("older.nx3", Made::Interleaved_As_Before, 48, 2);
    const std::string newer = Record("newer.nx3", Made::Stacked, 48, 2);
    {
        // A handler that showed a stacked recording, then appends to an older one; and the reverse.
        cls_VideoFile_handler h;
        ASSERT_TRUE(h.Open_File(stacked));
        h.Close_File();
        h.Set_File_name(older);
        Append(h, 48, 2);
        ASSERT_TRUE(h.Open_File(older));
        h.Close_File();
        h.Set_File_name(newer);
        Append(h, 48, 2);
    }
    cDIBSection original;
    Field_Picture(original, Width, 48);
    for (const std::string& path : {older, newer}) {
        cls_VideoFile_handler r;
        ASSERT_TRUE(r.Open_File(path));
        ASSERT_EQ(r.num_Frames(), 4);
        for (int16_t n = 1; n <= 4; ++n) {
            const cDIBSection* frame = r.Prepare_RGB_frame(n);
            ASSERT_NE(frame, nullptr);
            EXPECT_FALSE(r.Damaged_Frame()) << path << " frame " << n;
            EXPECT_LE(Worst_Row(*frame, original), 4.0) << path << " frame " << n;
        }
    }
}

// A frame compressed as it arrived and no longer holding its picture (as in
// a journal) is fitted down the ladder from its JPEG decoded in its layout.
TEST(Field_Fit, AFrameWithOnlyItsStackedJpegIsFittedAgainFromIt) {
    constexpr int32_t width = 64, height = 48;
    cDIBSection picture, back;
    Field_Picture(picture, width, height);
    Fit_Settings s = Coding(width, height, true);
    s.Image_Size = picture.SizeImage();
    s.Initial_Quality = 80;
    s.Capacity = mIntelJPEGLibrary::Worst_Case_Size(width, height);
    std::vector<uint8_t> arrived(static_cast<size_t>(s.Capacity)), fitted(static_cast<size_t>(s.Capacity));
    int32_t size = s.Capacity;
    s.Encode(picture.DIBSectionBitsPtr(), arrived.data(), size, 80);
    s.Data_Area = size - 1;  // too small for the arrival's quality: the ladder goes on
    Stored_Frame_Ref frame;
    frame.Jpeg.Data = arrived.data();
    frame.Jpeg.Size = size;
    frame.Jpeg.Quality = 80;
    const Fit_Findings found = Frame_Compressor::Find_Fit(s, frame, 1, 1, fitted.data());
    ASSERT_EQ(found.Fit.Status, Fit_Status::Stored);
    EXPECT_LT(found.Fit.Quality, 80);
    ASSERT_TRUE(back.Create(width, height));
    ASSERT_TRUE(mIntelJPEGLibrary::Decode_JPG_To_Bits(fitted.data(), found.Fit.Size, back.DIBSectionBitsPtr(), width,
                                                      height, Field_Layout::Stacked));
    EXPECT_LE(Worst_Row(back, picture), 6.0);
}

}  // namespace
