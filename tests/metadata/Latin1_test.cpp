#include <string>

#include <gtest/gtest.h>

#include "Test_Name.h"
#include "metadata/Latin1.h"

namespace {

struct Convert_Case {
    const char* label;
    std::string utf8, latin1;
    bool fits;
};

class Latin1_Convert_Test : public ::testing::TestWithParam<Convert_Case> {};

TEST_P(Latin1_Convert_Test, Utf8ToLatin1) {
    EXPECT_EQ(Utf8_To_Latin1(GetParam().utf8), GetParam().latin1);
    EXPECT_EQ(Fits_Latin1(GetParam().utf8), GetParam().fits);
    if (GetParam().fits) {
        EXPECT_EQ(Latin1_To_Utf8(GetParam().latin1), GetParam().utf8);
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, Latin1_Convert_Test,
                         ::testing::Values(Convert_Case{"Ascii", "Rex 12", "Rex 12", true},
                                           Convert_Case{"Accents", "Zo\xC3\xAB \xC3\x85 \xC3\xBF", "Zo\xEB \xC5 \xFF",
                                                        true},
                                           Convert_Case{"C1", "\xC2\x80\xC2\x9F", "\x80\x9F", true},
                                           Convert_Case{"Euro", "\xE2\x82\xAC", "&#8364;", false},
                                           Convert_Case{"FourBytes", "\xF0\x9F\x90\x95", "&#128021;", false},
                                           Convert_Case{"LoneLatin1Byte", "Zo\xEB", "Zo\xEB", false},
                                           Convert_Case{"Overlong", "\xC0\xAF", "\xC0\xAF", false},
                                           Convert_Case{"Surrogate", "\xED\xA0\x80", "\xED\xA0\x80", false},
                                           Convert_Case{"Truncated", "\xE2\x82", "\xE2\x82", false},
                                           Convert_Case{"PastMax", "\xF4\x90\x80\x80", "\xF4\x90\x80\x80", false},
                                           Convert_Case{"Empty", "", "", true}),
                         By_Name());

TEST(Latin1, EveryByteSurvivesTheRoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    const std::string utf8 = Latin1_To_Utf8(all);
    EXPECT_TRUE(Is_Utf8(utf8));
    EXPECT_TRUE(Fits_Latin1(utf8));
    EXPECT_EQ(Utf8_To_Latin1(utf8), all);
}

TEST(Latin1, NextCharacterStepsOverWholeSequencesAndSingleBadBytes) {
    const std::string text =
        "a\xC3\xA9\xE2\x82\xAC\xFF"
        "b";
    size_t pos = 0;
    uint32_t cp = 0;
    EXPECT_TRUE(Next_Utf8_Char(text, pos, cp));
    EXPECT_EQ(cp, 'a');
    EXPECT_TRUE(Next_Utf8_Char(text, pos, cp));
    EXPECT_EQ(cp, 0xE9u);
    EXPECT_EQ(pos, 3u);
    EXPECT_TRUE(Next_Utf8_Char(text, pos, cp));
    EXPECT_EQ(cp, 0x20ACu);
    EXPECT_FALSE(Next_Utf8_Char(text, pos, cp));
    EXPECT_EQ(pos, 7u);
    EXPECT_TRUE(Next_Utf8_Char(text, pos, cp));
    EXPECT_EQ(cp, 'b');
    EXPECT_EQ(pos, text.size());
}

struct Encoding_Case {
    const char* label;
    std::string text;
    pugi::xml_encoding encoding;
};

class Latin1_Encoding_Test : public ::testing::TestWithParam<Encoding_Case> {};

TEST_P(Latin1_Encoding_Test, DeclarationNamesTheEncoding) {
    EXPECT_EQ(XML_Text_Encoding(GetParam().text), GetParam().encoding);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Latin1_Encoding_Test,
    ::testing::Values(
        Encoding_Case{"Latin1", "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><a/>", pugi::encoding_latin1},
        Encoding_Case{"Utf8", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a/>", pugi::encoding_utf8},
        Encoding_Case{"Utf8SingleQuotes", "  <?xml version='1.0' encoding='utf8'?><a/>", pugi::encoding_utf8},
        Encoding_Case{"Bom", "\xEF\xBB\xBF<a/>", pugi::encoding_utf8},
        Encoding_Case{"Utf8ClaimedOverLatin1", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\xE4</a>",
                      pugi::encoding_latin1},
        Encoding_Case{"BomOverLatin1", "\xEF\xBB\xBF<a>\xE4</a>", pugi::encoding_latin1},
        Encoding_Case{"NoEncoding", "<?xml version=\"1.0\"?><a/>", pugi::encoding_latin1},
        Encoding_Case{"NoDeclaration", "<a/>", pugi::encoding_latin1},
        Encoding_Case{"Unclosed", "<?xml version=\"1.0\" encoding=\"utf-8", pugi::encoding_latin1},
        Encoding_Case{"Empty", "", pugi::encoding_latin1}),
    By_Name());

}  // namespace
