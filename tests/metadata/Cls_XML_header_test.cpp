#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <regex>
#include <sstream>

#include <pugixml.hpp>

#include "Test_Env.h"
#include "Test_Name.h"
#include "metadata/Cls_XML_header.h"
#include "metadata/Latin1.h"
#include "common/Startup_Facts.h"
#include "platform/Files.h"
#include "platform/HdxError.h"
#include "common/Module_dependant.h"

namespace {

const char* const CRLF = "\r\n";

// Reads a serialised header the way any other XML reader would: Latin-1 bytes,
// whitespace nodes kept so their places can be checked.
struct Parsed {
    pugi::xml_document doc;
    explicit Parsed(const std::string& latin1) {
        const auto r = doc.load_buffer(latin1.data(), latin1.size(),
                                       (pugi::parse_default & ~pugi::parse_eol) | pugi::parse_ws_pcdata |
                                           pugi::parse_declaration | pugi::parse_comments,
                                       pugi::encoding_latin1);
        EXPECT_TRUE(r) << r.description();
    }
    pugi::xml_node Root() const { return doc.child("NXF_header"); }
};

std::vector<std::string> Element_Names(pugi::xml_node parent) {
    std::vector<std::string> out;
    for (auto c : parent.children())
        if (c.type() == pugi::node_element) out.push_back(c.name());
    return out;
}

// The children of a node as a compact pattern: element names, "|" for each CR LF
// line break, "?" for any other text.
std::vector<std::string> Node_Pattern(pugi::xml_node parent) {
    std::vector<std::string> out;
    for (auto c : parent.children()) {
        if (c.type() == pugi::node_element)
            out.push_back(c.name());
        else if (c.type() == pugi::node_pcdata) {
            // Adjacent line-break nodes read back as one text: count the breaks.
            std::string v = c.value();
            if (v.empty() || v.size() % 2) {
                out.push_back("?");
                continue;
            }
            for (size_t i = 0; i < v.size(); i += 2) out.push_back(v.compare(i, 2, CRLF) == 0 ? "|" : "?");
        } else
            out.push_back("#");
    }
    return out;
}

std::string Replace_Once(std::string text, const std::string& from, const std::string& to) {
    const size_t p = text.find(from);
    EXPECT_NE(p, std::string::npos) << from;
    if (p != std::string::npos) text.replace(p, from.size(), to);
    return text;
}

int Expect_Raise(const std::function<void()>& call) {
    try {
        call();
    } catch (const HdxError& e) {
        return e.number;
    } catch (...) {
        return -2;
    }
    return -1;  // nothing thrown
}

class XmlHeaderTest : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        saved_folder_ = Facts().AppData_Folder;
        Change_Facts([&](Startup_Facts& f) { f.AppData_Folder = Data_Dir(); });
        origin.File_Name = "/races/Test Event_3_26-05-16 14_30.nx3";
        origin.Computer_Name = "RACE-PC";
        origin.CPU_Info = "Test CPU 3.2 GHz";
        origin.Total_Memory = "16 GB";
        origin.OS_Version = "Debian 12";
        origin.CPU_Bitness = "64";
        origin.OS_Bitness = "64";
        origin.Capture_Source = "HDMI Grabber / 1920x1080";
        origin.Capture_Sample = "1920*1080, 50 fps";
        origin.Selected_Crop = "400*880";
        origin.Phidget_Serial = "123456";
        origin.Version_Major = 3;
        origin.Version_Minor = 4;
        origin.Version_Revision = 5;
    }
    void TearDown() override {
        Change_Facts([&](Startup_Facts& f) { f.AppData_Folder = saved_folder_; });
        Hdx_Test::TearDown();
    }

    Header_Origin origin;
    std::string saved_folder_;

    // A created header whose serialised text has one element's text replaced, loaded back.
    void Load_With(Cls_XML_header& h, const std::string& element, const std::string& old_text,
                   const std::string& new_text) {
        h.Set_rgb(true);
        h.Create_Header(origin);
        const std::string text = Replace_Once(h.XML_string(), "<" + element + ">" + old_text + "</" + element + ">",
                                              "<" + element + ">" + new_text + "</" + element + ">");
        h.Set_XML_string(text);
        ASSERT_TRUE(h.Has_XML());
    }
};

// ---------------------------------------------------------------------------
// structure

struct SectionCase {
    bool rgb, houndex;
    std::vector<std::string> root_pattern;
};

class SectionsTest : public XmlHeaderTest, public ::testing::WithParamInterface<SectionCase> {};

TEST_P(SectionsTest, RootHoldsTheChosenSectionsInOrderWithTheirLineBreaks) {
    Cls_XML_header h;
    h.Set_rgb(GetParam().rgb);
    h.Set_Houndex(GetParam().houndex);
    h.Create_Header();
    Parsed p(h.XML_string());
    EXPECT_EQ(Node_Pattern(p.Root()), GetParam().root_pattern);
    EXPECT_TRUE(errors.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(Flags, SectionsTest,
                         ::testing::Values(SectionCase{true, true, {"|", "file_data", "RGB_data", "|", "houndex", "|"}},
                                           SectionCase{false, true, {"|", "file_data", "houndex", "|"}},
                                           SectionCase{true, false, {"|", "file_data", "RGB_data", "|"}},
                                           SectionCase{false, false, {"|", "file_data"}}),
                         [](const auto& param_info) {
                             return std::string(param_info.param.rgb ? "Rgb" : "NoRgb") +
                                    (param_info.param.houndex ? "_Houndex" : "_NoHoundex");
                         });

TEST_F(XmlHeaderTest, DefaultFlagsLeaveOutRgbAndKeepHoundex) {
    Cls_XML_header h;
    h.Create_Header(origin);
    Parsed p(h.XML_string());
    EXPECT_EQ(Element_Names(p.Root()), (std::vector<std::string>{"file_data", "houndex"}));
}

TEST_F(XmlHeaderTest, TextStartsWithDeclarationCommentAndRoot) {
    Cls_XML_header h;
    h.Set_rgb(true);
    h.Create_Header(origin);
    const std::string text = h.XML_string();
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n"
                         "<!--XML file containing NXF NX3 header-->\r\n"
                         "<NXF_header>\r\n<file_data>\r\n<my_filename>",
                         0),
              0u)
        << text.substr(0, 200);
    // No indentation anywhere: every line break is a bare CR LF between tags.
    EXPECT_EQ(text.find("\r\n "), std::string::npos);
    EXPECT_EQ(text.find("\r\n\t"), std::string::npos);
    EXPECT_NE(text.find("<RGB_Y>000</RGB_Y><RGB_image_size>"), std::string::npos);
    EXPECT_NE(text.find("<last_append_time/>"), std::string::npos);
}

