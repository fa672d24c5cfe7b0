#include <algorithm>
#include <cmath>
#include <string>

#include <QColor>

#include "Sim_Heat.h"
#include "Test_Env.h"
#include "Test_Name.h"
#include "recording/cls_VideoFile_handler.h"
#include "review/Finish_Strip.h"

namespace {

int Distance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

class Finish_Strip_Test : public Sim_Heat_Test {};
class Finish_Strip_Format_Test : public Sim_Heat_Format_Test {};

// Each dog first shows in the strip, on its nose row, at the review position
// (a field, or a whole progressive frame) the simulator says it crossed in,
// and that column carries the position's own time. A nose less than 2 pixels
// past the line there may only show in the next one.
TEST_P(Finish_Strip_Format_Test, EachDogsNoseShowsAtItsCrossingPosition) {
    const Finish_Strip strip = Finish_Strip_Builder::Build(handler, heat.Line, 2);
    ASSERT_FALSE(strip.Picture.isNull());
    ASSERT_EQ(strip.Fields(), heat.Positions());
    EXPECT_EQ(strip.Picture.width(), 2 * strip.Fields());
    for (int32_t p = 1; p <= strip.Fields(); ++p)
        ASSERT_EQ(strip.Times[static_cast<size_t>(p - 1)], heat.Field_Time(p)) << "position " << p;
    for (int box = 1; box <= Sim_Scene::Dogs; ++box) {
        SCOPED_TRACE("box " + std::to_string(box));
        int32_t shown = 0;
        for (int32_t p = 2; p <= strip.Fields() && shown == 0; ++p) {
            // The row through the nose that this position itself exposed.
            const int parity = heat.Kind.Interlaced && p % 2 == 0 ? 1 : 0;
            const int nose = heat.Scene.Nose_Y(box);
            const int y = !heat.Kind.Interlaced || nose % 2 == parity ? nose : nose - 1;
            const int row = y - strip.Line_Top;
            for (int c = 0; c < strip.Column_Width; ++c)
                if (Distance(strip.Picture.pixel(strip.X_Of(p) + c, row), strip.Picture.pixel(strip.X_Of(1) + c, row)) >
                    60)
                    shown = p;
        }
        const int32_t cross = heat.Crossing_Field(box);
        const double past = heat.Scene.Nose_X(box, heat.Field_Time(cross)) - heat.Scene.Finish_X();
        if (past >= 2.0)
            EXPECT_EQ(shown, cross);
        else
            EXPECT_TRUE(shown == cross || shown == cross + 1) << shown << " for " << cross;
        EXPECT_EQ(strip.Field_At(strip.X_Of(cross) + 1), cross);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, Finish_Strip_Format_Test, ::testing::ValuesIn(Sim_Heat_Formats),
                         [](const auto& param_info) { return std::string(param_info.param.Name); });

TEST_F(Finish_Strip_Test, TheScaleIsLabelledAndScalingKeepsIt) {
    const Finish_Strip strip = Finish_Strip_Builder::Build(handler, heat.Line, 4);
    const QImage wide = Finish_Strip_Builder::Scaled(strip, 600);
    ASSERT_EQ(wide.width(), 600);
    EXPECT_EQ(wide.height(), strip.Picture.height());
    // The scale band is white with dark ticks and labels in both.
    for (const QImage* picture : {&strip.Picture, &wide}) {
        int ink = 0;
        for (int y = strip.Rows; y < picture->height(); ++y)
            for (int x = 0; x < picture->width(); ++x) ink += qGray(picture->pixel(x, y)) < 100;
        EXPECT_GT(ink, 40);
    }
    EXPECT_EQ(strip.Field_At(-1), 0);
    EXPECT_EQ(strip.Field_At(strip.Picture.width()), 0);
}

TEST_F(Finish_Strip_Test, ALineOffThePictureGivesNoStrip) {
    EXPECT_TRUE(Finish_Strip_Builder::Build(handler, {{10, -50}, {10, -5}}).Picture.isNull());
}

}  // namespace
