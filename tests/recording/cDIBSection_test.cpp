#include <cstring>
#include <stdexcept>

#include <QPainter>

#include "Test_Env.h"
#include "Test_Pictures.h"
#include "platform/PictureBox.h"
#include "recording/cDIBSection.h"

namespace {

struct Layout_Case {
    int32_t width, height, bytes_per_line;
};

class Section_Layout : public ::testing::TestWithParam<Layout_Case> {};

TEST_P(Section_Layout, RowsArePaddedToFourBytesAndStackedBottomUp) {
    const Layout_Case c = GetParam();
    cDIBSection dib;
    ASSERT_TRUE(dib.Create(c.width, c.height));
    EXPECT_EQ(dib.Width(), c.width);
    EXPECT_EQ(dib.Height(), c.height);
    EXPECT_EQ(dib.BytesPerScanLine(), c.bytes_per_line);
    EXPECT_EQ(dib.SizeImage(), c.bytes_per_line * c.height);
    const Bitmap_Info_Header* h = dib.Addr_InfoHeader();
    EXPECT_EQ(h->biSize, 40);
    EXPECT_EQ(h->biWidth, c.width);
    EXPECT_EQ(h->biHeight, c.height);  // positive: bottom-up
    EXPECT_EQ(h->biPlanes, 1);
    EXPECT_EQ(h->biBitCount, 24);
    EXPECT_EQ(h->biCompression, 0);
    EXPECT_EQ(h->biSizeImage, dib.SizeImage());
    EXPECT_EQ(dib.pBitmapInfo(), h);
    // The picture's top row is the last row in memory.
    EXPECT_EQ(dib.Scan_Line(0), dib.DIBSectionBitsPtr() + static_cast<size_t>(c.height - 1) * c.bytes_per_line);
    EXPECT_EQ(dib.Scan_Line(c.height - 1), dib.DIBSectionBitsPtr());
    // A fresh picture is black.
    for (int32_t i = 0; i < dib.SizeImage(); ++i) ASSERT_EQ(dib.DIBSectionBitsPtr()[i], 0) << i;
}

INSTANTIATE_TEST_SUITE_P(Widths, Section_Layout,
                         ::testing::Values(Layout_Case{721, 3, 2164}, Layout_Case{720, 576, 2160}, Layout_Case{1, 1, 4},
                                           Layout_Case{2, 5, 8}, Layout_Case{3, 2, 12}, Layout_Case{4, 2, 12},
                                           Layout_Case{400, 880, 1200}, Layout_Case{5, 7, 16}),
                         [](const auto& param_info) {
                             return std::to_string(param_info.param.width) + "x" +
                                    std::to_string(param_info.param.height);
                         });

TEST(Section, Fill_With_Red_Gives_Bytes_Blue_Green_Red_And_Leaves_Row_Padding) {
    struct {
        uint32_t colour;
        uint8_t b, g, r;
    } cases[] = {{255, 0, 0, 255}, {0xFF0000, 255, 0, 0}, {0x00FF00, 0, 255, 0}, {0x123456, 0x12, 0x34, 0x56}};
    for (const auto& c : cases) {
        cDIBSection dib;
        ASSERT_TRUE(dib.Create(721, 4));
        std::memset(dib.DIBSectionBitsPtr(), 0xAA, static_cast<size_t>(dib.SizeImage()));
        dib.Fill_with_RGB(c.colour);
        for (int32_t r = 0; r < dib.Height(); ++r) {
            const uint8_t* row = dib.DIBSectionBitsPtr() + static_cast<size_t>(r) * dib.BytesPerScanLine();
            for (int32_t x = 0; x < dib.Width(); ++x) {
                ASSERT_EQ(row[3 * x], c.b) << "row " << r << " x " << x;
                ASSERT_EQ(row[3 * x + 1], c.g);
                ASSERT_EQ(row[3 * x + 2], c.r);
            }
            ASSERT_EQ(row[2163], 0xAA) << "padding of row " << r;
        }
        EXPECT_EQ(dib.Get_Pixel(720, 3), c.colour);
    }
}

TEST(Section, CreateAgainReplacesThePictureAndKeepsTheDrawSetting) {
    cDIBSection dib;
    dib.UseDrawDib(true);
    dib.ID_string("obj_DIB_Rotate_Source");
    ASSERT_TRUE(dib.Create(10, 10));
    dib.Fill_with_RGB(White);
    ASSERT_TRUE(dib.Create(21, 5));
    EXPECT_EQ(dib.Width(), 21);
    EXPECT_EQ(dib.Height(), 5);
    EXPECT_EQ(dib.SizeImage(), 64 * 5);
    EXPECT_EQ(dib.Get_Pixel(0, 0), Black);  // not the old white picture
    EXPECT_EQ(dib.hDC().width(), 21);
    EXPECT_EQ(dib.hDC().bytesPerLine(), 64);
    EXPECT_EQ(dib.hDC().constBits(), dib.DIBSectionBitsPtr());
    EXPECT_TRUE(dib.UseDrawDib());
    EXPECT_EQ(dib.ID_string(), "obj_DIB_Rotate_Source");
}

TEST(Section, RefusedSizeLeavesNoPicture) {
    const std::pair<int32_t, int32_t> sizes[] = {{0, 10}, {10, 0}, {-1, 5}, {5, -1}, {100000, 100000}};
    for (const auto& [w, h] : sizes) {
        cDIBSection dib;
        ASSERT_TRUE(dib.Create(8, 8));
        EXPECT_FALSE(dib.Create(w, h)) << w << " x " << h;
        EXPECT_EQ(dib.DIBSectionBitsPtr(), nullptr);
        EXPECT_EQ(dib.Width(), 0);
        EXPECT_EQ(dib.SizeImage(), 0);
        EXPECT_TRUE(dib.hDC().isNull());
        dib.Fill_with_RGB(Red);  // harmless without a picture
        EXPECT_EQ(dib.Get_Pixel(0, 0), 0xFFFFFFFFu);
    }
}

TEST(Section, PixelsAreAddressedFromTheTopLeft) {
    cDIBSection dib;
    ASSERT_TRUE(dib.Create(3, 2));
    dib.Set_Pixel(0, 0, Red);     // top left
    dib.Set_Pixel(2, 1, Blue);    // bottom right
    dib.Set_Pixel(3, 0, Green);   // outside: ignored
    dib.Set_Pixel(0, -1, Green);  // outside: ignored
    const uint8_t* bits = dib.DIBSectionBitsPtr();
    // bottom row first in memory
    EXPECT_EQ(bits[6], 255);       // blue byte of the bottom right pixel
    EXPECT_EQ(bits[12 + 2], 255);  // red byte of the top left pixel
    EXPECT_EQ(dib.Get_Pixel(0, 0), Red);
    EXPECT_EQ(dib.Get_Pixel(2, 1), Blue);
    EXPECT_EQ(dib.Get_Pixel(3, 0), 0xFFFFFFFFu);
    for (int i : {0, 1, 2, 3, 4, 5, 7, 8, 9, 10, 11, 12, 13, 15, 16, 17, 18, 19, 20, 21, 22, 23})
        EXPECT_EQ(bits[i], 0) << i;
}

TEST(Section, PaintingOnTheContextWithTheUprightTransformUsesPictureCoordinates) {
    cDIBSection dib;
    ASSERT_TRUE(dib.Create(9, 6));
    {
        QImage context = dib.hDC();
        QPainter p(&context);
        p.setTransform(dib.Upright_Transform());
        p.fillRect(QRect(0, 0, 9, 2), QColor(255, 0, 0));  // top two rows red
    }
    EXPECT_EQ(dib.Get_Pixel(4, 0), Red);
    EXPECT_EQ(dib.Get_Pixel(8, 1), Red);
    EXPECT_EQ(dib.Get_Pixel(4, 2), Black);
    EXPECT_EQ(dib.Get_Pixel(4, 5), Black);
}

// 4 x 2 picture: top left red, top right green, bottom left blue, bottom right white.
void Quadrants(cDIBSection& dib) {
    ASSERT_TRUE(dib.Create(4, 2));
    for (int x = 0; x < 4; ++x) {
        dib.Set_Pixel(x, 0, x < 2 ? Red : Green);
        dib.Set_Pixel(x, 1, x < 2 ? Blue : White);
    }
}

uint32_t Canvas_Colour(const Platform::PictureBox& box, int x, int y) {
    const QColor c = box.Canvas().pixelColor(x, y);
    return static_cast<uint32_t>(c.red()) | (static_cast<uint32_t>(c.green()) << 8) |
           (static_cast<uint32_t>(c.blue()) << 16);
}

class Section_Drawing : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        box.Set_Canvas_Size(40, 20);
        box.Canvas().fill(Qt::black);
    }
    Platform::PictureBox box;
};

