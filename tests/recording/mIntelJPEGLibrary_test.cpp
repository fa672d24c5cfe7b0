#include <cstring>
#include <string>
#include <vector>

#include <turbojpeg.h>

#include "Test_Env.h"
#include "Test_Pictures.h"
#include "platform/HdxError.h"
#include "recording/cDIBSection.h"
#include "recording/mIntelJPEGLibrary.h"

namespace {

using mIntelJPEGLibrary::Decode_JPG_To_DIB;
using mIntelJPEGLibrary::Encode_DIB_To_JPG;

std::vector<uint8_t> Encode(const cDIBSection& dib, int quality) {
    std::vector<uint8_t> out(static_cast<size_t>(mIntelJPEGLibrary::Worst_Case_Size(dib.Width(), dib.Height())));
    int32_t size = static_cast<int32_t>(out.size());
    EXPECT_TRUE(Encode_DIB_To_JPG(dib, out.data(), size, quality));
    out.resize(static_cast<size_t>(size));
    return out;
}

// Bands from the top: red, green, blue, white; a black block in the top left corner.
void Bands(cDIBSection& dib, int32_t w, int32_t h) {
    ASSERT_TRUE(dib.Create(w, h));
    const uint32_t colours[] = {Red, Green, Blue, White};
    for (int band = 0; band < 4; ++band) Fill_Rows(dib, band * h / 4, (band + 1) * h / 4 - band * h / 4, colours[band]);
    for (int32_t y = 0; y < h / 4; ++y)
        for (int32_t x = 0; x < w / 4; ++x) dib.Set_Pixel(x, y, Black);
}

struct Round_Trip_Case {
    int32_t width, height;
    int quality;
};

class Jpeg_Round_Trip : public Hdx_Test, public ::testing::WithParamInterface<Round_Trip_Case> {};

TEST_P(Jpeg_Round_Trip, PictureComesBackUprightWithItsColours) {
    const Round_Trip_Case c = GetParam();
    cDIBSection original;
    Bands(original, c.width, c.height);
    const std::vector<uint8_t> jpeg = Encode(original, c.quality);
    ASSERT_GT(jpeg.size(), 100u);
    EXPECT_EQ(jpeg[0], 0xFF);
    EXPECT_EQ(jpeg[1], 0xD8);  // a JFIF stream

    cDIBSection decoded;
    ASSERT_TRUE(Decode_JPG_To_DIB(decoded, jpeg.data(), static_cast<int32_t>(jpeg.size())));
    ASSERT_EQ(decoded.Width(), c.width);
    ASSERT_EQ(decoded.Height(), c.height);
    EXPECT_EQ(decoded.BytesPerScanLine(), original.BytesPerScanLine());
    // Probe the middle of each band (away from edges, where JPEG blurs).
    const uint32_t colours[] = {Red, Green, Blue, White};
    for (int band = 0; band < 4; ++band) {
        const int32_t y = band * c.height / 4 + c.height / 8;
        const int32_t x = band == 0 ? c.width * 5 / 8 : c.width / 2;
        EXPECT_LE(Colour_Distance(decoded.Get_Pixel(x, y), colours[band]), 24)
            << "band " << band << " got " << std::hex << decoded.Get_Pixel(x, y);
    }
    EXPECT_LE(Colour_Distance(decoded.Get_Pixel(c.width / 8, c.height / 8), Black), 24);
    EXPECT_TRUE(dialogs.Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(Sizes, Jpeg_Round_Trip,
                         ::testing::Values(Round_Trip_Case{400, 880, 80}, Round_Trip_Case{61, 45, 80},
                                           Round_Trip_Case{721, 64, 90}, Round_Trip_Case{64, 64, 50},
                                           Round_Trip_Case{33, 128, 100}),
                         [](const auto& param_info) {
                             const Round_Trip_Case& c = param_info.param;
                             return std::to_string(c.width) + "x" + std::to_string(c.height) + "_Quality" +
                                    std::to_string(c.quality);
                         });

class Jpeg_Layer : public Hdx_Test {};

TEST_F(Jpeg_Layer, OneChannelStreamDecodesIntoTheColourSection) {
    // A grey stream written top-down with the plain library: top half light, bottom half dark.
    const int w = 50, h = 40;
    std::vector<unsigned char> grey(static_cast<size_t>(w * h));
    for (int y = 0; y < h; ++y) std::memset(grey.data() + y * w, y < h / 2 ? 200 : 40, static_cast<size_t>(w));
    tjhandle t = tjInitCompress();
    ASSERT_NE(t, nullptr);
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    ASSERT_EQ(tjCompress2(t, grey.data(), w, w, h, TJPF_GRAY, &jpeg, &size, TJSAMP_GRAY, 90, 0), 0);
    tjDestroy(t);

    cDIBSection dib;
    const bool ok = Decode_JPG_To_DIB(dib, jpeg, static_cast<int32_t>(size));
    tjFree(jpeg);
    ASSERT_TRUE(ok);
    ASSERT_EQ(dib.Width(), w);
    ASSERT_EQ(dib.Height(), h);
    EXPECT_EQ(dib.BitCount(), 24);
    EXPECT_LE(Colour_Distance(dib.Get_Pixel(25, 5), 0xC8C8C8), 4);
    EXPECT_LE(Colour_Distance(dib.Get_Pixel(25, 35), 0x282828), 4);
}

TEST_F(Jpeg_Layer, DecodingReplacesASectionOfAnotherSize) {
    cDIBSection small, large;
    Bands(small, 16, 8);
    Bands(large, 96, 64);
    const std::vector<uint8_t> jpeg = Encode(large, 80);
    ASSERT_TRUE(Decode_JPG_To_DIB(small, jpeg.data(), static_cast<int32_t>(jpeg.size())));
    EXPECT_EQ(small.Width(), 96);
    EXPECT_EQ(small.Height(), 64);
    EXPECT_EQ(small.SizeImage(), 288 * 64);
}

TEST_F(Jpeg_Layer, UnreadableStreamsShowTheMessageAndFail) {
    const std::vector<uint8_t> garbage(500, 0x42);
    cDIBSection dib;
    ASSERT_TRUE(dib.Create(8, 8));
    dib.Fill_with_RGB(Green);
    struct {
        const uint8_t* data;
        int32_t size;
    } cases[] = {{garbage.data(), 500}, {nullptr, 100}, {garbage.data(), 0}, {garbage.data(), -5}};
    for (const auto& c : cases) {
        dialogs.Clear();
        EXPECT_FALSE(Decode_JPG_To_DIB(dib, c.data, c.size));
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].text, "Failed to read JPG");
        EXPECT_EQ(dialogs.shown[0].icon, Platform::MsgIcon::Exclamation);
    }
    EXPECT_EQ(dib.Get_Pixel(0, 0), Green);  // the section was not touched
}

TEST_F(Jpeg_Layer, StreamCutShortFailsWithoutTheHeaderMessage) {
    cDIBSection dib;
    Bands(dib, 200, 160);
    Fill_Noise(dib, 5, 60);
    std::vector<uint8_t> jpeg = Encode(dib, 80);
    jpeg.resize(jpeg.size() / 2);
    cDIBSection out;
    EXPECT_FALSE(Decode_JPG_To_DIB(out, jpeg.data(), static_cast<int32_t>(jpeg.size())));
    EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(Jpeg_Layer, AFailedStreamDoesNotSpoilTheNextOne) {
    cDIBSection dib;
    Bands(dib, 64, 48);
    Fill_Noise(dib, 9, 40);
    const std::vector<uint8_t> good = Encode(dib, 80);
    // Cut inside the tables, the middle of the scan, or no JPEG at all.
    const std::vector<size_t> cuts = {300, good.size() / 2, 2};
    for (size_t cut : cuts) {
        cDIBSection out;
        EXPECT_FALSE(Decode_JPG_To_DIB(out, good.data(), static_cast<int32_t>(cut))) << cut;
        EXPECT_TRUE(Decode_JPG_To_DIB(out, good.data(), static_cast<int32_t>(good.size()))) << "after a cut at " << cut;
        EXPECT_EQ(out.Width(), 64);
    }
}

TEST_F(Jpeg_Layer, EncodeFailuresRaiseTheJpegError) {
    cDIBSection dib, empty;
    Bands(dib, 32, 32);
    std::vector<uint8_t> out(100000);
    struct {
        const cDIBSection* section;
        int quality;
        int32_t capacity;
    } cases[] = {{&dib, 0, 100000}, {&dib, 101, 100000}, {&empty, 80, 100000}, {&dib, 80, 0}};
    for (const auto& c : cases) {
        int32_t size = c.capacity;
        try {
            Encode_DIB_To_JPG(*c.section, out.data(), size, c.quality);
            ADD_FAILURE() << "no error for quality " << c.quality;
        } catch (const HdxError& e) {
            EXPECT_EQ(e.number, 26001);
            EXPECT_EQ(e.description.rfind("Failed to save to JPG ", 0), 0u) << e.description;
        }
        EXPECT_EQ(size, c.capacity);
    }
}

TEST_F(Jpeg_Layer, SmallBufferGetsTheJpegWhenItFitsAndIsNeverOverrun) {
    cDIBSection dib;
    Bands(dib, 128, 96);
    const std::vector<uint8_t> reference = Encode(dib, 80);
    ASSERT_LT(static_cast<int32_t>(reference.size()) + 64, mIntelJPEGLibrary::Worst_Case_Size(128, 96));

    // Room for exactly the JPEG: same bytes as with a roomy buffer.
    std::vector<uint8_t> exact(reference.size() + 16, 0xEE);
    int32_t size = static_cast<int32_t>(reference.size());
    ASSERT_TRUE(Encode_DIB_To_JPG(dib, exact.data(), size, 80));
    EXPECT_EQ(size, static_cast<int32_t>(reference.size()));
    EXPECT_EQ(std::memcmp(exact.data(), reference.data(), reference.size()), 0);
    for (size_t i = reference.size(); i < exact.size(); ++i) ASSERT_EQ(exact[i], 0xEE);

    // One byte short: an error, and nothing written past the capacity.
    std::vector<uint8_t> tight(reference.size() + 16, 0xEE);
    size = static_cast<int32_t>(reference.size()) - 1;
    EXPECT_THROW(Encode_DIB_To_JPG(dib, tight.data(), size, 80), HdxError);
    for (size_t i = reference.size() - 1; i < tight.size(); ++i) ASSERT_EQ(tight[i], 0xEE);
}

}  // namespace
