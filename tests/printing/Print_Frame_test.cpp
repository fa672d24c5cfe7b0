#include <algorithm>
#include <fstream>

#include <QProgressBar>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "Print_Test_Support.h"
#include "Test_Name.h"
#include "platform/Files.h"
#include "printing/Module_Print_Frame.h"
#include "printing/Window_Print.h"
#include "review/Official_Record.h"
#include "diagnostics/Frm_progress.h"
#include "common/Startup_Facts.h"

using namespace Module_Print_Frame;

namespace {

std::vector<std::string> Lines_Of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

// The lines holding a word, in page order.
std::vector<std::string> Lines_With(const std::string& text, const std::string& word) {
    std::vector<std::string> out;
    for (const std::string& l : Lines_Of(text))
        if (l.find(word) != std::string::npos) out.push_back(l);
    return out;
}

size_t Count_Of(const std::string& text, const std::string& word) {
    size_t n = 0;
    for (size_t pos = text.find(word); pos != std::string::npos; pos = text.find(word, pos + 1)) ++n;
    return n;
}

// A heat of six dogs, goal frames 3..8, all timed.
std::vector<Test_Box> Six_Timed() {
    return {{"Alpha", 28450, 12010, 3, 10}, {"Bravo", 28900, 0, 4, 11}, {"Charlie", 29120, 0, 5, 12},
            {"Delta", 29800, 0, 6, 13},     {"Echo", 30050, 0, 7, 14},  {"Foxtrot", 31000, 0, 8, 15}};
}

class Print_Frame_Test : public Print_Test {
protected:
    void Record(const std::vector<Test_Box>& boxes) {
        host.Make_Recording(Platform::Join_Path(dir, "Spring Cup heat 7.nx3"), boxes);
    }
    Fake_Print_Host host;
};

}  // namespace

// ---------------------------------------------------------------------------
// the table rows

TEST(Table_Line, NamesAreCutOrPaddedSoTheTimeColumnsLineUp) {
    struct Case {
        Result_Record record;
        int32_t delay;
        std::string rank;
        std::string line;
    } cases[] = {
        {{3, 28450, No_Time, 1, "Alpha", false, {}}, 0, "1", "1  3  Alpha                             28,45"},
        // 30 characters: cut to 27
        {{2, 28450, 12340, 1, "Abcdefghijklmnopqrstuvwxyz1234", false, {}},
         0,
         "2",
         "2  2  Abcdefghijklmnopqrstuvwxyz1 12,34 28,45"},
        // the box delay enters both times
        {{5, 28450, 12340, 1, "Bravo", false, {}}, 30, "1", "1  5  Bravo                       12,37 28,48"},
        {{4, 28450, No_Time, 1, "Echo", true, {}}, 0, "2", "2  4  Echo                              28,45 Dead heat"},
        {{1, DSQ_Code, No_Time, 1, "Delta", false, {}}, 0, "5", "5  1  Delta                             DSQ"},
        {{1, DNF_Code, No_Time, 1, "Delta", false, {}}, 0, "5", "5  1  Delta                             DNF"},
        {{1, No_Rank_Code, No_Time, 1, "Delta", false, {}}, 0, "5", "5  1  Delta                             Notime"},
        // a code in the split is no split time
        {{6, 28450, No_Rank_Code, 1, "Foxtrot", false, {}}, 0, "1", "1  6  Foxtrot                           28,45"},
        // names count characters, not bytes
        {{6, 28450, No_Time, 1, "Sk\xC3\xA5ne", false, {}},
         0,
         "1",
         "1  6  Sk\xC3\xA5ne                             28,45"},
        // the crossing estimated between two fields beside the official time, with the box delay
        {{3, 28460, No_Time, 1, "Alpha", false, 28453},
         30,
         "1",
         "1  3  Alpha                             28,49 \u224828,483"},
        {{4, 28460, No_Time, 1, "Echo", true, 28453},
         0,
         "2",
         "2  4  Echo                              28,46 \u224828,453 Dead heat"},
        {{1, DNF_Code, No_Time, 1, "Delta", false, 28453}, 0, "5", "5  1  Delta                             DNF"},
    };
    for (const Case& c : cases) EXPECT_EQ(Table_Line(c.rank, c.record, c.delay), c.line) << c.record.Dog_Name;
}