TEST_F(XmlHeaderTest, LineBreaksStandWhereTheLayoutPutsThem) {
    Cls_XML_header h;
    h.Set_rgb(true);
    h.Create_Header(origin);
    Parsed p(h.XML_string());
    const auto root = p.Root();

    // file_data and RGB_data open with a line break and have one after every
    // child, except after RGB_Y.
    for (const char* section : {"file_data", "RGB_data"}) {
        const auto pattern = Node_Pattern(root.child(section));
        ASSERT_FALSE(pattern.empty());
        EXPECT_EQ(pattern.front(), "|") << section;
        for (size_t i = 1; i < pattern.size(); ++i) {
            if (pattern[i] == "|") continue;
            const bool last = i + 1 == pattern.size();
            const bool want_break = pattern[i] != "RGB_Y";
            EXPECT_EQ(!last && pattern[i + 1] == "|", want_break) << section << " " << pattern[i];
            if (last) {
                EXPECT_FALSE(want_break) << section << " ends without a line break";
            }
        }
    }
    const auto rgb = Node_Pattern(root.child("RGB_data"));
    EXPECT_EQ(std::count(rgb.begin(), rgb.end(), "|"), 17);  // 1 first + 16 after children

    // houndex: 16 leaves each followed by one break, then every box preceded by
    // three of its own and followed by one.
    std::vector<std::string> expected;
    for (const auto& name : Element_Names(root.child("houndex"))) {
        if (name == "box") {
            expected.insert(expected.end(), {"|", "|", "|", "box", "|"});
        } else {
            expected.insert(expected.end(), {name, "|"});
        }
    }
    EXPECT_EQ(Node_Pattern(root.child("houndex")), expected);

    // A box opens with its first field and has a break after every field.
    std::vector<std::string> box_expected;
    for (const auto& name : Element_Names(root.child("houndex").child("box")))
        box_expected.insert(box_expected.end(), {name, "|"});
    for (auto box : root.child("houndex").children("box")) EXPECT_EQ(Node_Pattern(box), box_expected);
}