TEST_F(Section_Drawing, WholePictureIsStretchedUprightOverTheBox) {
    cDIBSection dib;
    Quadrants(dib);
    dib.DIB_DrawDib2(box, 0, 0, 4, 2);
    struct {
        int x, y;
        uint32_t colour;
    } probes[] = {{0, 0, Red},   {19, 9, Red},   {20, 0, Green},  {39, 9, Green},
                  {0, 10, Blue}, {19, 19, Blue}, {20, 10, White}, {39, 19, White}};
    for (const auto& p : probes) EXPECT_EQ(Canvas_Colour(box, p.x, p.y), p.colour) << p.x << "," << p.y;
}

TEST_F(Section_Drawing, SourceRectangleIsTakenFromTheTopLeft) {
    cDIBSection dib;
    Quadrants(dib);
    // top 0, left 2, 2 x 1: the green quarter fills the box
    dib.DIB_DrawDib2(box, 0, 2, 2, 1);
    EXPECT_EQ(Canvas_Colour(box, 0, 0), Green);
    EXPECT_EQ(Canvas_Colour(box, 39, 19), Green);
    // top 1, left 0, 4 x 1: the bottom row
    dib.DIB_DrawDib2(box, 1, 0, 4, 1);
    EXPECT_EQ(Canvas_Colour(box, 0, 0), Blue);
    EXPECT_EQ(Canvas_Colour(box, 39, 19), White);
}

