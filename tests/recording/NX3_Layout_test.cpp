#include <cstring>
#include <string>
#include <vector>

#include "Test_Env.h"
#include "platform/HdxError.h"
#include "recording/NX3_Layout.h"

namespace {

TEST(NX3_Bytes, MultiByteFieldsAreLittleEndianSigned) {
    struct Case {
        int32_t value;
        uint8_t bytes[4];
    } cases[] = {{1, {1, 0, 0, 0}},
                 {32016, {0x10, 0x7D, 0, 0}},
                 {-2, {0xFE, 0xFF, 0xFF, 0xFF}},
                 {0x12345678, {0x78, 0x56, 0x34, 0x12}},
                 {-2147483647 - 1, {0, 0, 0, 0x80}}};
    for (const Case& c : cases) {
        uint8_t out[4] = {};
        NX3::Put_I32(out, c.value);
        EXPECT_EQ(std::memcmp(out, c.bytes, 4), 0) << c.value;
        EXPECT_EQ(NX3::Get_I32(c.bytes), c.value);
    }
    uint8_t two[2];
    NX3::Put_I16(two, -300);
    EXPECT_EQ(two[0], 0xD4);
    EXPECT_EQ(two[1], 0xFE);
    EXPECT_EQ(NX3::Get_I16(two), -300);
}

TEST(NX3_Positions, SamplesFollowTheHeaderBlockAtFixedSpacing) {
    struct Case {
        int32_t n;
        int64_t frame, offset;
    } cases[] = {{128000, 1, 32016}, {128000, 3, 288132}, {67000, 2, 32016 + 67058}, {1, 10, 32016 + 9 * 59}};
    for (const Case& c : cases) {
        EXPECT_EQ(NX3::Sample_Size(c.n), c.n + 58);
        EXPECT_EQ(NX3::Sample_Offset(c.frame, NX3::Sample_Size(c.n)), c.offset) << c.n << " frame " << c.frame;
    }
    // Only whole samples count; no sample size means no samples.
    EXPECT_EQ(NX3::Complete_Samples(32016, 1058), 0);
    EXPECT_EQ(NX3::Complete_Samples(32016 + 3 * 1058, 1058), 3);
    EXPECT_EQ(NX3::Complete_Samples(32016 + 3 * 1058 + 1057, 1058), 3);
    EXPECT_EQ(NX3::Complete_Samples(100, 1058), 0);
    EXPECT_EQ(NX3::Complete_Samples(900000, 0), 0);
    EXPECT_EQ(NX3::Complete_Samples(900000, 58), 0);
}

TEST(NX3_Header_Block, CarriesTheDocumentBetweenTheMagics) {
    const std::string text = "<NXF_header>\r\n</NXF_header>";
    std::vector<uint8_t> block;
    NX3::Build_Header_Block(text, block);
    ASSERT_EQ(block.size(), 32016u);
    EXPECT_EQ(std::string(block.begin(), block.begin() + 4), "NXF3");
    EXPECT_EQ(NX3::Get_I32(block.data() + 4), 32016);
    EXPECT_EQ(NX3::Get_I32(block.data() + 8), static_cast<int32_t>(text.size()));
    EXPECT_EQ(std::string(block.begin() + 12, block.begin() + 12 + static_cast<long>(text.size())), text);
    for (size_t i = 12 + text.size(); i < 32012; ++i) ASSERT_EQ(block[i], 0) << i;
    EXPECT_EQ(std::string(block.begin() + 32012, block.end()), "NXFX");

    const NX3::Header_Text back = NX3::Parse_Header_Block(block.data(), block.size());
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(back.text, text);
}

TEST(NX3_Header_Block, ADocumentOfExactly32000CharactersFillsTheTextArea) {
    const std::string text(32000, 'x');
    std::vector<uint8_t> block;
    NX3::Build_Header_Block(text, block);
    EXPECT_EQ(block[32011], 'x');
    EXPECT_EQ(std::string(block.begin() + 32012, block.end()), "NXFX");
    EXPECT_EQ(NX3::Parse_Header_Block(block.data(), block.size()).text, text);
}

TEST(NX3_Header_Block, ALongerDocumentIsRefusedAndTheBlockLeftAlone) {
    std::vector<uint8_t> block(5, 7);
    try {
        NX3::Build_Header_Block(std::string(32001, 'x'), block);
        FAIL() << "no error";
    } catch (const HdxError& e) {
        EXPECT_NE(e.description.find("32000"), std::string::npos) << e.description;
    }
    EXPECT_EQ(block, std::vector<uint8_t>(5, 7));
}

TEST(NX3_Header_Block, DamagedLengthFieldsAreRejectedWithoutReadingPastTheBytes) {
    std::vector<uint8_t> block;
    NX3::Build_Header_Block("<a/>", block);
    struct Case {
        int32_t length_field;
        size_t bytes_there;
        bool ok;
    } cases[] = {{4, 32016, true},           {32000, 32016, true}, {32001, 32016, false}, {-1, 32016, false},
                 {2000000000, 32016, false}, {40, 30, false},      {4, 16, true},         {4, 11, false}};
    for (const Case& c : cases) {
        NX3::Put_I32(block.data() + 8, c.length_field);
        const NX3::Header_Text h = NX3::Parse_Header_Block(block.data(), c.bytes_there);
        EXPECT_EQ(h.ok, c.ok) << c.length_field << " / " << c.bytes_there;
        if (!h.ok) {
            EXPECT_FALSE(h.problem.empty());
        }
    }
    // The text is cut at its first zero byte.
    NX3::Put_I32(block.data() + 8, 100);
    const NX3::Header_Text cut = NX3::Parse_Header_Block(block.data(), block.size());
    ASSERT_TRUE(cut.ok);
    EXPECT_EQ(cut.text, "<a/>");
}

TEST(NX3_Sample, FixedFieldsAndFrameFieldsSitAtTheirOffsets) {
    const int32_t n = 1000;
    std::vector<uint8_t> s(static_cast<size_t>(NX3::Sample_Size(n)), 0xEE);
    NX3::Format_Sample(s.data(), n);
    NX3::Set_Sample_Frame(s.data(), -123456, 40, 52200000, 68, 777);
    const std::string text(s.begin(), s.end());
    EXPECT_EQ(text.substr(0, 4), "RGBS");
    EXPECT_EQ(NX3::Get_I16(&s[4]), 0);
    EXPECT_EQ(NX3::Get_I16(&s[6]), 0);
    EXPECT_EQ(NX3::Get_I32(&s[8]), -123456);
    EXPECT_EQ(NX3::Get_I32(&s[12]), 40);
    EXPECT_EQ(NX3::Get_I32(&s[16]), 52200000);
    EXPECT_EQ(NX3::Get_I32(&s[20]), 0);
    EXPECT_EQ(NX3::Get_I32(&s[24]), 68);
    EXPECT_EQ(NX3::Get_I16(&s[28]), 0);
    EXPECT_EQ(NX3::Get_I16(&s[30]), 0);
    EXPECT_EQ(NX3::Get_I32(&s[32]), 777);
    EXPECT_EQ(NX3::Get_I32(&s[36]), 0);
    EXPECT_EQ(text.substr(40, 4), "RGBE");
    EXPECT_EQ(NX3::Get_I16(&s[44]), 1);
    EXPECT_EQ(NX3::Get_I32(&s[46]), n);
    EXPECT_EQ(NX3::Get_I32(&s[50]), 1);
    EXPECT_EQ(s[54], 0xEE);  // the data area is the caller's
    EXPECT_EQ(text.substr(54 + n, 4), "RGBF");

    const NX3::Sample_Fields f = NX3::Read_Sample_Fields(s.data());
    EXPECT_TRUE(f.start_ok);
    EXPECT_EQ(f.capture_mill, -123456);
    EXPECT_EQ(f.capture_delta, 40);
    EXPECT_EQ(f.capture_local, 52200000);
    EXPECT_EQ(f.quality, 68);
    EXPECT_EQ(f.jpeg_size, 777);
    EXPECT_EQ(f.element_count, n);
    s[0] = 'X';
    EXPECT_FALSE(NX3::Read_Sample_Fields(s.data()).start_ok);
}

}  // namespace
