#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "Test_Env.h"
#include "Test_Name.h"
#include "platform/HdxError.h"
#include "platform/PictureBox.h"
#include "review/Goal_Line.h"
#include "settings/Module_Ini.h"

using namespace Goal_Line;

namespace {

Goal_Line_Points Line_Of(int32_t x1, int32_t y1, int32_t x2, int32_t y2) { return {{x1, y1}, {x2, y2}}; }

// ---------------------------------------------------------------- hit test

struct Hit_Case {
    double x, y;
    int expected;
    const char* why;
};
void PrintTo(const Hit_Case& c, std::ostream* os) { *os << "(" << c.x << ", " << c.y << ") " << c.why; }

class Hit_Test : public ::testing::TestWithParam<Hit_Case> {};

TEST_P(Hit_Test, Grab_Area_Reaches_6_Before_And_12_After_The_Point_With_Strict_Bounds) {
    const Goal_Line_Points line = Line_Of(100, 100, 300, 300);
    EXPECT_EQ(Check_Within_Goal_Selection_Boxes(line, GetParam().x, GetParam().y), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, Hit_Test,
    ::testing::Values(Hit_Case{100, 100, 1, "on point 1"}, Hit_Case{110, 100, 1, "10 right of point 1"},
                      Hit_Case{90, 100, 0, "10 left of point 1"}, Hit_Case{94, 100, 0, "left bound is strict"},
                      Hit_Case{94.01, 100, 1, "just inside left"}, Hit_Case{112, 100, 0, "right bound is strict"},
                      Hit_Case{111.99, 100, 1, "just inside right"}, Hit_Case{100, 94, 0, "top bound is strict"},
                      Hit_Case{100, 94.5, 1, "just inside top"}, Hit_Case{100, 112, 0, "bottom bound is strict"},
                      Hit_Case{100, 111.5, 1, "just inside bottom"}, Hit_Case{305, 311, 2, "inside point 2"},
                      Hit_Case{294, 300, 0, "left of point 2"}, Hit_Case{200, 200, 0, "between the points"}),
    [](const auto& param_info) { return Test_Name(param_info.param.why); });

TEST(Goal_Line_Hit, Point_1_Wins_Where_The_Grab_Areas_Overlap) {
    const Goal_Line_Points line = Line_Of(100, 100, 105, 105);
    EXPECT_EQ(Check_Within_Goal_Selection_Boxes(line, 104, 104), 1);
    EXPECT_EQ(Check_Within_Goal_Selection_Boxes(line, 115, 115), 2);  // only in point 2's area
    Goal_Line_Drag drag;
    drag.Press(104, 104, line);
    EXPECT_EQ(drag.Drag_Point(), 1);
}

// ---------------------------------------------------------------- drag

TEST(Goal_Line_Drag, Press_10_Right_Of_Point_1_Drags_It_10_Left_Does_Not) {
    Goal_Line_Points line = Line_Of(100, 100, 100, 400);
    Goal_Line_Drag drag;
    drag.Press(110, 100, line);
    EXPECT_EQ(drag.Drag_Point(), 1);
    EXPECT_EQ(drag.Move(true, 150, 120, 640, 480, line), 0);  // the mouse left the old grab area
    EXPECT_EQ(line, Line_Of(140, 120, 100, 400));
    EXPECT_TRUE(drag.Line_Moved());
    EXPECT_TRUE(drag.Release());
    EXPECT_EQ(drag.Drag_Point(), 0);
    EXPECT_EQ(drag.Hit_Point(), 0);
    EXPECT_FALSE(drag.Line_Moved());

    drag.Press(90, 100, Line_Of(100, 100, 100, 400));
    line = Line_Of(100, 100, 100, 400);
    EXPECT_EQ(drag.Drag_Point(), 0);
    drag.Move(true, 150, 150, 640, 480, line);
    EXPECT_EQ(line, Line_Of(100, 100, 100, 400));
    EXPECT_FALSE(drag.Release());
}

TEST(Goal_Line_Drag, Point_2_Follows_The_Mouse_Only_With_The_Left_Button) {
    Goal_Line_Points line = Line_Of(100, 100, 300, 400);
    Goal_Line_Drag drag;
    drag.Press(305, 395, line);
    ASSERT_EQ(drag.Drag_Point(), 2);
    EXPECT_EQ(drag.Move(false, 310, 405, 640, 480, line), 2);  // without the left button: only the hit point
    EXPECT_EQ(line, Line_Of(100, 100, 300, 400));
    drag.Move(true, 325, 405, 640, 480, line);
    EXPECT_EQ(line, Line_Of(100, 100, 320, 410));
    drag.Move(true, 305, 395, 640, 480, line);  // back to the start: still a moved line
    EXPECT_EQ(line, Line_Of(100, 100, 300, 400));
    EXPECT_TRUE(drag.Release());
}

TEST(Goal_Line_Drag, Hover_Without_A_Press_Reports_The_Hit_Point) {
    Goal_Line_Points line = Line_Of(100, 100, 300, 400);
    Goal_Line_Drag drag;
    EXPECT_EQ(drag.Move(true, 101, 101, 640, 480, line), 1);
    EXPECT_EQ(drag.Hit_Point(), 1);
    EXPECT_EQ(drag.Move(false, 301, 401, 640, 480, line), 2);
    EXPECT_EQ(drag.Move(false, 200, 200, 640, 480, line), 0);
    EXPECT_EQ(line, Line_Of(100, 100, 300, 400));
}

struct Edge_Case {
    double mouse_x, mouse_y;  // a move after the press at (105, 105) on point 1 (100, 100)
    Goal_Point expected;      // where point 1 ends up after the move to (55, 105) and then this one
    const char* why;
};
void PrintTo(const Edge_Case& c, std::ostream* os) { *os << c.why; }

class Drag_Edge_Test : public ::testing::TestWithParam<Edge_Case> {};

TEST_P(Drag_Edge_Test, Point_Stops_At_The_Last_Position_Inside) {
    Goal_Line_Points line = Line_Of(100, 100, 320, 432);
    Goal_Line_Drag drag;
    drag.Press(105, 105, line);
    drag.Move(true, 55, 105, 640, 480, line);  // point 1 now at (50, 100)
    ASSERT_EQ(line.P1, (Goal_Point{50, 100}));
    drag.Move(true, GetParam().mouse_x, GetParam().mouse_y, 640, 480, line);
    EXPECT_EQ(line.P1, GetParam().expected);
    EXPECT_EQ(line.P2, (Goal_Point{320, 432}));
    EXPECT_TRUE(drag.Release());
}

INSTANTIATE_TEST_SUITE_P(Bounds, Drag_Edge_Test,
                         ::testing::Values(Edge_Case{6, 105, {1, 100}, "X = 1 is inside"},
                                           Edge_Case{5, 105, {50, 100}, "X = 0 is outside"},
                                           Edge_Case{-200, 105, {50, 100}, "far left"},
                                           Edge_Case{644, 105, {639, 100}, "X = width - 1 is inside"},
                                           Edge_Case{645, 105, {50, 100}, "X = width is outside"},
                                           Edge_Case{2000, 105, {50, 100}, "beyond the width"},
                                           Edge_Case{55, 10, {50, 5}, "Y inside"},
                                           Edge_Case{55, 5, {50, 100}, "Y = 0 is outside"},
                                           Edge_Case{55, 485, {50, 100}, "Y = height is outside"},
                                           Edge_Case{55, 484, {50, 479}, "Y = height - 1 is inside"},
                                           Edge_Case{1e9, 1e9, {50, 100}, "positions beyond 16 bits are ignored"}),
                         [](const auto& param_info) { return Test_Name(param_info.param.why); });

TEST(Goal_Line_Drag, Stepping_Out_Keeps_The_Last_Inside_Position_Until_Back_Inside) {
    Goal_Line_Points line = Line_Of(20, 100, 320, 432);
    Goal_Line_Drag drag;
    drag.Press(20, 100, line);
    for (double x : {15.0, 10.0, 3.0, 1.0, 0.0, -5.0}) drag.Move(true, x, 100, 640, 480, line);
    EXPECT_EQ(line.P1, (Goal_Point{1, 100}));
    drag.Move(true, 30, 100, 640, 480, line);
    EXPECT_EQ(line.P1, (Goal_Point{30, 100}));
}

TEST(Goal_Line_Drag, Press_And_Mouse_Positions_Round_Halves_To_Even) {
    Goal_Line_Points line = Line_Of(100, 100, 320, 432);
    Goal_Line_Drag drag;
    drag.Press(110.5, 100.5, line);                 // remembered as (110, 100)
    drag.Move(true, 111.5, 101.5, 640, 480, line);  // 100 - (110 - 111.5) = 101.5 -> 102
    EXPECT_EQ(line.P1, (Goal_Point{102, 102}));
    drag.Release();

    line = Line_Of(100, 100, 320, 432);
    drag.Press(111.5, 99.5, line);                  // remembered as (112, 100)
    drag.Move(true, 112.5, 100.5, 640, 480, line);  // 100.5 -> 100: no change
    EXPECT_EQ(line.P1, (Goal_Point{100, 100}));
    EXPECT_FALSE(drag.Release());
}

// ---------------------------------------------------------------- text forms

TEST(Goal_Line_Text, Four_Integers_Without_Blanks_And_Back) {
    EXPECT_EQ(Line_Text(Line_Of(320, 54, 320, 486)), "320,54,320,486");
    EXPECT_EQ(Line_Text(Line_Of(-5, 0, 2147483647, -2147483647 - 1)), "-5,0,2147483647,-2147483648");
    for (const auto& l : {Line_Of(320, 54, 320, 486), Line_Of(-5, 0, 2147483647, -2147483647 - 1)})
        EXPECT_EQ(Parse_Header_Line(Line_Text(l)), l);
    EXPECT_EQ(Parse_Header_Line(" 1, -2 ,+3,4,999,x"), Line_Of(1, -2, 3, 4));  // later fields are not read
}

struct Bad_Header {
    const char* name;
    const char* text;
    int number;
};
void PrintTo(const Bad_Header& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class Bad_Header_Test : public ::testing::TestWithParam<Bad_Header> {};

TEST_P(Bad_Header_Test, Raises_The_Error_Number) {
    try {
        Parse_Header_Line(GetParam().text);
        FAIL() << "no error raised";
    } catch (const HdxError& e) {
        EXPECT_EQ(e.number, GetParam().number) << e.description;
    }
}

INSTANTIATE_TEST_SUITE_P(Errors, Bad_Header_Test,
                         ::testing::Values(Bad_Header{"Empty", "", HdxErr::SubscriptOutOfRange},
                                           Bad_Header{"NotAvailable", "N/A", HdxErr::SubscriptOutOfRange},
                                           Bad_Header{"ThreeNumbers", "1,2,3", HdxErr::SubscriptOutOfRange},
                                           Bad_Header{"LetterInThird", "1,2,x,4", HdxErr::TypeMismatch},
                                           Bad_Header{"EmptySecond", "1,,3,4", HdxErr::TypeMismatch},
                                           Bad_Header{"DecimalFirst", "1.5,2,3,4", HdxErr::TypeMismatch},
                                           Bad_Header{"SpaceInFourth", "1,2,3,4 5", HdxErr::TypeMismatch},
                                           Bad_Header{"SignOnlyFourth", "1,2,3,-", HdxErr::TypeMismatch},
                                           Bad_Header{"TwoSignsInFourth", "1,2,3,+-4", HdxErr::TypeMismatch},
                                           Bad_Header{"FirstPast32Bits", "2147483648,2,3,4", HdxErr::Overflow},
                                           Bad_Header{"FourthFarPast32Bits", "1,2,3,99999999999999999999999",
                                                      HdxErr::Overflow}),
                         By_Name());

// ---------------------------------------------------------------- settings

class Goal_Line_Settings : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        ini = Path("Houndex_HDMI.ini");
    }
    std::string ini;
};

TEST_F(Goal_Line_Settings, Saved_Under_Goal_lines_And_Read_Back_Under_Goal_Lines) {
    Save_Goal_line(2, Line_Of(320, 54, 320, 486), ini);
    EXPECT_EQ(Read_Text(ini), "[Goal_lines]\r\nGoal_line2=320,54,320,486\r\n");

    Goal_Line_Points two = Line_Of(1, 1, 1, 1);
    EXPECT_TRUE(Read_Goal_Line(2, two, ini));
    EXPECT_EQ(two, Line_Of(320, 54, 320, 486));

    Goal_Line_Points one;  // camera 1 was never saved: N/A leaves it
    EXPECT_FALSE(Read_Goal_Line(1, one, ini));
    EXPECT_EQ(one, Goal_Line_Points{});

    Save_Goal_line(1, Line_Of(10, 20, 30, 40), ini);
    EXPECT_TRUE(Read_Goal_Line(1, one, ini));
    EXPECT_EQ(one, Line_Of(10, 20, 30, 40));
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(Goal_Line_Settings, Missing_File_Leaves_The_Line) {
    Goal_Line_Points line = Line_Of(5, 6, 7, 8);
    EXPECT_FALSE(Read_Goal_Line(1, line, ini));
    EXPECT_EQ(line, Line_Of(5, 6, 7, 8));
    EXPECT_FALSE(std::filesystem::exists(ini));
}

struct Stored_Case {
    const char* name;
    const char* value;
    bool used;
    int reported_number;  // 0: no report
};
void PrintTo(const Stored_Case& c, std::ostream* os) { *os << '"' << c.value << '"'; }

class Goal_Line_Stored : public Goal_Line_Settings, public ::testing::WithParamInterface<Stored_Case> {};

TEST_P(Goal_Line_Stored, Only_A_Long_Valid_Value_Replaces_The_Line) {
    ASSERT_EQ(Write_Ini("Goal_lines", "Goal_line1", GetParam().value, ini), 1);
    const std::string before = Read_Text(ini);
    Goal_Line_Points line = Line_Of(5, 6, 7, 8);
    EXPECT_EQ(Read_Goal_Line(1, line, ini), GetParam().used);
    if (!GetParam().used) {
        EXPECT_EQ(line, Line_Of(5, 6, 7, 8));
    }
    EXPECT_EQ(Read_Text(ini), before);  // reading never rewrites the file
    if (GetParam().reported_number == 0) {
        EXPECT_TRUE(errors.errors.empty());
    } else {
        ASSERT_EQ(errors.errors.size(), 1u);
        EXPECT_EQ(errors.errors[0].number, GetParam().reported_number);
        EXPECT_EQ(errors.errors[0].location, "Read_Goal_Lines of Form Form_Houndex");
    }
}

INSTANTIATE_TEST_SUITE_P(Values, Goal_Line_Stored,
                         ::testing::Values(Stored_Case{"NotAvailable", "N/A", false, 0},
                                           Stored_Case{"SixCharacters", "1,2,3,", false, 0},  // too short
                                           Stored_Case{"SevenCharacters", "1,2,3,4", true, 0},
                                           Stored_Case{"Garbage", "garbage!", false, HdxErr::SubscriptOutOfRange},
                                           Stored_Case{"ThreeNumbers", "10,20,30", false, HdxErr::SubscriptOutOfRange},
                                           Stored_Case{"LetterInFourth", "10,20,30,4x", false, HdxErr::TypeMismatch},
                                           Stored_Case{"FourthPast32Bits", "1,2,3,4444444444", false,
                                                       HdxErr::Overflow}),
                         By_Name());

// ---------------------------------------------------------------- reset

struct Inside_Case {
    const char* name;
    Goal_Line_Points line;
    bool inside;
};
void PrintTo(const Inside_Case& c, std::ostream* os) { *os << c.name; }
class Inside_Test : public ::testing::TestWithParam<Inside_Case> {};

TEST_P(Inside_Test, A_Line_Shows_When_Some_Part_Of_It_Lies_On_The_Picture) {
    EXPECT_EQ(Inside(GetParam().line, 400, 880), GetParam().inside);
}

INSTANTIATE_TEST_SUITE_P(Lines, Inside_Test,
                         ::testing::Values(Inside_Case{"Middle", Line_Of(200, 88, 200, 792), true},
                                           Inside_Case{"Unset", Line_Of(0, 0, 0, 0), false},
                                           Inside_Case{"RightOfThePicture", Line_Of(600, 88, 600, 792), false},
                                           Inside_Case{"EndsOutsideButCrossing", Line_Of(-50, 400, 450, 400), true}),
                         By_Name());

struct Reset_Case {
    double w, h;
    Goal_Line_Points expected;
};
void PrintTo(const Reset_Case& c, std::ostream* os) { *os << c.w << " x " << c.h; }

class Reset_Test : public ::testing::TestWithParam<Reset_Case> {};

TEST_P(Reset_Test, Vertical_Line_Through_The_Middle_From_10_To_90_Percent) {
    EXPECT_EQ(Reset_Goal_Line(GetParam().w, GetParam().h), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Sizes, Reset_Test,
                         ::testing::Values(Reset_Case{640, 480, Line_Of(320, 48, 320, 432)},
                                           Reset_Case{641, 485, Line_Of(320, 48, 320, 436)},   // 320.5, 48.5, 436.5
                                           Reset_Case{643, 475, Line_Of(322, 48, 322, 428)},   // 321.5, 47.5, 427.5
                                           Reset_Case{720, 576, Line_Of(360, 58, 360, 518)}),  // 57.6, 518.4
                         [](const auto& param_info) {
                             return std::to_string(int(param_info.param.w)) + "x" +
                                    std::to_string(int(param_info.param.h));
                         });

// ---------------------------------------------------------------- drawing

using Pixel_Map = std::map<std::pair<int, int>, QRgb>;

class Goal_Line_Drawing : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        box.Set_Canvas_Size(8, 6);
        box.Set_Back_Color(QColor(12, 20, 30));
        box.Cls();
    }
    // Every pixel is the background except those listed.
    void Expect_Canvas(const Pixel_Map& changed) {
        const QImage& c = box.Canvas();
        for (int y = 0; y < c.height(); ++y)
            for (int x = 0; x < c.width(); ++x) {
                const auto it = changed.find({x, y});
                const QRgb want = it == changed.end() ? background : it->second;
                EXPECT_EQ(c.pixel(x, y) & 0xFFFFFF, want & 0xFFFFFF)
                    << "pixel (" << x << ", " << y << "): " << QColor(c.pixel(x, y)).name().toStdString()
                    << " instead of " << QColor(want).name().toStdString();
            }
    }

    Platform::PictureBox box;
    const QRgb background = qRgb(12, 20, 30);
    const QColor colour{200, 100, 50};
    const QRgb full = qRgb(200, 100, 50);
};

TEST_F(Goal_Line_Drawing, Horizontal_Line_Is_Two_Pixels_Thick_Above_The_Line) {
    Draw_Goal_Line(box, 1, 2, 5, 2, colour);
    Pixel_Map m;
    for (int x = 1; x <= 5; ++x) m[{x, 1}] = m[{x, 2}] = full;  // f = 0: the pixel above is fully coloured
    Expect_Canvas(m);
}

TEST_F(Goal_Line_Drawing, Scale_Units_Are_Converted_To_Pixels) {
    box.Set_Scale(16, 12);
    Draw_Goal_Line(box, 10, 4, 2, 4, colour);  // pixels (5, 2) to (1, 2), drawn from the left end
    Pixel_Map m;
    for (int x = 1; x <= 5; ++x) m[{x, 1}] = m[{x, 2}] = full;
    Expect_Canvas(m);
}

TEST_F(Goal_Line_Drawing, Half_Step_Blends_Both_Neighbours_Equally) {
    // x major, minor y = 1 + k / 2: f = 0.5 at k = 1 and 3.
    Draw_Goal_Line(box, 5, 3, 1, 1, colour);
    const QRgb half = qRgb(106, 60, 40);  // (200 + 12) / 2, (100 + 20) / 2, (50 + 30) / 2
    Expect_Canvas({{{1, 0}, full},
                   {{1, 1}, full},
                   {{2, 0}, half},
                   {{2, 1}, full},
                   {{2, 2}, half},
                   {{3, 1}, full},
                   {{3, 2}, full},
                   {{4, 1}, half},
                   {{4, 2}, full},
                   {{4, 3}, half},
                   {{5, 2}, full},
                   {{5, 3}, full}});
}

TEST_F(Goal_Line_Drawing, Quarter_Step_Weights_The_Pixel_Before_By_1_Minus_F) {
    // minor y = 1 + k / 4
    Draw_Goal_Line(box, 1, 1, 5, 2, colour);
    const QRgb q1 = qRgb(153, 80, 45);  // 0.75 * line + 0.25 * background
    const QRgb q3 = qRgb(59, 40, 35);   // 0.25 * line + 0.75 * background
    const QRgb h = qRgb(106, 60, 40);
    Expect_Canvas({{{1, 0}, full},
                   {{1, 1}, full},
                   {{2, 0}, q1},
                   {{2, 1}, full},
                   {{2, 2}, q3},
                   {{3, 0}, h},
                   {{3, 1}, full},
                   {{3, 2}, h},
                   {{4, 0}, q3},
                   {{4, 1}, full},
                   {{4, 2}, q1},
                   {{5, 1}, full},
                   {{5, 2}, full}});
}

TEST_F(Goal_Line_Drawing, Equal_Extents_Use_Y_As_Major_Axis) {
    Draw_Goal_Line(box, 4, 4, 1, 1, colour);
    Pixel_Map m;
    for (int k = 0; k <= 3; ++k) m[{k, k + 1}] = m[{k + 1, k + 1}] = full;  // the pixel to the left, not above
    Expect_Canvas(m);
}

TEST_F(Goal_Line_Drawing, Blends_Round_Halves_To_Even) {
    box.Set_Back_Color(Qt::black);
    box.Cls();
    Draw_Goal_Line(box, 1, 1, 3, 2, QColor(255, 1, 129));                         // f = 0.5 at x = 2
    EXPECT_EQ(box.Canvas().pixel(2, 0) & 0xFFFFFF, qRgb(128, 0, 64) & 0xFFFFFF);  // 127.5, 0.5, 64.5
    EXPECT_EQ(box.Canvas().pixel(2, 2) & 0xFFFFFF, qRgb(128, 0, 64) & 0xFFFFFF);
}

TEST_F(Goal_Line_Drawing, Coincident_End_Points_Draw_Nothing) {
    Draw_Goal_Line(box, 3, 3, 3, 3, colour);
    Expect_Canvas({});
}

TEST_F(Goal_Line_Drawing, Pixels_Off_The_Canvas_Are_Skipped) {
    Draw_Goal_Line(box, -3, 0, 10, 0, colour);  // the upper line of pixels is above the canvas
    Pixel_Map m;
    for (int x = 0; x < 8; ++x) m[{x, 0}] = full;
    Expect_Canvas(m);

    box.Cls();
    Draw_Goal_Line(box, -50, -50, -10, -40, colour);
    Draw_Goal_Line(box, 100, 100, 200, 300, colour);
    Expect_Canvas({});
}

TEST_F(Goal_Line_Drawing, A_Line_Far_Beyond_The_Canvas_Costs_Only_The_Visible_Part) {
    // Header values can be anything; drawing them must neither crash nor take seconds per frame.
    Draw_Goal_Line(box, -2147483647 - 1, 4, 2147483647, 4, colour);
    Draw_Goal_Line(box, 3, 2147483647, 3, -2147483647 - 1, colour);
    const QImage& c = box.Canvas();
    for (int x = 0; x < 8; ++x) EXPECT_EQ(c.pixel(x, 3) & 0xFFFFFF, full & 0xFFFFFF) << x;
    for (int y = 0; y < 6; ++y) EXPECT_EQ(c.pixel(2, y) & 0xFFFFFF, full & 0xFFFFFF) << y;
}

TEST_F(Goal_Line_Drawing, Selection_Boxes_Are_Hollow_13_Pixel_Squares_In_Blue) {
    box.Set_Canvas_Size(40, 40);
    box.Cls();
    box.Set_Draw_Width(3);
    box.Current_X = 7;
    Draw_Goalline_Selection_Boxes(box, Line_Of(10, 10, 27, 26));
    EXPECT_EQ(box.Draw_Width(), 3);
    EXPECT_EQ(box.Current_X, 7);

    auto on_border = [](int x, int y, int cx, int cy) {
        const bool in = x >= cx - 6 && x <= cx + 6 && y >= cy - 6 && y <= cy + 6;
        return in && (x == cx - 6 || x == cx + 6 || y == cy - 6 || y == cy + 6);
    };
    int blue = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool want = on_border(x, y, 10, 10) || on_border(x, y, 27, 26);
            const QRgb got = box.Canvas().pixel(x, y) & 0xFFFFFF;
            EXPECT_EQ(got, want ? (qRgb(0, 0, 255) & 0xFFFFFF) : (background & 0xFFFFFF)) << x << ", " << y;
            blue += want;
        }
    EXPECT_EQ(blue, 2 * 48);
}

}  // namespace
