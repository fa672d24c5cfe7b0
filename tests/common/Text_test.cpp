#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "Test_Name.h"
#include "common/Text.h"

namespace {

struct Number_Case {
    const char* name;
    const char* text;
    Whole_Number result;
    int64_t value;
};

class Whole_Number_Test : public ::testing::TestWithParam<Number_Case> {};

TEST_P(Whole_Number_Test, ReadsOnlyWholeNumbersAndKnowsTheirRange) {
    const Number_Case& c = GetParam();
    int64_t value = -7;
    EXPECT_EQ(Parse_Whole_Number(c.text, value), c.result);
    EXPECT_EQ(value, c.result == Whole_Number::Ok ? c.value : -7) << "a refused text leaves the value alone";
}

constexpr int64_t Max = std::numeric_limits<int64_t>::max();
constexpr int64_t Min = std::numeric_limits<int64_t>::min();

INSTANTIATE_TEST_SUITE_P(
    Texts, Whole_Number_Test,
    ::testing::Values(Number_Case{"plain", "25", Whole_Number::Ok, 25},
                      Number_Case{"signed", "-480", Whole_Number::Ok, -480},
                      Number_Case{"plus sign", "+7", Whole_Number::Ok, 7},
                      Number_Case{"leading zeros", "007", Whole_Number::Ok, 7},
                      Number_Case{"largest", "9223372036854775807", Whole_Number::Ok, Max},
                      Number_Case{"lowest", "-9223372036854775808", Whole_Number::Ok, Min},
                      Number_Case{"one past largest", "9223372036854775808", Whole_Number::Out_Of_Range, 0},
                      Number_Case{"one below lowest", "-9223372036854775809", Whole_Number::Out_Of_Range, 0},
                      Number_Case{"far too long", "123456789012345678901234567890", Whole_Number::Out_Of_Range, 0},
                      Number_Case{"empty", "", Whole_Number::Not_A_Number, 0},
                      Number_Case{"sign only", "-", Whole_Number::Not_A_Number, 0},
                      Number_Case{"blank before", " 5", Whole_Number::Not_A_Number, 0},
                      Number_Case{"blank after", "5 ", Whole_Number::Not_A_Number, 0},
                      Number_Case{"decimal point", "2.5", Whole_Number::Not_A_Number, 0},
                      Number_Case{"hexadecimal", "0x10", Whole_Number::Not_A_Number, 0},
                      Number_Case{"two signs", "--3", Whole_Number::Not_A_Number, 0},
                      Number_Case{"overflow then letter", "99999999999999999999x", Whole_Number::Not_A_Number, 0}),
    By_Name());

TEST(Whole_Number_In, RefusesValuesOutsideTheCallersRange) {
    int64_t v = 0;
    EXPECT_TRUE(Whole_Number_In("6", 1, 6, v));
    EXPECT_EQ(v, 6);
    EXPECT_FALSE(Whole_Number_In("7", 1, 6, v));
    EXPECT_FALSE(Whole_Number_In("0", 1, 6, v));
    EXPECT_EQ(v, 6);
}

TEST(Text_Case, AsciiOnlyWhateverTheLocale) {
    EXPECT_EQ(Lower_Case("Serial:/dev/ttyACM0"), "serial:/dev/ttyacm0");
    EXPECT_EQ(Upper_Case("a4 Letter"), "A4 LETTER");
    // Bytes of UTF-8 names pass through unchanged.
    EXPECT_EQ(Lower_Case("\xC3\x84NNE"), "\xC3\x84nne");
    EXPECT_TRUE(Same_Ignoring_Case("Goal_Lines", "goal_lines"));
    EXPECT_FALSE(Same_Ignoring_Case("Goal", "Goal_"));
    EXPECT_EQ(Trim_Blanks(" \t12, 3 \t"), "12, 3");
    EXPECT_EQ(Trim_Blanks(" \t "), "");
}

TEST(Json_Text, EscapesWhatJsonRequiresAndKeepsUtf8) {
    EXPECT_EQ(Json_Text("Dog \"Zebra\" \\ 1\n\t\x01"), "\"Dog \\\"Zebra\\\" \\\\ 1\\n\\t\\u0001\"");
    EXPECT_EQ(Json_Text("B\xC3\xA4r"), "\"B\xC3\xA4r\"");
}

}  // namespace