TEST(Table_Lines, RanksAreTheResultsWindowNumbersAndTheTableEndsAtTheFirstUntimedDog) {
    Result_Array_Type a;
    const int32_t times[6] = {28000, 28500, 28500, 29000, DSQ_Code, No_Time};
    for (int i = 0; i < 6; ++i)
        a[static_cast<size_t>(i)] = Result_Record{static_cast<int16_t>(i + 1), times[i], No_Time, i, "Dog", i == 2, {}};
    const std::vector<std::string> lines = Table_Lines(a, 0);
    ASSERT_EQ(lines.size(), 5u);
    std::vector<std::string> ranks;
    for (const auto& l : lines) ranks.push_back(l.substr(0, l.find(' ')));
    // a dead heat for second place: the next dog is fourth, as on the screen;
    // the disqualified dog has no place, as on the screen
    EXPECT_EQ(ranks, (std::vector<std::string>{"1", "2", "2", "4", "---"}));
    EXPECT_NE(lines[2].find("Dead heat"), std::string::npos);
    EXPECT_EQ(lines[1].find("Dead heat"), std::string::npos);
    // The names and times stand in one column below each other, "---" or not;
    // no dog here has a split, and none is printed.
    for (const auto& l : lines) {
        EXPECT_EQ(l.find("Dog"), lines[4].find("Dog")) << l;
        EXPECT_EQ(l.find_first_of("0123456789D", l.find("Dog") + 3), lines[4].find("DSQ")) << l;
        EXPECT_EQ(l.find("00,00"), std::string::npos) << l;
    }

    // Neither does a dog that did not finish or got no time.
    a[4].Goal_Time = DNF_Code;
    a[5].Goal_Time = No_Rank_Code;
    const std::vector<std::string> coded = Table_Lines(a, 0);
    ASSERT_EQ(coded.size(), 6u);
    EXPECT_EQ(coded[4].rfind("---  5  ", 0), 0u) << coded[4];
    EXPECT_EQ(coded[5].rfind("---  6  ", 0), 0u) << coded[5];
}

TEST(Table_Lines, MarginsStandInOneColumnAfterTheTimesAndADeadHeatKeepsItsWords) {
    Result_Array_Type a;
    const int32_t times[6] = {28000, 28500, 28500, 29000, DSQ_Code, No_Time};
    for (int i = 0; i < 6; ++i)
        a[static_cast<size_t>(i)] = Result_Record{static_cast<int16_t>(i + 1), times[i], No_Time, i, "Dog", i == 2, {}};
    const std::array<std::string, 6> margins{"", "6 1/4 lengths", "dead heat", "6 1/4 lengths", "", ""};
    const std::vector<std::string> lines = Table_Lines(a, 0, &margins);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1].size(), lines[3].size());
    EXPECT_EQ(lines[1].substr(lines[1].size() - 15), "  6 1/4 lengths");
    EXPECT_EQ(lines[2], Table_Lines(a, 0)[2]);  // " Dead heat", no second word for it
    EXPECT_EQ(lines[0], Table_Lines(a, 0)[0]);
}