TEST_F(XmlHeaderTest, EightBoxesWithIdsOneToEight) {
    Cls_XML_header h;
    h.Set_rgb(true);
    h.Create_Header(origin);
    Parsed p(h.XML_string());
    std::vector<std::string> ids;
    for (auto box : p.Root().child("houndex").children("box")) {
        ids.push_back(box.attribute("id").value());
        EXPECT_EQ(std::distance(box.attributes_begin(), box.attributes_end()), 1);
    }
    EXPECT_EQ(ids, (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8"}));
}

// The text of an element, the element written once in the text ("" when not).
std::string Element_Text(const std::string& text, const std::string& element) {
    const std::string open = "<" + element + ">", close = "</" + element + ">";
    const size_t from = text.find(open);
    const size_t to = from == std::string::npos ? from : text.find(close, from);
    if (to == std::string::npos) return "";
    return text.substr(from + open.size(), to - from - open.size());
}

// A new header, byte for byte (every element's creation text, the line breaks,
// the order), against tests/metadata/golden/new_header.xml. What this build and
// this machine put in (the executable, the version, the build and file dates)
// stands there as @element@. HOUNDEX_UPDATE_GOLDEN=1 writes the file instead.
TEST_F(XmlHeaderTest, NewHeaderIsTheGoldenText) {
    Cls_XML_header h;
    h.Set_rgb(true);
    h.Create_Header(origin);
    std::string text = h.XML_string();
    EXPECT_TRUE(std::regex_match(Element_Text(text, "compile_date"), std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d)")))
        << Element_Text(text, "compile_date");
    EXPECT_FALSE(Element_Text(text, "exe_filedate").empty()) << "the test program has a file date";
    const std::pair<std::string, std::string> of_this_build[] = {
        {"exe_name", Platform::Executable_Name()},
        {"prog_major", std::to_string(origin.Version_Major)},
        {"prog_minor", std::to_string(origin.Version_Minor)},
        {"prog_revision", std::to_string(origin.Version_Revision)},
        {"compile_date", Element_Text(text, "compile_date")},
        {"exe_filedate", FileDate()},
    };
    for (const auto& [element, value] : of_this_build)
        text = Replace_Once(text, "<" + element + ">" + value + "</", "<" + element + ">@" + element + "@</");

    const std::string golden = std::string(HOUNDEX_GOLDEN_DIR) + "/new_header.xml";
    if (std::getenv("HOUNDEX_UPDATE_GOLDEN")) {
        std::ofstream(golden, std::ios::binary | std::ios::trunc) << text;
        GTEST_SKIP() << "wrote " << golden;
    }
    std::ifstream in(golden, std::ios::binary);
    ASSERT_TRUE(in) << golden;
    const std::string expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The first line that differs says which element changed.
    size_t at = 0;
    while (at < text.size() && at < expected.size() && text[at] == expected[at]) ++at;
    const size_t line_start = expected.rfind('\n', at == 0 ? 0 : at - 1);
    const size_t from = line_start == std::string::npos ? 0 : line_start + 1;
    EXPECT_EQ(text, expected) << "first difference in the line: " << text.substr(from, text.find('\r', from) - from)
                              << "\nwhere the golden text has: "
                              << expected.substr(from, expected.find('\r', from) - from);
}

TEST_F(XmlHeaderTest, CreateHeaderDiscardsTheEarlierDocument) {
    Cls_XML_header h;
    h.Set_rgb(true);
    h.Create_Header(origin);
    h.Set_Hdx_Dog_name(2, "Speedy");
    h.Set_XML_string("<other><x>1</x></other>");
    h.Create_Header(origin);
    EXPECT_EQ(h.Hdx_Dog_name(2), "dog name");
    Parsed p(h.XML_string());
    EXPECT_FALSE(p.doc.child("other"));
    EXPECT_TRUE(h.Has_XML());
}

// ---------------------------------------------------------------------------
// booleans

struct LetterCase {
    const char* name;
    const char* text;
    bool value;
};

class LetterFormTest : public XmlHeaderTest, public ::testing::WithParamInterface<LetterCase> {};

TEST_P(LetterFormTest, ReadsTrueOnlyForLowerTAndUpperY) {
    EXPECT_EQ(Cls_XML_header::XML_string_to_Bool(GetParam().text), GetParam().value);
    // The same rule through the element that uses it.
    Cls_XML_header h;
    Load_With(h, "RGB_rotated", "Y", GetParam().text);
    EXPECT_EQ(h.RGB_Rotated(), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Texts, LetterFormTest,
                         ::testing::Values(LetterCase{"UpperY", "Y", true}, LetterCase{"LowerT", "t", true},
                                           LetterCase{"UpperT", "T", false}, LetterCase{"LowerY", "y", false},
                                           LetterCase{"LowerTrue", "true", false}, LetterCase{"Empty", "", false},
                                           LetterCase{"LowerF", "f", false}, LetterCase{"UpperN", "N", false},
                                           LetterCase{"CapitalTrue", "True", false},
                                           LetterCase{"SpaceThenLowerT", " t", false}),
                         By_Name());

struct WordCase {
    const char* name;
    const char* text;
    bool value;
};

class WordFormTest : public XmlHeaderTest, public ::testing::WithParamInterface<WordCase> {};

TEST_P(WordFormTest, ReadsTrueOnlyForExactTrue) {
    Cls_XML_header h;
    Load_With(h, "RGB_interlaced", "Y", GetParam().text);
    EXPECT_EQ(h.RGB_interlaced(), GetParam().value);
    Cls_XML_header d;
    Load_With(d, "dog_dead_heat", "f", GetParam().text);
    EXPECT_EQ(d.Hdx_dead_heat(1), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Texts, WordFormTest,
                         ::testing::Values(WordCase{"CapitalTrue", "True", true}, WordCase{"UpperY", "Y", false},
                                           WordCase{"LowerT", "t", false}, WordCase{"LowerTrue", "true", false},
                                           WordCase{"UpperTrue", "TRUE", false},
                                           WordCase{"CapitalFalse", "False", false}, WordCase{"Empty", "", false}),
                         By_Name());

TEST_F(XmlHeaderTest, CreationDefaultsReadByTheirForm) {
    Cls_XML_header h;
    h.Set_rgb(true);
    h.Create_Header(origin);
    EXPECT_FALSE(h.RGB_interlaced());  // "Y" in the word form
    EXPECT_FALSE(h.RGB_preview_on());
    EXPECT_TRUE(h.RGB_Rotated());  // "Y" in the letter form
    for (int16_t box = 1; box <= 8; ++box) EXPECT_FALSE(h.Hdx_dead_heat(box));
}

TEST_F(XmlHeaderTest, BooleansAreWrittenInTheirForm) {
    Cls_XML_header h;
    h.Set_rgb(true);
    h.Create_Header(origin);
    h.Set_RGB_interlaced(true);
    h.Set_RGB_preview_on(false);
    h.Set_RGB_Rotated(true);
    Parsed p(h.XML_string());
    auto rgb = p.Root().child("RGB_data");
    EXPECT_STREQ(rgb.child("RGB_interlaced").text().get(), "True");
    EXPECT_STREQ(rgb.child("RGB_preview_on").text().get(), "False");
    EXPECT_STREQ(rgb.child("RGB_rotated").text().get(), "t");
    h.Set_RGB_Rotated(false);
    h.Set_RGB_interlaced(false);
    Parsed q(h.XML_string());
    EXPECT_STREQ(q.Root().child("RGB_data").child("RGB_rotated").text().get(), "f");
    EXPECT_STREQ(q.Root().child("RGB_data").child("RGB_interlaced").text().get(), "False");
    EXPECT_EQ(Cls_XML_header::Bool_to_XML_string(true), "t");
    EXPECT_EQ(Cls_XML_header::Bool_to_XML_string(false), "f");
}

TEST_F(XmlHeaderTest, DeadHeatOfOneBoxOnlyAndAfterYielding) {
    Cls_XML_header h;
    h.Create_Header(origin);
    int yields = 0;
    Platform::Set_Yield_Hook([&] { ++yields; });
    EXPECT_FALSE(h.Hdx_dead_heat(3));
    h.Set_Hdx_dead_heat(3, true);
    EXPECT_EQ(yields, 1);
    EXPECT_TRUE(h.Hdx_dead_heat(3));
    for (int16_t box : {1, 2, 4, 5, 6, 7, 8}) EXPECT_FALSE(h.Hdx_dead_heat(box)) << box;
    EXPECT_NE(h.XML_string().find("<dog_dead_heat>True</dog_dead_heat>"), std::string::npos);
    h.Set_Hdx_dead_heat(3, false);
    EXPECT_FALSE(h.Hdx_dead_heat(3));
    // A box that is not there: nothing thrown, nothing changed, still reads False.
    const std::string before = h.XML_string();
    EXPECT_NO_THROW(h.Set_Hdx_dead_heat(9, true));
    EXPECT_FALSE(h.Hdx_dead_heat(9));
    EXPECT_EQ(h.XML_string(), before);
}

// ---------------------------------------------------------------------------
// box accessors

TEST_F(XmlHeaderTest, HeatTimeSplitFlagChoosesTheElement) {
    Cls_XML_header h;
    h.Create_Header(origin);
    h.Set_Hdx_Heat_time(3, false, 28450);
    h.Set_Hdx_Heat_time(3, true, 12340);
    EXPECT_EQ(h.Hdx_Heat_time(3, false), 28450);
    EXPECT_EQ(h.Hdx_Heat_time(3, true), 12340);
    Parsed p(h.XML_string());
    pugi::xml_node box3 = p.doc.select_node("//box[@id='3']").node();
    EXPECT_STREQ(box3.child("dog_heat_time").text().get(), "28450");
    EXPECT_STREQ(box3.child("dog_split_time").text().get(), "12340");
    // Other boxes untouched; 7 and 8 exist and read their placeholder as 0.
    for (int16_t box : {1, 2, 4, 5, 6, 7, 8}) {
        EXPECT_EQ(h.Hdx_Heat_time(box, false), 0) << box;
        EXPECT_EQ(h.Hdx_Heat_time(box, true), 0) << box;
    }
    h.Set_Hdx_Heat_time(5, false, 888887);  // a result code is just a number here
    EXPECT_EQ(h.Hdx_Heat_time(5, false), 888887);
    EXPECT_EQ(Expect_Raise([&] { h.Hdx_Heat_time(9, false); }), 91);
    EXPECT_EQ(Expect_Raise([&] { h.Set_Hdx_Heat_time(0, true, 5); }), 91);
}

TEST_F(XmlHeaderTest, BoxFieldsRoundTripPerBox) {
    Cls_XML_header h;
    h.Create_Header(origin);
    for (int16_t box = 1; box <= 8; ++box) {
        h.Set_Hdx_Dog_name(box, "Dog " + std::to_string(box));
        h.Set_Hdx_heat_frame(box, static_cast<int16_t>(100 + box));
        h.Set_Hdx_split_frame(box, static_cast<int16_t>(-box));
        h.Set_Hdx_Heat_Click_Time(box, -2000000000 + box);
    }
    Cls_XML_header r;
    r.Set_XML_string(h.XML_string());
    for (int16_t box = 1; box <= 8; ++box) {
        EXPECT_EQ(r.Hdx_Dog_name(box), "Dog " + std::to_string(box));
        EXPECT_EQ(r.Hdx_heat_frame(box), 100 + box);
        EXPECT_EQ(r.Hdx_split_frame(box), -box);
        EXPECT_EQ(r.Hdx_Heat_Click_Time(box), -2000000000 + box);
    }
    // Click time is "default 0 / ignore".
    EXPECT_EQ(r.Hdx_Heat_Click_Time(9), 0);
    EXPECT_NO_THROW(r.Set_Hdx_Heat_Click_Time(9, 5));
}

// ---------------------------------------------------------------------------
// numbers

struct NumberCase {
    const char* text;
    int64_t value;  // when error == 0
    int error16;    // 0, 13 or 6 for a 16-bit read
    int error32;    // the same for a 32-bit read
};

class NumberTest : public XmlHeaderTest, public ::testing::WithParamInterface<NumberCase> {};

TEST_P(NumberTest, PlainDecimalIntegersOnly) {
    const NumberCase c = GetParam();
    Cls_XML_header h;
    Load_With(h, "RGB_X", "000", c.text);
    const int e16 = Expect_Raise([&] {
        const int16_t v = h.RGB_X();
        EXPECT_EQ(v, c.value);
    });
    EXPECT_EQ(e16, c.error16 ? c.error16 : -1) << c.text;

    Cls_XML_header k;
    Load_With(k, "RGB_image_size", "0000000", c.text);
    const int e32 = Expect_Raise([&] {
        const int32_t v = k.RGB_Image_size();
        EXPECT_EQ(v, c.value);
    });
    EXPECT_EQ(e32, c.error32 ? c.error32 : -1) << c.text;

    // A "default 0" accessor answers 0 for every failure.
    Cls_XML_header d;
    Load_With(d, "dog_heat_click_time", "000000", c.text);
    EXPECT_EQ(d.Hdx_Heat_Click_Time(1), c.error32 ? 0 : c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NumberTest,
    ::testing::Values(NumberCase{"000", 0, 0, 0}, NumberCase{"0000000", 0, 0, 0}, NumberCase{"42", 42, 0, 0},
                      NumberCase{"-12", -12, 0, 0}, NumberCase{"+7", 7, 0, 0}, NumberCase{"32767", 32767, 0, 0},
                      NumberCase{"-32768", -32768, 0, 0}, NumberCase{"32768", 32768, 6, 0},
                      NumberCase{"-32769", -32769, 6, 0}, NumberCase{"2147483647", 2147483647, 6, 0},
                      NumberCase{"2147483648", 0, 6, 6}, NumberCase{"-2147483648", -2147483648LL, 6, 0},
                      NumberCase{"99999999999999999999999", 0, 6, 6}, NumberCase{"", 0, 13, 13},
                      NumberCase{"-", 0, 13, 13}, NumberCase{" 5", 0, 13, 13}, NumberCase{"5 ", 0, 13, 13},
                      NumberCase{"1.5", 0, 13, 13}, NumberCase{"1e3", 0, 13, 13}, NumberCase{"0x10", 0, 13, 13},
                      NumberCase{"12a", 0, 13, 13}, NumberCase{"--1", 0, 13, 13}, NumberCase{"1,000", 0, 13, 13}),
    [](const auto& param_info) {
        // The text with its signs, spaces and separators spelled out: "-12" is Minus12.
        std::string name;
        for (const char c : std::string(param_info.param.text)) {
            switch (c) {
                case '-': name += "Minus"; break;
                case '+': name += "Plus"; break;
                case ' ': name += "Space"; break;
                case '.': name += "Point"; break;
                case ',': name += "Comma"; break;
                default: name += c;
            }
        }
        return Test_Name(name);
    });

TEST_F(XmlHeaderTest, NumbersAreWrittenWithoutLeadingZeros) {
    Cls_XML_header h;
    h.Set_rgb(true);
    h.Create_Header(origin);
    h.Set_Frames_no(42);
    h.Set_Segments_no(3);
    h.Set_RGB_X(400);
    h.Set_RGB_Y(880);
    h.Set_RGB_Image_size(128000);
    h.Set_L_RGB_Sample_Size(128058);
    h.Set_RGB_Compressed_min_Size(-5);
    h.Set_Hdx_heat_start_Local_mill(52200000);
    Parsed p(h.XML_string());
    auto text = [&](const char* sel) { return std::string(p.doc.select_node(sel).node().text().get()); };
    EXPECT_EQ(text("//num_frames"), "42");
    EXPECT_EQ(text("//num_segments"), "3");
    EXPECT_EQ(text("//RGB_X"), "400");
    EXPECT_EQ(text("//RGB_Y"), "880");
    EXPECT_EQ(text("//RGB_image_size"), "128000");
    EXPECT_EQ(text("//RGB_sample_size"), "128058");
    EXPECT_EQ(text("//RGB_compressed_min_size"), "-5");
    EXPECT_EQ(text("//hdx_start_local_mill"), "52200000");
    EXPECT_EQ(h.G_Frames_no(), 42);
    EXPECT_EQ(h.RGB_Sample_Size(), 128058);
}

TEST_F(XmlHeaderTest, FreshDocumentNumbersAndPlaceholders) {
    Cls_XML_header h;
    h.Set_rgb(true);
    h.Create_Header(origin);
    EXPECT_EQ(h.Streams_no(), 1);
    EXPECT_EQ(h.G_Frames_no(), 0);
    EXPECT_EQ(h.Segments_no(), 0);
    EXPECT_EQ(h.RGB_X(), 0);
    EXPECT_EQ(h.RGB_Compressed_min_Size(), 99999999);
    EXPECT_EQ(h.JPG_Reduced_Qual_num(), 0);
    // Descriptive placeholders are not numbers.
    EXPECT_EQ(Expect_Raise([&] { h.Hdx_heat_start_Local_mill(); }), 13);
    EXPECT_EQ(Expect_Raise([&] { h.Hdx_start_HDMI_events(); }), 13);
    EXPECT_EQ(h.Hdx_heat_start_PC_mill(), "hdx_start_PC_mill");  // text accessor
    EXPECT_EQ(h.Timing_Bias(), "000");
    EXPECT_EQ(h.RGB_JPEG_Quality(), "0000");
    EXPECT_EQ(h.Goal_Compensation(), "0000");
    EXPECT_EQ(h.Last_Capture_time(), "0000");
}

// ---------------------------------------------------------------------------
// failure behaviour

TEST_F(XmlHeaderTest, MissingCompNameAnswersUnknownComputerName) {
    Cls_XML_header h;
    h.Create_Header(origin);
    std::string text = h.XML_string();
    text = Replace_Once(text, "<comp_name>RACE-PC</comp_name>\r\n", "");
    h.Set_XML_string(text);
    ASSERT_TRUE(h.Has_XML());
    EXPECT_EQ(h.Comp_Name(), "Unknown computer name");
    EXPECT_EQ(h.Comp_CPUInfo(), "Test CPU 3.2 GHz");
}

// A header edited by hand and saved with a byte-order mark over one-byte text:
// read as Latin-1, the mark is not taken for text before the root.
TEST_F(XmlHeaderTest, ByteOrderMarkOverLatin1TextIsReadAsLatin1) {
    Cls_XML_header h;
    h.Create_Header(origin);
    std::string text = Replace_Once(h.XML_string(), "<comp_name>RACE-PC</comp_name>",
                                    "<comp_name>R\xE4"
                                    "ce</comp_name>");
    text = Replace_Once(text, "encoding=\"iso-8859-1\"", "encoding=\"utf-8\"");
    h.Set_XML_string("\xEF\xBB\xBF" + text);
    ASSERT_TRUE(h.Has_XML());
    EXPECT_EQ(h.Comp_Name(),
              "R\xC3\xA4"
              "ce");
    Cls_XML_header again;
    again.Set_XML_string(h.XML_string());
    ASSERT_TRUE(again.Has_XML());
    EXPECT_EQ(again.Comp_Name(),
              "R\xC3\xA4"
              "ce");
}

struct DefaultCase {
    const char* name;
    std::function<std::string(Cls_XML_header&)> get;
    std::string fallback;
};

class DefaultGetterTest : public XmlHeaderTest, public ::testing::WithParamInterface<DefaultCase> {};

// On a document without the element, and on no document at all, a "default" or
// "ignore" getter answers its fixed value and never throws.
TEST_P(DefaultGetterTest, AnswersFallbackWhenElementMissing) {
    Cls_XML_header other;
    other.Set_XML_string("<NXF_header><file_data/></NXF_header>");
    ASSERT_TRUE(other.Has_XML());
    EXPECT_EQ(GetParam().get(other), GetParam().fallback);

    Cls_XML_header broken;
    broken.Set_XML_string("<NXF_header><file_data>");
    ASSERT_FALSE(broken.Has_XML());
    EXPECT_EQ(GetParam().get(broken), GetParam().fallback);
}

std::string B(bool v) { return v ? "True" : "False"; }

INSTANTIATE_TEST_SUITE_P(
    Accessors, DefaultGetterTest,
    ::testing::Values(
        DefaultCase{"Timing_Bias", [](Cls_XML_header& h) { return h.Timing_Bias(); }, "0"},
        DefaultCase{"Comp_Name", [](Cls_XML_header& h) { return h.Comp_Name(); }, "Unknown computer name"},
        DefaultCase{"Comp_CaptureInfo", [](Cls_XML_header& h) { return h.Comp_CaptureInfo(); },
                    "Unknown Capture Info!"},
        DefaultCase{"Comp_CPUInfo", [](Cls_XML_header& h) { return h.Comp_CPUInfo(); }, "Not known!"},
        DefaultCase{"Comp_CPUbitness", [](Cls_XML_header& h) { return h.Comp_CPUbitness(); }, "Not known!"},
        DefaultCase{"Comp_OSbitness", [](Cls_XML_header& h) { return h.Comp_OSbitness(); }, "Not known!"},
        DefaultCase{"Capture_property", [](Cls_XML_header& h) { return h.Capture_property(); }, ""},
        DefaultCase{"Capture_source", [](Cls_XML_header& h) { return h.Capture_source(); }, ""},
        DefaultCase{"Actual_sample", [](Cls_XML_header& h) { return h.Actual_sample(); }, ""},
        DefaultCase{"Phidget_serial", [](Cls_XML_header& h) { return h.Phidget_serial(); }, "Not known!"},
        DefaultCase{"Exe_Name", [](Cls_XML_header& h) { return h.Exe_Name(); }, ""},
        DefaultCase{"Computer_Uptime", [](Cls_XML_header& h) { return h.Computer_Uptime(); }, ""},
        DefaultCase{"Program_Uptime", [](Cls_XML_header& h) { return h.Program_Uptime(); }, ""},
        DefaultCase{"OS_version", [](Cls_XML_header& h) { return h.OS_version(); }, ""},
        DefaultCase{"Subject_name", [](Cls_XML_header& h) { return h.Subject_name(); }, ""},
        DefaultCase{"comment", [](Cls_XML_header& h) { return h.comment(3); }, ""},
        DefaultCase{"SpecApp", [](Cls_XML_header& h) { return h.SpecApp(); }, "None"},
        DefaultCase{"RGB_JPEG_codec", [](Cls_XML_header& h) { return h.RGB_JPEG_codec(); }, "unknown"},
        DefaultCase{"RGB_JPEG_Quality", [](Cls_XML_header& h) { return h.RGB_JPEG_Quality(); }, "0000"},
        DefaultCase{"Hdx_Heat_Length", [](Cls_XML_header& h) { return h.Hdx_Heat_Length(); }, ""},
        DefaultCase{"Goal_Compensation", [](Cls_XML_header& h) { return h.Goal_Compensation(); }, "0"},
        DefaultCase{"Split_Compensation", [](Cls_XML_header& h) { return h.Split_Compensation(); }, "0"},
        DefaultCase{"Hdx_box_delay", [](Cls_XML_header& h) { return h.Hdx_box_delay(); }, "0"},
        DefaultCase{"Hdx_Heat_Click_Time", [](Cls_XML_header& h) { return std::to_string(h.Hdx_Heat_Click_Time(2)); },
                    "0"},
        DefaultCase{"Hdx_dead_heat", [](Cls_XML_header& h) { return B(h.Hdx_dead_heat(2)); }, "False"}),
    By_Name());

struct RaiseCase {
    const char* name;
    std::function<void(Cls_XML_header&)> call;
};

class RaiseTest : public XmlHeaderTest, public ::testing::WithParamInterface<RaiseCase> {};

// A "raise" accessor throws 91 both when its element is absent and when the last
// load failed; a created document answers it.
TEST_P(RaiseTest, ThrowsObjectNotSetWithoutTheElement) {
    Cls_XML_header broken;
    broken.Set_XML_string("<NXF_header><file_data><comp_name>x</file_data>");
    ASSERT_FALSE(broken.Has_XML());
    EXPECT_EQ(Expect_Raise([&] { GetParam().call(broken); }), 91);

    Cls_XML_header other;
    other.Set_XML_string("<NXF_header/>");
    ASSERT_TRUE(other.Has_XML());
    EXPECT_EQ(Expect_Raise([&] { GetParam().call(other); }), 91);

    Cls_XML_header created;
    created.Set_rgb(true);
    created.Create_Header();
    // Fill the descriptive placeholders with numbers first so every getter converts.
    created.Set_Hdx_heat_start_Local_mill(1);
    created.Set_Hdx_start_HDMI_events(1);
    EXPECT_EQ(Expect_Raise([&] { GetParam().call(created); }), -1);
}

#define RAISE(expr)                                     \
    RaiseCase {                                         \
#expr, [](Cls_XML_header & h) { (void)h.expr; } \
    }

INSTANTIATE_TEST_SUITE_P(
    Accessors, RaiseTest,
    ::testing::Values(
        RAISE(Update_Time()), RAISE(Set_Update_Time("x")), RAISE(Set_Update_Program("x")), RAISE(Creation_date()),
        RAISE(Set_Creation_date("x")), RAISE(Last_Capture_time()), RAISE(Set_Last_Capture_time("x")),
        RAISE(Streams_no()), RAISE(Set_Streams_no(1)), RAISE(G_Frames_no()), RAISE(Set_Frames_no(1)),
        RAISE(Segments_no()), RAISE(Set_Segments_no(1)), RAISE(Set_Timing_Bias("1")), RAISE(Set_Comp_CaptureInfo("x")),
        RAISE(Capture_sample_size()), RAISE(Set_Capture_sample_size("x")), RAISE(Set_Capture_property("x")),
        RAISE(Set_Selected_crop("x")), RAISE(Set_Capture_source("x")), RAISE(prog_id()), RAISE(Prog_Major()),
        RAISE(Prog_Minor()), RAISE(Prog_Revision()), RAISE(Set_Subject_name("x")), RAISE(Set_comment(2, "x")),
        RAISE(File_comment1()), RAISE(Set_File_comment1("x")), RAISE(Set_SpecApp("x")), RAISE(Hdr_spare1()),
        RAISE(Set_Hdr_spare1("1")), RAISE(RGB_X()), RAISE(Set_RGB_X(1)), RAISE(RGB_Y()), RAISE(Set_RGB_Y(1)),
        RAISE(RGB_Image_size()), RAISE(Set_RGB_Image_size(1)), RAISE(RGB_Max_Seen_size()),
        RAISE(Set_RGB_Max_Seen_size("1")), RAISE(RGB_Comp_Threshold()), RAISE(Set_RGB_Comp_Threshold("1")),
        RAISE(RGB_Compressed_max_Size()), RAISE(Set_RGB_Compressed_max_Size(1)), RAISE(RGB_Compressed_buffer_Size()),
        RAISE(Set_RGB_Compressed_buffer_Size(1)), RAISE(RGB_Compressed_min_Size()),
        RAISE(Set_RGB_Compressed_min_Size(1)), RAISE(RGB_Sample_Size()), RAISE(Set_L_RGB_Sample_Size(1)),
        RAISE(RGB_interlaced()), RAISE(Set_RGB_interlaced(true)), RAISE(RGB_Rotated()), RAISE(Set_RGB_Rotated(true)),
        RAISE(RGB_preview_on()), RAISE(Set_RGB_preview_on(true)), RAISE(RGB_fourcc()), RAISE(Set_RGB_fourcc("IJL")),
        RAISE(Set_RGB_JPEG_codec("Intel")), RAISE(RGB_fps()), RAISE(Set_RGB_fps("0")),
        RAISE(Set_RGB_JPEG_Quality("80")), RAISE(JPG_Reduced_Qual_num()), RAISE(Set_JPG_Reduced_Qual_num(1)),
        RAISE(Hdx_event()), RAISE(Set_Hdx_event("x")), RAISE(Hdx_Heat_ID()), RAISE(Set_Hdx_Heat_ID("x")),
        RAISE(Hdx_Heat_Name()), RAISE(Set_Hdx_Heat_Name("x")), RAISE(Set_Hdx_Heat_Length("480")),
        RAISE(Hdx_Goal_Finish()), RAISE(Hdx_Goal_Split()), RAISE(Hdx_start_DateTime()),
        RAISE(Set_Hdx_start_DateTime("x")), RAISE(Hdx_heat_start_Local_mill()), RAISE(Set_Hdx_heat_start_Local_mill(1)),
        RAISE(Hdx_heat_start_PC_mill()), RAISE(Set_Hdx_heat_start_PC_mill("1")), RAISE(Hdx_start_HDMI_events()),
        RAISE(Set_Hdx_start_HDMI_events(1)), RAISE(Set_Goal_Compensation("1")), RAISE(Set_Split_Compensation("1")),
        RAISE(Set_Hdx_split_firewire_ID("1")), RAISE(Set_Hdx_goal_firewire_ID("1")), RAISE(Set_Hdx_ph_serial("1")),
        RAISE(Hdx_Dog_name(1)), RAISE(Set_Hdx_Dog_name(1, "x")), RAISE(Hdx_Heat_time(1, false)),
        RAISE(Hdx_Heat_time(1, true)), RAISE(Set_Hdx_Heat_time(1, true, 1)), RAISE(Hdx_heat_frame(1)),
        RAISE(Set_Hdx_heat_frame(1, 1)), RAISE(Hdx_split_frame(1)), RAISE(Set_Hdx_split_frame(1, 1))),
    By_Name());

TEST_F(XmlHeaderTest, IgnoreSettersDoNothingWithoutTheElement) {
    Cls_XML_header h;
    h.Set_XML_string("<NXF_header>\r\n<x>1</x>\r\n</NXF_header>");
    ASSERT_TRUE(h.Has_XML());
    const std::string before = h.XML_string();
    EXPECT_NO_THROW(h.Set_Phidget_serial("42"));
    EXPECT_NO_THROW(h.Set_Hdx_Goal_Finish("1,2,3,4"));
    EXPECT_NO_THROW(h.Set_Hdx_Goal_Split("1,2,3,4"));
    EXPECT_NO_THROW(h.Set_Hdx_box_delay("20"));
    EXPECT_NO_THROW(h.Set_Hdx_Heat_Click_Time(1, 5));
    EXPECT_NO_THROW(h.Set_Hdx_dead_heat(1, true));
    EXPECT_EQ(h.XML_string(), before);

    // With the elements there they do write.
    Cls_XML_header c;
    c.Create_Header(origin);
    c.Set_Phidget_serial("42");
    c.Set_Hdx_Goal_Finish("10,20,30,40");
    c.Set_Hdx_box_delay("20");
    EXPECT_EQ(c.Phidget_serial(), "42");
    EXPECT_EQ(c.Hdx_Goal_Finish(), "10,20,30,40");
    EXPECT_EQ(c.Hdx_box_delay(), "20");
}

TEST_F(XmlHeaderTest, LastCaptureTimeFallsBackToCreationDate) {
    Cls_XML_header h;
    h.Create_Header(origin);
    h.Set_XML_string(Replace_Once(h.XML_string(), "<last_capture_time>0000</last_capture_time>", ""));
    EXPECT_EQ(h.Last_Capture_time(), "26-05-16 14:30:00");
    EXPECT_EQ(Expect_Raise([&] { h.Set_Last_Capture_time("x"); }), 91);  // the write side has no fallback
}

TEST_F(XmlHeaderTest, SetterOnMissingElementDoesNotCreateIt) {
    Cls_XML_header h;
    h.Create_Header(origin);
    h.Set_XML_string(Replace_Once(h.XML_string(), "<subject_name>0000</subject_name>", ""));
    EXPECT_EQ(Expect_Raise([&] { h.Set_Subject_name("x"); }), 91);
    EXPECT_EQ(h.XML_string().find("subject_name"), std::string::npos);
}

TEST_F(XmlHeaderTest, FailedLoadLeavesNoDocument) {
    Cls_XML_header h;
    h.Set_rgb(true);
    h.Create_Header(origin);
    ASSERT_TRUE(h.Has_XML());
    for (const char* bad : {"", "   ", "<NXF_header><file_data></NXF_header>", "not xml at all",
                            "<!-- only a comment -->", "<a></a><b></b>", "<a/><?xml version=\"1.0\"?>"}) {
        h.Set_XML_string(bad);
        EXPECT_FALSE(h.Has_XML()) << bad;
        EXPECT_EQ(h.XML_string(), "") << bad;
        EXPECT_EQ(h.Len_XML(), 0);
        EXPECT_EQ(h.XML_len(), 0);
        EXPECT_EQ(Expect_Raise([&] { h.Hdx_event(); }), 91);
    }
    EXPECT_TRUE(dialogs.Messages().empty());
    EXPECT_TRUE(errors.errors.empty());
    h.Set_XML_string("<NXF_header/>");
    EXPECT_TRUE(h.Has_XML());
}

// ---------------------------------------------------------------------------
// text form

TEST_F(XmlHeaderTest, SerialiseLoadSerialiseGivesTheSameText) {
    Cls_XML_header h;
    h.Set_rgb(true);
    h.Create_Header(origin);
    const std::string fresh = h.XML_string();
    Cls_XML_header r;
    r.Set_XML_string(fresh);
    ASSERT_TRUE(r.Has_XML());
    EXPECT_EQ(r.XML_string(), fresh);

    // Also after values with markup characters, Latin-1 and non-Latin-1 text.
    h.Set_Hdx_event("Derby & Cup <Final> \"A\" 'B'");
    h.Set_Hdx_Dog_name(1, "Élan rapide");
    h.Set_Hdx_Dog_name(2, "Ægir € ★");
    h.Set_Hdx_Dog_name(3, "line\r\nbreak\ttab");
    h.Set_comment(5, "");
    const std::string filled = h.XML_string();
    Cls_XML_header s;
    s.Set_XML_string(filled);
    ASSERT_TRUE(s.Has_XML());
    EXPECT_EQ(s.XML_string(), filled);
    EXPECT_EQ(s.Hdx_event(), "Derby & Cup <Final> \"A\" 'B'");
    EXPECT_EQ(s.Hdx_Dog_name(1), "Élan rapide");
    EXPECT_EQ(s.Hdx_Dog_name(2), "Ægir € ★");
    EXPECT_EQ(s.Hdx_Dog_name(3), "line\r\nbreak\ttab");
    EXPECT_EQ(s.comment(5), "");
}

TEST_F(XmlHeaderTest, TextIsLatin1WithReferencesForOtherCharacters) {
    Cls_XML_header h;
    h.Create_Header(origin);
    h.Set_Hdx_Dog_name(1, "\xC3\x89lan");  // É as UTF-8
    h.Set_Hdx_Dog_name(2,
                       "\xE2\x82\xAC"
                       "5");  // € as UTF-8
    const std::string text = h.XML_string();
    EXPECT_NE(text.find("<dog_name>\xC9lan</dog_name>"), std::string::npos);  // one byte
    EXPECT_NE(text.find("<dog_name>&#8364;5</dog_name>"), std::string::npos);
    EXPECT_EQ(h.Len_XML(), static_cast<int32_t>(text.size()));
    // Every byte is one character: no UTF-8 multi-byte sequence remains.
    EXPECT_EQ(text.find("\xC3\x89"), std::string::npos);
}

struct EncodingCase {
    const char* name;
    std::string text;
    std::string dog;  // UTF-8 expected from Hdx_Dog_name(1)
};

class LoadEncodingTest : public XmlHeaderTest, public ::testing::WithParamInterface<EncodingCase> {};

TEST_P(LoadEncodingTest, ReadsTheDeclaredEncodingAndLatin1Otherwise) {
    Cls_XML_header h;
    h.Set_XML_string(GetParam().text);
    ASSERT_TRUE(h.Has_XML());
    EXPECT_EQ(h.Hdx_Dog_name(1), GetParam().dog);
}

INSTANTIATE_TEST_SUITE_P(
    Declarations, LoadEncodingTest,
    ::testing::Values(
        EncodingCase{
            "Latin1Declared",
            "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><h><box id=\"1\"><dog_name>\xC9</dog_name></box></h>",
            "\xC3\x89"},
        EncodingCase{"NoEncoding", "<?xml version=\"1.0\"?>\r\n<h><box id=\"1\"><dog_name>\xC9</dog_name></box></h>",
                     "\xC3\x89"},
        EncodingCase{"NoDeclaration", "<h><box id=\"1\"><dog_name>\xE9t\xE9</dog_name></box></h>", "\xC3\xA9t\xC3\xA9"},
        EncodingCase{"Utf8Declared",
                     "<?xml version=\"1.0\" encoding='UTF-8'?><h><box id='1'><dog_name>\xC3\x89</dog_name></box></h>",
                     "\xC3\x89"},
        EncodingCase{"Reference", "<h><box id=\"1\"><dog_name>&#8364;&#xE9;</dog_name></box></h>",
                     "\xE2\x82\xAC\xC3\xA9"}),
    By_Name());

TEST_F(XmlHeaderTest, LengthsFollowTheText) {
    Cls_XML_header h;
    EXPECT_EQ(h.XML_len(), 0);
    h.Set_rgb(true);
    h.Create_Header(origin);
    const std::string text = h.XML_string();
    EXPECT_EQ(h.Len_XML(), static_cast<int32_t>(text.size()));
    EXPECT_EQ(h.XML_len(), static_cast<int16_t>(text.size()));
    // XML_len is the cached text: it changes only when the text is refreshed.
    h.Set_Hdx_event("A much longer event name than the default");
    EXPECT_EQ(h.XML_len(), static_cast<int16_t>(text.size()));
    const int32_t longer = h.Len_XML();
    EXPECT_GT(longer, static_cast<int32_t>(text.size()));
    EXPECT_EQ(h.XML_len(), longer);
}

TEST_F(XmlHeaderTest, XmlLenPastSixteenBitsIsAnOverflowNotAWrap) {
    Cls_XML_header h;
    h.Create_Header(origin);
    h.Set_Hdx_event(std::string(40000, 'x'));
    EXPECT_GT(h.Len_XML(), 40000);
    EXPECT_EQ(Expect_Raise([&] { h.XML_len(); }), 6);
}

// Realistic worst case of what a new header takes from the machine and workflow.
TEST_F(XmlHeaderTest, FilledHeaderFitsTheTextArea) {
    origin.File_Name =
        "/home/timekeeper/Documents/Houndex HDMI/Captures/2026/Greyhound Derby Championship Finals "
        "Weekend/Greyhound Derby Championship Finals_12_26-05-16 14_30_00.nx3";
    origin.Computer_Name = std::string(63, 'N');
    origin.CPU_Info = "Intel(R) Core(TM) i9-13900K CPU @ 3.00GHz, 32 cores, 5800 MHz, Family 6 Model 183 Stepping 1";
    origin.Total_Memory = "68719476736";
    origin.OS_Version = "Debian GNU/Linux 12 (bookworm) 6.1.0-18-amd64 #1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1";
    origin.Capture_Source =
        "USB3.0 HD Video Capture Device (Model UHD-4K60 Pro) / "
        "vid_534d&pid_2109&mi_00 1920x1080 YUY2 60.00 fps";
    origin.Capture_Sample = "1920*1080, 59 fps";
    origin.Selected_Crop = "1000*1080";
    origin.Phidget_Serial = "2147483647";

    Cls_XML_header h;
    h.Set_rgb(true);
    h.Create_Header(origin);
    const int32_t created = h.Len_XML();
    std::cout << "[ size     ] created header: " << created << " of 32000 characters\n";
    RecordProperty("created_header_characters", created);
    // Everything the writer and the review fill in later, at full width.
    h.Set_Update_Program(origin.Program_Name);
    h.Set_Update_Time("2026-05-16 14:30:00");
    h.Set_Comp_CaptureInfo(origin.Capture_Source);
    h.Set_Capture_sample_size("1920 x 1080 x 24 bit, 6220800 bytes");
    h.Set_Hdx_event(std::string(80, 'E'));
    h.Set_Hdx_Heat_ID("12");
    h.Set_Hdx_Heat_Name(std::string(80, 'H'));
    h.Set_Hdx_start_DateTime("2026-05-16 14:30:00");
    h.Set_Hdx_heat_start_Local_mill(86399999);
    h.Set_Hdx_heat_start_PC_mill("-2147483648");
    for (int16_t box = 1; box <= 8; ++box) {
        h.Set_Hdx_Dog_name(box, std::string(60, 'D'));
        h.Set_Hdx_Heat_time(box, false, 888888);
        h.Set_Hdx_Heat_time(box, true, 888888);
        h.Set_Hdx_Heat_Click_Time(box, -2147483647);
        h.Set_Hdx_heat_frame(box, 32767);
        h.Set_Hdx_split_frame(box, 32767);
    }
    const int32_t size = h.Len_XML();
    std::cout << "[ size     ] filled header: " << size << " of 32000 characters\n";
    RecordProperty("filled_header_characters", size);
    EXPECT_LT(size, 16000) << "less than half of the text area";
    EXPECT_TRUE(errors.errors.empty());
}

// ---------------------------------------------------------------------------
// dump

TEST_F(XmlHeaderTest, DumpWithoutPathGoesToTheDataFolder) {
    Cls_XML_header h;
    h.Set_rgb(true);
    h.Create_Header(origin);
    h.Dump_XML_to_File("");
    const std::string path = Platform::Join_Path(Data_Dir(), "xmldump.xml");
    std::string bytes;
    ASSERT_TRUE(Platform::Read_File(path, bytes));
    EXPECT_EQ(bytes, h.XML_string());
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"XML header dumped to: " + path});
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(XmlHeaderTest, DumpToAGivenPathAndABareName) {
    Cls_XML_header h;
    h.Create_Header(origin);
    const std::string dir = Temp_Dir();
    const std::string path = Platform::Join_Path(dir, "header.xml");
    h.Dump_XML_to_File(path);
    std::string bytes;
    ASSERT_TRUE(Platform::Read_File(path, bytes));
    EXPECT_EQ(bytes, h.XML_string());

    h.Dump_XML_to_File("xmldump_mark.xml");
    const std::string in_data = Platform::Join_Path(Data_Dir(), "xmldump_mark.xml");
    EXPECT_TRUE(Platform::File_Exists(in_data));
    EXPECT_EQ(dialogs.Messages(),
              (std::vector<std::string>{"XML header dumped to: " + path, "XML header dumped to: " + in_data}));
}

TEST_F(XmlHeaderTest, DumpFailuresAreReportedNotClaimed) {
    Cls_XML_header h;
    h.Create_Header(origin);
    // A read-only target stays as it was.
    const std::string path = Platform::Join_Path(Temp_Dir(), "locked.xml");
    ASSERT_TRUE(Platform::Write_File_Atomic(path, "old"));
    ASSERT_TRUE(Platform::Set_Read_Only(path, true));
    h.Dump_XML_to_File(path);
    std::string bytes;
    ASSERT_TRUE(Platform::Read_File(path, bytes));
    EXPECT_EQ(bytes, "old");
    // A folder that does not exist.
    h.Dump_XML_to_File(Platform::Join_Path(Temp_Dir(), "no/such/folder/x.xml"));
    // No document to dump.
    Cls_XML_header empty;
    empty.Set_XML_string("<broken");
    empty.Dump_XML_to_File("");
    EXPECT_FALSE(Platform::File_Exists(Platform::Join_Path(Data_Dir(), "xmldump.xml")));

    ASSERT_EQ(errors.errors.size(), 3u);
    for (const auto& e : errors.errors) EXPECT_EQ(e.location, "Dump_XML_to_File of Class Module Cls_XML_header");
    EXPECT_EQ(errors.errors[0].number, 70);
    EXPECT_TRUE(dialogs.Messages().empty());
}

}  // namespace

// ---- documents read from other writers ---------------------------------------

namespace {

struct Foreign_Case {
    const char* label;
    std::string text;  // a UTF-8 document the program did not write
    std::string kept;  // what must still be in the text written back
};

void PrintTo(const Foreign_Case& c, std::ostream* os) { *os << c.label; }

class Foreign_Header_Test : public Hdx_Test, public ::testing::WithParamInterface<Foreign_Case> {};

// The header is written back as ISO-8859-1 whenever a recording's header block
// is rewritten; characters that encoding cannot hold must not leave a text that
// no longer loads (the recording would be lost).
TEST_P(Foreign_Header_Test, WrittenTextLoadsAgainUnchanged) {
    const Foreign_Case& c = GetParam();
    Cls_XML_header h;
    h.Set_XML_string(c.text);
    ASSERT_TRUE(h.Has_XML());
    const std::string first = h.XML_string();
    EXPECT_TRUE(Fits_Latin1(Latin1_To_Utf8(first)));
    Cls_XML_header again;
    again.Set_XML_string(first);
    ASSERT_TRUE(again.Has_XML()) << first;
    EXPECT_EQ(again.XML_string(), first);
    EXPECT_NE(first.find(c.kept), std::string::npos) << first;
}

INSTANTIATE_TEST_SUITE_P(
    Utf8, Foreign_Header_Test,
    ::testing::Values(
        // found by fuzzing: a combining mark in an element name
        Foreign_Case{"element name", "\xEF\xBB\xBF<\xCD\x90/>", "<_/>"},
        Foreign_Case{"attribute name", "\xEF\xBB\xBF<NXF_header a\xE2\x82\xAC=\"1\"/>", "a_=\"1\""},
        Foreign_Case{"comment", "\xEF\xBB\xBF<!-- \xE2\x82\xAC --><NXF_header/>", "<!-- ? -->"},
        Foreign_Case{"processing instruction", "\xEF\xBB\xBF<?p\xE2\x82\xAC x\xE2\x82\xAC?><NXF_header/>",
                     "<?p_ x?\?>"},
        Foreign_Case{"CDATA",
                     "\xEF\xBB\xBF<NXF_header><hdx_event><![CDATA[Cup \xE2\x82\xAC]]></hdx_event></NXF_header>",
                     "<hdx_event>Cup &#8364;</hdx_event>"},
        Foreign_Case{"declared UTF-8",
                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?><NXF_header><hdx_event>\xC5\x81\xC3\xB3"
                     "d\xC5\xBA</hdx_event>"
                     "<\xC5\x81/></NXF_header>",
                     "&#321;\xF3"
                     "d&#378;"}),
    By_Name());

TEST_F(XmlHeaderTest, CdataWithForeignCharactersKeepsItsText) {
    Cls_XML_header h;
    h.Set_XML_string(
        "\xEF\xBB\xBF<NXF_header><houndex><hdx_event><![CDATA[Cup <\xE2\x82\xAC>]]></hdx_event></houndex>"
        "</NXF_header>");
    ASSERT_TRUE(h.Has_XML());
    EXPECT_EQ(h.Hdx_event(), "Cup <\xE2\x82\xAC>");
}

}  // namespace

// A recording keeps both what its stamps are and its declaration as official:
// each in its own spare element, neither overwriting the other whatever the order.
TEST_F(XmlHeaderTest, StampKindAndOfficialDeclarationKeepTheirOwnSpareElements) {
    for (const bool stamp_first : {true, false}) {
        SCOPED_TRACE(stamp_first ? "stamp first" : "declaration first");
        Cls_XML_header h;
        h.Create_Header(origin);
        EXPECT_EQ(h.Frame_Stamp(), "unknown");
        const std::string declaration = "official|2026-12-09 21:40:00|ab12";
        if (stamp_first) h.Set_Frame_Stamp("device");
        h.Set_Hdr_spare2(declaration);
        if (!stamp_first) h.Set_Frame_Stamp("device");
        EXPECT_EQ(h.Frame_Stamp(), "device");
        EXPECT_EQ(h.Hdr_spare2(), declaration);
    }
}
