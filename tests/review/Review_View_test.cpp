#include <string>

#include <QColor>
#include <QImage>

#include "Test_Name.h"
#include "review/Review_View.h"

namespace {

const QSizeF Recording(64, 96);

struct Zoom_Case {
    std::string name;
    int zoom;
    QPointF centre;
    QSizeF canvas;
    QRectF source;
};

class Zoom_Test : public ::testing::TestWithParam<Zoom_Case> {};

// Every zoom shows 1/zoom of each side, kept inside the recording, and a
// recording pixel maps to the canvas and back to itself.
TEST_P(Zoom_Test, ShowsItsPartAndMapsPositionsBothWays) {
    const Zoom_Case& c = GetParam();
    Review_View v;
    v.Zoom = c.zoom;
    v.Centre = c.centre;
    EXPECT_EQ(Review_Views::Source(v, Recording), c.source);
    for (const QPointF p :
         {c.source.topLeft(), c.source.center(), QPointF(c.source.left() + 1.5, c.source.top() + 3)}) {
        const QPointF on_canvas = Review_Views::To_Canvas(v, p, c.canvas, Recording);
        const QPointF back = Review_Views::To_Recording(v, on_canvas, c.canvas, Recording);
        EXPECT_NEAR(back.x(), p.x(), 1e-9);
        EXPECT_NEAR(back.y(), p.y(), 1e-9);
    }
    // One recording pixel is zoom canvas pixels wide (times the stretch).
    const QPointF a = Review_Views::To_Canvas(v, c.source.center(), c.canvas, Recording);
    const QPointF b = Review_Views::To_Canvas(v, c.source.center() + QPointF(1, 1), c.canvas, Recording);
    EXPECT_DOUBLE_EQ(b.y() - a.y(), c.zoom * c.canvas.height() / Recording.height());
}

INSTANTIATE_TEST_SUITE_P(
    Zooms, Zoom_Test,
    ::testing::Values(Zoom_Case{"1x whole picture", 1, {10, 10}, {64, 96}, {0, 0, 64, 96}},
                      Zoom_Case{"2x round the middle", 2, {-1, -1}, {64, 96}, {16, 24, 32, 48}},
                      Zoom_Case{"4x round a point", 4, {30, 40}, {64, 96}, {22, 28, 16, 24}},
                      Zoom_Case{"8x held inside at the corner", 8, {1, 1}, {64, 96}, {0, 0, 8, 12}},
                      Zoom_Case{"2x stretched half as wide", 2, {32, 48}, {32, 96}, {16, 24, 32, 48}}),
    By_Name{});

TEST(Review_View, TheWheelKeepsThePointUnderThePointer) {
    Review_View v;
    const QPointF pointer(10, 70);
    const QPointF under = Review_Views::To_Recording(v, pointer, {64, 96}, Recording);
    Review_Views::Zoom_At(v, 4, under, pointer, {64, 96}, Recording);
    const QPointF after = Review_Views::To_Canvas(v, under, {64, 96}, Recording);
    EXPECT_NEAR(after.x(), pointer.x(), 1e-9);
    EXPECT_NEAR(after.y(), pointer.y(), 1e-9);
    EXPECT_EQ(Review_Views::Zoom_In(8), 8);
    EXPECT_EQ(Review_Views::Zoom_Out(1), 1);
    EXPECT_EQ(Review_Views::Zoom_In(2), 4);
}

TEST(Review_View, ZoomEnlargesWholePixelsAndEnhancementChangesOnlyTheCanvas) {
    QImage canvas(64, 96, QImage::Format_RGB32);
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 64; ++x) canvas.setPixel(x, y, qRgb(x * 4, y * 2, 40));
    const QImage recorded = canvas.copy();
    Review_View v;
    v.Zoom = 2;
    QImage zoomed = canvas.copy();
    Review_Views::Apply(zoomed, v, Recording);
    // Source (16, 24): each of its pixels is a 2 x 2 block, exactly.
    for (const QPoint p : {QPoint(0, 0), QPoint(5, 9), QPoint(31, 47)})
        for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx)
                EXPECT_EQ(zoomed.pixel(2 * p.x() + dx, 2 * p.y() + dy), recorded.pixel(16 + p.x(), 24 + p.y()));

    v = Review_View{};
    v.Gamma = 2;
    v.Greyscale = true;
    QImage lifted = canvas.copy();
    Review_Views::Apply(lifted, v, Recording);
    const QColor dark = QColor::fromRgb(recorded.pixel(2, 2)), shown = QColor::fromRgb(lifted.pixel(2, 2));
    EXPECT_GT(shown.lightness(), dark.lightness()) << "gamma above 1 lifts the dark";
    EXPECT_EQ(shown.red(), shown.blue());
    EXPECT_EQ(canvas, recorded) << "the picture handed in is never the recording";
}

}  // namespace