TEST_F(Section_Drawing, SourceReachingPastThePictureDrawsOnlyWhatExists) {
    cDIBSection dib;
    Quadrants(dib);
    dib.DIB_DrawDib2(box, 0, 2, 4, 2);  // right half of the picture, then nothing
    EXPECT_EQ(Canvas_Colour(box, 0, 0), Green);
    EXPECT_EQ(Canvas_Colour(box, 19, 19), White);
    EXPECT_EQ(Canvas_Colour(box, 20, 0), Black);
    EXPECT_EQ(Canvas_Colour(box, 39, 19), Black);
    dib.DIB_DrawDib2(box, 5, 5, 2, 2);  // wholly outside: box unchanged
    EXPECT_EQ(Canvas_Colour(box, 0, 0), Green);
}

// Re-enters the draw from inside the stretching step, as an event handler
// running during a draw would.
class Reentrant_Section : public cDIBSection {
public:
    Platform::PictureBox* box = nullptr;
    int stretches = 0;
    bool throw_once = false;

protected:
    void Stretch_Draw(QImage& target, const QRectF& dest, const QRect& source) override {
        ++stretches;
        if (throw_once) {
            throw_once = false;
            throw std::runtime_error("drawing failed");
        }
        if (stretches == 1) DIB_DrawDib2(*box, 1, 0, 4, 1);  // would paint the bottom row
        cDIBSection::Stretch_Draw(target, dest, source);
    }
};

TEST_F(Section_Drawing, DrawArrivingWhileDrawingIsDroppedAndTheNextOneDraws) {
    Reentrant_Section dib;
    dib.box = &box;
    Quadrants(dib);
    dib.DIB_DrawDib2(box, 0, 0, 2, 1);  // red quarter
    EXPECT_EQ(dib.stretches, 1);
    EXPECT_EQ(Canvas_Colour(box, 39, 19), Red);
    dib.DIB_DrawDib2(box, 0, 2, 2, 1);  // busy flag cleared: draws green
    EXPECT_EQ(dib.stretches, 2);
    EXPECT_EQ(Canvas_Colour(box, 0, 0), Green);
}

