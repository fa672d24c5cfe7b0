#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Test_Pictures.h"
#include "recording/Picture_Ops.h"
#include "recording/cDIBSection.h"

namespace {

using Picture_Ops::deinterlaceFrame2;
using Picture_Ops::Rotate90;

std::vector<uint8_t> Bytes(const cDIBSection& dib) {
    return {dib.DIBSectionBitsPtr(), dib.DIBSectionBitsPtr() + dib.SizeImage()};
}

struct Size_Case {
    int16_t width, height;
};

class Deinterlace : public ::testing::TestWithParam<Size_Case> {
protected:
    void SetUp() override {
        const Size_Case c = GetParam();
        ASSERT_TRUE(source.Create(c.width, c.height));
        ASSERT_TRUE(target.Create(c.width, c.height));
    }
    void Run(int16_t field) {
        deinterlaceFrame2(source.DIBSectionBitsPtr(), target.DIBSectionBitsPtr(), source.Width(), source.Height(),
                          field);
    }
    cDIBSection source, target;
};

// Code 2 shows the field captured first (top row and every second row below),
// code 1 the other one; each result is a full-height picture of that field only.
TEST_P(Deinterlace, EachFieldFillsTheWholePictureWithWhatItSaw) {
    for (int32_t y = 0; y < source.Height(); ++y) Fill_Rows(source, y, 1, y % 2 == 0 ? Red : Blue);
    const std::vector<uint8_t> before = Bytes(source);
    struct {
        int16_t code;
        uint32_t colour;
    } fields[] = {{2, Red}, {1, Blue}};
    for (const auto& f : fields) {
        if (f.code == 1 && source.Height() == 1) continue;  // no second field row
        target.Fill_with_RGB(Black);
        Run(f.code);
        for (int32_t y = 0; y < target.Height(); ++y)
            for (int32_t x = 0; x < target.Width(); ++x)
                ASSERT_EQ(target.Get_Pixel(x, y), f.colour) << "code " << f.code << " at " << x << "," << y;
    }
    EXPECT_EQ(Bytes(source), before);  // the source is not changed
}

TEST_P(Deinterlace, MissingLinesAreInterpolatedBetweenTheFieldsLines) {
    // A sawtooth of ramps: picture row y has grey level 3 * (y % 80). Inside a
    // ramp the rows between a field's rows come out on the ramp too; the edge
    // rows without a field row on one side repeat their single neighbour.
    auto level = [](int32_t y) { return static_cast<uint32_t>(3 * (y % 80)); };
    auto grey = [](uint32_t g) { return g | (g << 8) | (g << 16); };
    for (int32_t y = 0; y < source.Height(); ++y) Fill_Rows(source, y, 1, grey(level(y)));
    const int32_t h = source.Height();
    for (int16_t code : {int16_t{2}, int16_t{1}}) {
        if (code == 1 && h == 1) continue;
        Run(code);
        const int first = code == 2 ? 0 : 1;
        for (int32_t y = 0; y < h; ++y) {
            uint32_t expected = level(y);
            if ((y - first) % 2 != 0) {
                if (y - 1 < 0)
                    expected = level(y + 1);
                else if (y + 1 >= h)
                    expected = level(y - 1);
                else if ((y - 1) / 80 != (y + 1) / 80)
                    continue;  // across a ramp's end
            }
            ASSERT_EQ(target.Get_Pixel(target.Width() - 1, y), grey(expected)) << "code " << code << " row " << y;
        }
    }
}

TEST_P(Deinterlace, RowPaddingOfTheTargetIsLeftAlone) {
    Fill_Noise(source, 7, 100);
    std::memset(target.DIBSectionBitsPtr(), 0x5A, static_cast<size_t>(target.SizeImage()));
    Run(2);
    const int32_t used = target.Width() * 3;
    for (int32_t r = 0; r < target.Height(); ++r)
        for (int32_t i = used; i < target.BytesPerScanLine(); ++i)
            ASSERT_EQ(target.DIBSectionBitsPtr()[r * target.BytesPerScanLine() + i], 0x5A);
}

INSTANTIATE_TEST_SUITE_P(Sizes, Deinterlace,
                         ::testing::Values(Size_Case{7, 6}, Size_Case{5, 5}, Size_Case{3, 2}, Size_Case{4, 1},
                                           Size_Case{720, 576}, Size_Case{721, 9}),
                         [](const auto& param_info) {
                             return std::to_string(param_info.param.width) + "x" +
                                    std::to_string(param_info.param.height);
                         });

TEST(Deinterlace_Codes, AnUnknownFieldCodeLeavesTheTargetAlone) {
    cDIBSection source, target;
    ASSERT_TRUE(source.Create(6, 4));
    ASSERT_TRUE(target.Create(6, 4));
    Fill_Noise(source, 1, 100);
    target.Fill_with_RGB(Green);
    for (int16_t code : {int16_t{0}, int16_t{3}, int16_t{-1}}) {
        deinterlaceFrame2(source.DIBSectionBitsPtr(), target.DIBSectionBitsPtr(), 6, 4, code);
        EXPECT_EQ(target.Get_Pixel(0, 0), Green) << code;
        EXPECT_EQ(target.Get_Pixel(5, 3), Green) << code;
    }
}

TEST(Deinterlace_Codes, OneRowPictureShowsItsRowForBothFields) {
    cDIBSection source, target;
    ASSERT_TRUE(source.Create(5, 1));
    ASSERT_TRUE(target.Create(5, 1));
    source.Fill_with_RGB(Red);
    for (int16_t code : {int16_t{1}, int16_t{2}}) {
        target.Fill_with_RGB(Black);
        deinterlaceFrame2(source.DIBSectionBitsPtr(), target.DIBSectionBitsPtr(), 5, 1, code);
        EXPECT_EQ(target.Get_Pixel(4, 0), Red) << code;
    }
}

// A quarter turn clockwise: the top row becomes the right column.
TEST(Rotate, SwapsWidthAndHeightAndTurnsThePictureAQuarterClockwise) {
    cDIBSection source, target;
    ASSERT_TRUE(source.Create(3, 2));
    // source     target (2 x 3)
    //  a b c      d a
    //  d e f      e b
    //             f c
    const uint32_t a = 0x010101, b = 0x020202, c = 0x030303, d = 0x040404, e = 0x050505, f = 0x060606;
    source.Set_Pixel(0, 0, a);
    source.Set_Pixel(1, 0, b);
    source.Set_Pixel(2, 0, c);
    source.Set_Pixel(0, 1, d);
    source.Set_Pixel(1, 1, e);
    source.Set_Pixel(2, 1, f);
    ASSERT_TRUE(target.Create(source.Height(), source.Width()));
    Rotate90(source.DIBSectionBitsPtr(), target.DIBSectionBitsPtr(), source.Width(), source.Height(), 0);
    const uint32_t expected[3][2] = {{d, a}, {e, b}, {f, c}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x) EXPECT_EQ(target.Get_Pixel(x, y), expected[y][x]) << x << "," << y;
}

TEST(Rotate, FourQuarterTurnsGiveTheOriginalBack) {
    const std::pair<int32_t, int32_t> sizes[] = {{720, 576}, {7, 3}, {1, 5}, {401, 2}};
    for (const auto& [w, h] : sizes) {
        cDIBSection p0, p1;
        ASSERT_TRUE(p0.Create(w, h));
        ASSERT_TRUE(p1.Create(h, w));
        Fill_Noise(p0, static_cast<uint32_t>(w * h), 120);
        const std::vector<uint8_t> original = Bytes(p0);
        cDIBSection* from = &p0;
        cDIBSection* to = &p1;
        for (int turn = 0; turn < 4; ++turn) {
            Rotate90(from->DIBSectionBitsPtr(), to->DIBSectionBitsPtr(), from->Width(), from->Height(), 0);
            if (turn < 3) {
                // the next target is the other picture, re-created at the swapped size
                std::swap(from, to);
                ASSERT_TRUE(to->Create(from->Height(), from->Width()));
            }
        }
        ASSERT_EQ(to->Width(), w);
        // compare pixel bytes only; padding is not part of the picture
        for (int32_t y = 0; y < h; ++y)
            ASSERT_EQ(std::memcmp(to->Scan_Line(y), original.data() + (h - 1 - y) * p0.BytesPerScanLine(), w * 3), 0)
                << w << " x " << h << " row " << y;
    }
}

TEST(Rotate, SourceIsUnchangedAndWorksInPlace) {
    cDIBSection source, target;
    ASSERT_TRUE(source.Create(9, 4));
    ASSERT_TRUE(target.Create(4, 9));
    Fill_Noise(source, 3, 120);
    const std::vector<uint8_t> before = Bytes(source);
    Rotate90(source.DIBSectionBitsPtr(), target.DIBSectionBitsPtr(), 9, 4, 0);
    EXPECT_EQ(Bytes(source), before);
    // in place: a buffer large enough for both layouts
    std::vector<uint8_t> buffer(std::max(source.SizeImage(), target.SizeImage()));
    std::memcpy(buffer.data(), before.data(), before.size());
    Rotate90(buffer.data(), buffer.data(), 9, 4, 0);
    EXPECT_EQ(std::memcmp(buffer.data(), target.DIBSectionBitsPtr(), static_cast<size_t>(target.SizeImage())), 0);
}

TEST(Version, IsSixtyFourCharactersOfText) {
    const char* v = Picture_Ops::BlendVersion();
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(std::strlen(v), 64u);
    EXPECT_EQ(std::string(v).rfind("Houndex picture operations", 0), 0u);
}

}  // namespace