TEST(Table_Lines, MarginsStandInOneColumnWhateverLettersTheNamesHave) {
    struct Case {
        const char* name;
        std::array<const char*, 3> dogs;
    } cases[] = {
        {"Plain", {"Alpha", "Bravo", "Charlie"}},
        {"Nordic", {"Sk\xC3\xA5ne", "\xC3\x84rla", "Bj\xC3\xB6rn \xC3\x98stg\xC3\xA5rd"}},
        {"MixedWithLongCut", {"\xC3\x89t\xC3\xA9 \xC3\xA0 la for\xC3\xAAt de Fontainebleau", "Bo", "\xC5\x81uk"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Result_Array_Type a;
        const int32_t times[3] = {28000, 28500, 28520};
        for (size_t i = 0; i < 3; ++i)
            a[i] = Result_Record{static_cast<int16_t>(i + 1),
                                 times[i],
                                 i == 1 ? 14000 : No_Time,
                                 static_cast<int32_t>(i),
                                 c.dogs[i],
                                 false,
                                 {}};
        const std::array<std::string, 6> margins{"", "6 1/4 lengths", "short head", "", "", ""};
        const std::vector<std::string> lines = Table_Lines(a, 0, &margins);
        ASSERT_EQ(lines.size(), 3u);
        // The column where each margin starts, counted in characters as the paper shows them.
        const QString second = QString::fromStdString(lines[1]), third = QString::fromStdString(lines[2]);
        EXPECT_EQ(second.indexOf("6 1/4"), third.indexOf("short head")) << lines[1] << "\n" << lines[2];
        EXPECT_EQ(QString::fromStdString(lines[0]).indexOf("28,00"), third.indexOf("28,52"));
    }
}

// ---------------------------------------------------------------------------
// the page

TEST_F(Print_Frame_Test, EveryLineEndsInsideTheRightMarginAndNoMissingSplitIsPrinted) {
    // The widest page: non-ASCII names, a short head, a dead heat, the box delay
    // and the longest footer (both sources simulated, a long printer name).
    std::vector<Test_Box> boxes = {{"Sk\xC3\xA5ne Fl\xC3\xA4kt", 28450, 12010, 3, 10},
                                   {"\xC3\x84rlig \xC3\x98stg\xC3\xA5rd", 28460, 0, 4, 11},
                                   {"Charlie", 29120, 0, 5, 12},
                                   {"Delta", 29120, 0, 6, 13, true},
                                   {"Echo", 30050, 0, 7, 14},
                                   {"Foxtrot Unniform Lengthy", 31000, 0, 8, 15}};
    Record(boxes);
    cls_VideoFile_handler& h = *host.Review_Handler();
    h.Set_Capture_source("simulated camera: Houndex camera simulator");
    h.Set_Phidget_serial("100001 (simulated Control Box)");
    host.box_delay = 30;
    for (const int orientation : {1, 2})
        for (bool series : {false, true}) {
            SCOPED_TRACE(std::string(series ? "series" : "single") + (orientation == 2 ? ", landscape" : ""));
            Printer().Set_Orientation(static_cast<int16_t>(orientation));
            Print_Frame(host, series);
            ASSERT_TRUE(errors.errors.empty()) << errors.errors[0].description;
            double width = 0, height = 0;
            const auto words = Pdf_Words(&width, &height);
            ASSERT_FALSE(words.empty());
            const double margin = 0.1 * width;
            double right = 0, bottom = 0;
            std::string rightmost, lowest;
            for (const auto& w : words) {
                if (w.x_max > right) {
                    right = w.x_max;
                    rightmost = w.text;
                }
                if (w.y_max > bottom) {
                    bottom = w.y_max;
                    lowest = w.text;
                }
            }
            EXPECT_LE(right, width - margin + 1) << "\"" << rightmost << "\" runs past the right margin";
            EXPECT_LE(bottom, height) << "\"" << lowest << "\" runs off the foot of the page";
            EXPECT_EQ(Lines_With(Pdf_Text(), Default_Web_Address).size(), 1u);
            const std::string text = Pdf_Text();
            EXPECT_EQ(Count_Of(text, "00,00"), 0u) << text;
            EXPECT_EQ(Lines_With(text, " head").size(), 1u) << text;  // a margin in the last column
            EXPECT_EQ(Lines_With(text, "simulated camera and Control Box").size(), 1u) << text;
            EXPECT_EQ(Lines_With(text, "12,04 28,48").size(), 1u) << text;  // the one split there is
        }
}

TEST_F(Print_Frame_Test, ASingleFramePageCarriesHeadingTableAndFooter) {
    Record(Six_Timed());
    host.heat_time = "29,12";
    Print_Frame(host, false);
    ASSERT_TRUE(errors.errors.empty()) << errors.errors[0].description;
    const std::string text = Pdf_Text();
    ASSERT_FALSE(text.empty());

    EXPECT_EQ(Lines_Of(text)[0], "Spring Cup");
    EXPECT_EQ(Lines_With(text, "Heat: 7 Final A at: 2026-05-16 14:02:11").size(), 1u);
    EXPECT_EQ(Lines_With(text, "Goal photos").size(), 0u);
    const auto table = Lines_With(text, "Dead heat");
    EXPECT_TRUE(table.empty());
    EXPECT_EQ(Lines_With(text, "Dog Name").size(), 1u);
    for (const char* dog : {"Alpha", "Bravo", "Charlie", "Delta", "Echo", "Foxtrot"})
        EXPECT_EQ(Lines_With(text, dog).size(), 1u) << dog;
    EXPECT_EQ(Lines_With(text, "12,01 28,45").size(), 1u);  // Alpha's split and time
    // The margins behind the dog above, at 0.08 s a length, under their heading.
    ASSERT_EQ(Lines_With(text, "Margin").size(), 1u);
    EXPECT_NE(Lines_With(text, "Margin")[0].find("Dog Name"), std::string::npos);
    ASSERT_EQ(Lines_With(text, "5 3/4 lengths").size(), 1u);
    EXPECT_NE(Lines_With(text, "5 3/4 lengths")[0].find("Bravo"), std::string::npos);
    ASSERT_EQ(Lines_With(text, "2 3/4 lengths").size(), 1u);
    EXPECT_NE(Lines_With(text, "2 3/4 lengths")[0].find("Charlie"), std::string::npos);
    EXPECT_EQ(Lines_With(text, "Box delay").size(), 0u);
    EXPECT_EQ(Lines_With(text, "Elapsed time : 29,12").size(), 1u);
    EXPECT_EQ(Lines_With(text, "File name: Spring Cup heat 7.nx3").size(), 1u);
    EXPECT_EQ(Lines_With(text, "Houndex dog race timing system").size(), 1u);
    const std::string footer = "Printed by Houndex HDMI version " + Facts().Program_Version + " at: 2026-05-16 14:30";
    ASSERT_EQ(Lines_With(text, footer).size(), 1u) << text;
    EXPECT_NE(Lines_With(text, footer)[0].find("printer: Office Laser"), std::string::npos);
    EXPECT_EQ(Lines_With(text, Default_Web_Address).size(), 1u);

    EXPECT_TRUE(traces.Has("Devicename = Office Laser"));
    EXPECT_FALSE(Window_Print::Print_Progress().isVisible());
    EXPECT_EQ(Window_Print::Print_Progress().ProgressBar1->value(), 100);
}

TEST_F(Print_Frame_Test, AnOfficialHeatPrintsItsDeclarationAndLatestChangesAboveTheFooter) {
    Record(Six_Timed());
    EXPECT_TRUE(Official_Lines(*host.handler).empty());  // provisional: nothing
    auto height_of = [&](const std::string& word) {
        for (const auto& w : Pdf_Words())
            if (w.text == word) return w.y_max - w.y_min;
        return 0.0;
    };
    Print_Frame(host, false);
    const double provisional_row = height_of("Foxtrot");
    const Official_Record::Declaration d = Official_Record::Declare(*host.handler);
    for (int i = 1; i <= 8; ++i)
        Official_Record::Append_Change(host.handler->File_name(), d,
                                       {"2026-05-16 14:2" + std::to_string(i) + ":00", "judges-pc", "box 2 goal time",
                                        "28,90", "28,9" + std::to_string(i), "review number " + std::to_string(i)});
    Print_Frame(host, false);
    ASSERT_TRUE(errors.errors.empty()) << errors.errors[0].description;
    const std::string text = Pdf_Text();
    EXPECT_EQ(Lines_With(text, "Official since " + d.declared_at).size(), 1u) << text;
    EXPECT_EQ(Lines_With(text, d.frames_sha256.substr(0, 16)).size(), 1u) << text;
    EXPECT_EQ(Lines_With(text, "2 earlier changes in Spring Cup heat 7.nx3.audit").size(), 1u) << text;
    EXPECT_EQ(Lines_With(text, "(review number 2)").size(), 0u);
    for (int i = 3; i <= 8; ++i)
        EXPECT_EQ(Lines_With(text, "(review number " + std::to_string(i) + ")").size(), 1u) << i;
    // The trail sits between the table and the footer.
    double last_dog = 0, trail = 0, file = 0;
    for (const auto& w : Pdf_Words()) {
        if (w.text == "Foxtrot") last_dog = w.y_max;
        if (w.text == "judges-pc:") trail = std::max(trail, w.y_max);
        if (w.text == "File") file = w.y_min;
    }
    EXPECT_LT(last_dog, trail);
    EXPECT_LT(trail, file);
    // The photo gives way: the table keeps its size.
    EXPECT_NEAR(height_of("Foxtrot"), provisional_row, 0.05 * provisional_row);
}

TEST_F(Print_Frame_Test, TheElapsedTimeAndTheTableStayClearOfEachOtherAndOfTheFooter) {
    // The longest table: six rows, a dead heat and the box delay line.
    std::vector<Test_Box> boxes = Six_Timed();
    boxes[5].goal = boxes[4].goal;
    boxes[5].dead_heat = true;
    Record(boxes);
    host.box_delay = 30;
    host.heat_time = "29,12";
    Print_Frame(host, false);
    double width = 0;
    const auto words = Pdf_Words(&width);
    auto top_of = [&](const std::string& word) {
        for (const auto& w : words)
            if (w.text == word) return w.y_min;
        return -1.0;
    };
    double table_top = 1e9, table_bottom = 0, right = 0;
    for (const auto& w : words)
        if (w.text == "Dog" || w.text == "Foxtrot" || w.text == "delay" || w.text == "Dead") {
            table_top = std::min(table_top, w.y_min);
            table_bottom = std::max(table_bottom, w.y_max);
            right = std::max(right, w.x_max);
        }
    const double elapsed = top_of("Elapsed"), file = top_of("File"), web = top_of(Default_Web_Address);
    ASSERT_GE(elapsed, 0);
    EXPECT_LT(elapsed + 10, table_top);  // above the table, clear of it
    EXPECT_GT(file, table_bottom);       // the footer below it
    EXPECT_GT(web, file);                // and on the page
    EXPECT_LE(right, width);             // the dead-heat row is not cut off
    const std::string text = Pdf_Text();
    EXPECT_EQ(Lines_With(text, "Elapsed time : 29,12").size(), 1u);
    EXPECT_EQ(Lines_With(text, "Box delay = 30 ms").size(), 1u);
    EXPECT_EQ(Lines_With(text, "12,04 28,48").size(), 1u);  // the delay in both times
    EXPECT_EQ(Lines_With(text, "Dead heat").size(), 1u);
}

TEST_F(Print_Frame_Test, ATitleWiderThanThePageIsShrunkUntilItFits) {
    host.event_title = "International Championship of Sighthound Racing Clubs Grand Final Weekend Edition";
    Record(Six_Timed());
    Print_Frame(host, false);
    double width = 0;
    const auto words = Pdf_Words(&width);
    ASSERT_GT(width, 0);
    double right = 0, height = 0;
    int title_words = 0;
    for (const auto& w : words)
        if (w.y_max < 90) {  // the title line near the top
            ++title_words;
            right = std::max(right, w.x_max);
            height = std::max(height, w.y_max - w.y_min);
        }
    EXPECT_EQ(title_words, 10);  // every word of it
    EXPECT_LE(right, width);
    EXPECT_LT(height, 30);  // smaller than the 36 points it starts with
}

TEST_F(Print_Frame_Test, AQueuedDogNameIsPrintedOnThePhotoOnce) {
    Record(Six_Timed());
    host.dog_name = "Queued Dog";
    Print_Frame(host, false);
    EXPECT_EQ(host.dog_name, "");
    // The name is drawn onto the review picture in the printer's colour (yellow).
    const QImage& canvas = host.picture.Canvas();
    EXPECT_GT(Yellow_Pixels(canvas, canvas.rect()), 20);
    const QImage first = Pdf_Picture(40);
    ASSERT_FALSE(first.isNull());
    EXPECT_GT(Yellow_Pixels(first, first.rect()), 5);

    // The next print, on a freshly drawn frame, carries no name.
    host.Show_Position(2);
    ASSERT_EQ(Yellow_Pixels(canvas, canvas.rect()), 0);
    Print_Frame(host, false);
    const QImage second = Pdf_Picture(40);
    ASSERT_FALSE(second.isNull());
    EXPECT_EQ(Yellow_Pixels(second, second.rect()), 0);
    EXPECT_GT(Inked_Pixels(second, QRect(0, second.height() / 6, second.width(), second.height() / 3)), 200);
}

TEST_F(Print_Frame_Test, TheCaptionStaysOnThePhotoAndPrintsDarkOnABlackAndWhitePrinter) {
    struct Case {
        const char* label;
        int16_t colour_mode;  // 1 black and white, 2 colour
        std::string name;
    } cases[] = {
        {"ColourShortName", 2, "Al"},
        {"BlackAndWhiteShortName", 1, "Al"},
        {"ColourLongName", 2, "Abcdefghijklmnopqrstuvwxyz Abcdefghijklmnopqrstuvwxyz"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        host.Make_Recording(Platform::Join_Path(dir, std::string(c.label) + ".nx3"), {{c.name, 28450, 0, 3, 10}});
        Printer().Set_ColorMode(c.colour_mode);
        host.picture.Set_Back_Color(Qt::white);
        host.picture.Cls();
        print_BOX_Time(host, 1, 1, "");
        const QImage& canvas = host.picture.Canvas();
        const QRect caption = Inked_Area(canvas);
        ASSERT_FALSE(caption.isEmpty());
        EXPECT_LT(caption.bottom(), canvas.height() - 1) << "the name runs off the bottom";
        EXPECT_LT(caption.right(), canvas.width() - 1) << "the name runs off the side";
        EXPECT_EQ(Yellow_Pixels(canvas, caption) > 0, c.colour_mode == 2);
        int dark = 0;
        for (int y = caption.top(); y <= caption.bottom(); ++y)
            for (int x = caption.left(); x <= caption.right(); ++x) dark += canvas.pixelColor(x, y).lightness() < 80;
        EXPECT_EQ(dark > 50, c.colour_mode == 1);
    }
}

TEST_F(Print_Frame_Test, TheSeriesPhotographsOnlyPlacedDogsInRankOrder) {
    // Box 4 is disqualified at frame 9, boxes 5 and 6 are not placed.
    Record({{"Alpha", 29000, 0, 5, 10},
            {"Bravo", 28000, 0, 3, 11},
            {"Charlie", 28500, 0, 4, 12},
            {"Delta", DSQ_Code, 0, 9, 13},
            {"Echo", 0, 0, 0, 0},
            {"Foxtrot", 0, 0, 0, 0}});
    Print_Frame(host, true);
    ASSERT_TRUE(errors.errors.empty());
    EXPECT_EQ(host.shown, (std::vector<int16_t>{3, 4, 5, 9}));
    const std::string text = Pdf_Text();
    EXPECT_EQ(Lines_With(text, "Goal photos").size(), 1u);
    EXPECT_EQ(Lines_With(text, "Elapsed time").size(), 0u);
    ASSERT_EQ(Lines_With(text, "DSQ").size(), 1u);
    EXPECT_NE(Lines_With(text, "DSQ")[0].find("Delta"), std::string::npos);
    EXPECT_EQ(Lines_With(text, "DSQ")[0].rfind("--- 4 Delta", 0), 0u) << Lines_With(text, "DSQ")[0];
    EXPECT_EQ(Lines_With(text, "Echo").size(), 0u);
    // No caption is drawn over a photo, where it would hide the dog in the
    // lowest lane: neither on the picture nor on the page.
    EXPECT_EQ(Yellow_Pixels(host.picture.Canvas(), host.picture.Canvas().rect()), 0);
    const QImage page = Pdf_Picture(40);
    ASSERT_FALSE(page.isNull());
    const QRect photos(0, page.height() / 8, page.width(), page.height() / 2);
    EXPECT_EQ(Yellow_Pixels(page, photos), 0);
    EXPECT_GT(Inked_Area(page.copy(photos)).width(), page.width() / 3);
    // Each caption stands under its photo: two rows, three photos and one.
    double page_width = 0;
    const std::vector<Word> words = Pdf_Words(&page_width);
    auto top_of = [&](const std::string& word) {
        for (const Word& w : words)
            if (w.text == word) return w.y_min;
        return -1.0;
    };
    for (const char* caption : {"Dog:2", "Dog:3", "Dog:1", "Dog:4", "Bravo", "Charlie", "Alpha", "Delta"})
        EXPECT_GT(top_of(caption), top_of("photos")) << caption;
    EXPECT_DOUBLE_EQ(top_of("Dog:2"), top_of("Dog:1"));
    EXPECT_GT(top_of("Dog:4"), top_of("Bravo"));
    EXPECT_LT(top_of("Dog:4"), top_of("Split"));  // above the table
}

TEST_F(Print_Frame_Test, ASeriesWithNoPlacedDogHasTheHeadingButNoPhotoAndAnEmptyTable) {
    Record({{"Alpha"}, {"Bravo"}, {"Charlie"}});
    Print_Frame(host, true);
    ASSERT_TRUE(errors.errors.empty());
    EXPECT_TRUE(host.shown.empty());
    const std::string text = Pdf_Text();
    EXPECT_EQ(Lines_With(text, "Goal photos").size(), 1u);
    EXPECT_EQ(Lines_With(text, "Dog Name").size(), 1u);
    EXPECT_EQ(Lines_With(text, "Alpha").size(), 0u);
    const QImage page = Pdf_Picture(40);
    ASSERT_FALSE(page.isNull());
    // Between the heading and the table the page is blank.
    const int top = page.height() * 18 / 100, bottom = page.height() * 70 / 100;
    EXPECT_EQ(Inked_Pixels(page, QRect(0, top, page.width(), bottom - top)), 0);
}

TEST_F(Print_Frame_Test, ADeadHeatIsNumberedAsOnTheScreen) {
    std::vector<Test_Box> boxes = Six_Timed();
    boxes[2].goal = boxes[1].goal;  // Charlie ties with Bravo, clicked later
    boxes[2].dead_heat = true;
    Record(boxes);
    Print_Frame(host, false);
    std::vector<std::string> ranks;
    for (const char* dog : {"Alpha", "Bravo", "Charlie", "Delta", "Echo", "Foxtrot"}) {
        const auto lines = Lines_With(Pdf_Text(), dog);
        ASSERT_EQ(lines.size(), 1u) << dog;
        std::smatch m;
        ASSERT_TRUE(std::regex_search(lines[0], m, std::regex(R"(^\s*(\d+)\s+\d\s+)"))) << lines[0];
        ranks.push_back(m[1]);
    }
    EXPECT_EQ(ranks, (std::vector<std::string>{"1", "2", "2", "4", "5", "6"}));
    EXPECT_EQ(Count_Of(Pdf_Text(), "Dead heat"), 1u);
}

TEST_F(Print_Frame_Test, TheWebAddressIsASetting) {
    Change_Facts([&](Startup_Facts& f) { f.Ini_file_path = Path("Houndex_HDMI.ini"); });
    {
        std::ofstream ini(Facts().Ini_file_path);
        ini << "[Settings]\nprint_web_address=www.example.org/dogs\n";
    }
    Record(Six_Timed());
    Print_Frame(host, false);
    EXPECT_EQ(Lines_With(Pdf_Text(), "www.example.org/dogs").size(), 1u);
    EXPECT_EQ(Lines_With(Pdf_Text(), Default_Web_Address).size(), 0u);
    Change_Facts([](Startup_Facts& f) { f.Ini_file_path.clear(); });
}

TEST_F(Print_Frame_Test, WithoutARecordingTheCommandsBeepAndPrintNothing) {
    for (bool series : {false, true}) {
        Print_Command(host, nullptr, series);
        Print_Frame(host, series);
    }
    EXPECT_EQ(dialogs.beeps, 4);
    EXPECT_FALSE(Platform::File_Exists(Pdf_Path()));
    EXPECT_TRUE(chooser.presets.empty());
}

TEST_F(Print_Frame_Test, APrinterFaultIsReportedWithTheProcedureAndHidesTheProgress) {
    Record(Six_Timed());
    Printer().Set_Output_File(Platform::Join_Path(dir, "no such folder/page.pdf"));
    Print_Frame(host, false);
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_EQ(errors.errors[0].location, "Print_Frame of Form Form_Houndex");
    EXPECT_FALSE(Window_Print::Print_Progress().isVisible());
}

TEST_F(Print_Frame_Test, PrintingToAPdfFileWithoutANameAsksForOneEachTime) {
    Record(Six_Timed());
    list.default_name = Pdf_Printer_Name;
    Reset_Printer();
    ASSERT_EQ(Printer().DeviceName(), Pdf_Printer_Name);
    ASSERT_TRUE(Printer().Prints_To_File());
    Printer().Set_Output_File("");
    dialogs.Answer_File(std::nullopt);  // cancelled: nothing printed
    Print_Frame(host, false);
    EXPECT_FALSE(Platform::File_Exists(Pdf_Path()));
    // Offered beside the recording, named after it (not in the settings folder).
    ASSERT_FALSE(dialogs.shown.empty());
    EXPECT_EQ(dialogs.shown.back().kind, "save");
    EXPECT_EQ(dialogs.shown.back().folder, dir);
    EXPECT_EQ(dialogs.shown.back().name, "Spring Cup heat 7.pdf");
    dialogs.Answer_File(Pdf_Path());
    Print_Frame(host, false);
    EXPECT_TRUE(Platform::File_Exists(Pdf_Path()));
    EXPECT_EQ(Printer().Output_File(), "");
    EXPECT_TRUE(errors.errors.empty());
    EXPECT_NE(Pdf_Text().find("printer: PDF file"), std::string::npos);
}

TEST_F(Print_Frame_Test, TheDogNameMenuQueuesTheAnswer) {
    dialogs.Answer_Input(std::string("Rocket"));
    item_dog_name_Click(host);
    EXPECT_EQ(host.dog_name, "Rocket");
    ASSERT_FALSE(dialogs.shown.empty());
    EXPECT_EQ(dialogs.shown.back().text, "Enter dog name for printing");
}

namespace {
struct Simulated_Case {
    const char* name;
    const char* capture_source;
    const char* capture_property;
    const char* box_serial;
    const char* note;  // what the footer adds after the file name
};

class Print_Frame_Simulated : public Print_Frame_Test, public ::testing::WithParamInterface<Simulated_Case> {};
}  // namespace

TEST_P(Print_Frame_Simulated, TheFooterSaysWhatWasSimulated) {
    const Simulated_Case& c = GetParam();
    Record(Six_Timed());
    cls_VideoFile_handler& h = *host.Review_Handler();
    h.Set_Capture_source(c.capture_source);
    h.Set_Capture_property(c.capture_property);
    h.Set_Phidget_serial(c.box_serial);
    Print_Frame(host, false);
    const auto lines = Lines_With(Pdf_Text(), "File name: Spring Cup heat 7.nx3");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], std::string("File name: Spring Cup heat 7.nx3") + c.note);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, Print_Frame_Simulated,
    ::testing::Values(Simulated_Case{"RealHeat", "", "USB3 HDMI capture / 1920*1080/50", "31337", ""},
                      Simulated_Case{"Both", "simulated camera: Houndex camera simulator",
                                     "Houndex camera simulator / 1920*1080/25", "100001 (simulated Control Box)",
                                     " - simulated camera and Control Box"},
                      Simulated_Case{"BoxOnly", "", "USB3 HDMI capture / 1920*1080/50",
                                     "100001 (simulated Control Box)", " - simulated Control Box"},
                      Simulated_Case{"OlderSimulatorRecording", "", "Houndex camera simulator / 1920*1080/25", "100001",
                                     " - simulated camera"}),
    By_Name());