TEST_F(Section_Drawing, FailedDrawIsSwallowedAndClearsTheBusyFlag) {
    Reentrant_Section dib;
    dib.box = &box;
    dib.stretches = 1;  // no nested draw
    Quadrants(dib);
    dib.throw_once = true;
    dib.DIB_DrawDib2(box, 0, 0, 4, 2);
    EXPECT_EQ(Canvas_Colour(box, 0, 0), Black);
    dib.DIB_DrawDib2(box, 0, 0, 4, 2);
    EXPECT_EQ(Canvas_Colour(box, 0, 0), Red);
    EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(Section_Drawing, PaintPictureStretchesFromTheSourceCornerIntoTheDestination) {
    cDIBSection dib;
    Quadrants(dib);
    dib.DIB_PaintPicture(box, 0, 0, -1, -1, 0, 0);  // own size, one to one
    EXPECT_EQ(Canvas_Colour(box, 0, 0), Red);
    EXPECT_EQ(Canvas_Colour(box, 3, 1), White);
    EXPECT_EQ(Canvas_Colour(box, 4, 0), Black);
    EXPECT_EQ(Canvas_Colour(box, 0, 2), Black);
    dib.DIB_PaintPicture(box, 10, 10, 8, 4, 0, 0, SRCCOPY);
    EXPECT_EQ(Canvas_Colour(box, 10, 10), Red);
    EXPECT_EQ(Canvas_Colour(box, 17, 11), Green);
    EXPECT_EQ(Canvas_Colour(box, 17, 13), White);
    EXPECT_EQ(Canvas_Colour(box, 18, 13), Black);
    EXPECT_EQ(Canvas_Colour(box, 10, 14), Black);
    EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(Section_Drawing, PaintingAnEmptySectionShowsTheError) {
    cDIBSection dib;
    dib.DIB_PaintPicture(box, 0, 0, -1, -1, 0, 0);
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_EQ(dialogs.Messages()[0], "DIB_paintpicture error");
    dib.DIB_DrawDib2(box, 0, 0, 4, 2);  // the stretching draw stays silent
    EXPECT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_EQ(Canvas_Colour(box, 0, 0), Black);
}

// A one-to-one draw is copied row by row; it must give what the painter's
// flipped draw gives (drawn here into a format the copy leaves to the painter).
TEST(Section, OneToOneDrawEqualsThePaintersDraw) {
    struct {
        const char* name;
        QImage::Format format;
        int dest_left, dest_top, dest_width, dest_height, source_left, source_top;
    } cases[] = {
        {"whole picture", QImage::Format_RGB32, 0, 0, -1, -1, 0, 0},
        {"offset into the target", QImage::Format_RGB32, 7, 3, -1, -1, 0, 0},
        {"from an inner corner", QImage::Format_ARGB32, 0, 0, -1, -1, 5, 4},
        {"premultiplied target", QImage::Format_ARGB32_Premultiplied, 2, 1, 31, 17, 0, 0},
        {"stretched (painter)", QImage::Format_RGB32, 0, 0, 62, 34, 0, 0},
        {"reaching past the target (painter)", QImage::Format_RGB32, 40, 30, -1, -1, 0, 0},
    };
    cDIBSection dib;
    ASSERT_TRUE(dib.Create(31, 17));
    Fill_Noise(dib, 7, 90);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QImage fast(64, 40, c.format);
        QImage painted(64, 40, QImage::Format_RGBX8888);
        fast.fill(Qt::darkCyan);
        painted.fill(Qt::darkCyan);
        dib.DIB_PaintPicture(fast, c.dest_left, c.dest_top, c.dest_width, c.dest_height, c.source_left, c.source_top);
        dib.DIB_PaintPicture(painted, c.dest_left, c.dest_top, c.dest_width, c.dest_height, c.source_left,
                             c.source_top);
        EXPECT_EQ(fast.convertToFormat(QImage::Format_RGB32), painted.convertToFormat(QImage::Format_RGB32));
    }
}

}  // namespace
