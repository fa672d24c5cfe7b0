#include <cstring>
#include <numeric>
#include <vector>

#include <gtest/gtest.h>

#include "capture/CVideobuff_RGB.h"
#include "platform/HdxError.h"

namespace {

std::vector<uint8_t> Pattern(size_t n, uint8_t start) {
    std::vector<uint8_t> v(n);
    std::iota(v.begin(), v.end(), start);
    return v;
}

TEST(Frame_Buffer, HoldsACopyOfExactlyRgbLengthBytes) {
    const std::vector<uint8_t> source = Pattern(1056000, 7);  // a 400 x 880 crop
    CVideobuff_RGB f;
    f.RGB_Length(static_cast<int32_t>(source.size()));
    EXPECT_EQ(f.RGB_Length(), 1056000);
    f.FillData_RGB(source.data());
    ASSERT_NE(f.Video_Adress(), source.data());  // a private copy
    EXPECT_EQ(std::memcmp(f.Video_Adress(), source.data(), source.size()), 0);
}

TEST(Frame_Buffer, SettingTheLengthAgainReallocatesAndDecidesTheCopy) {
    const std::vector<uint8_t> first = Pattern(64, 1), second = Pattern(10, 100);
    CVideobuff_RGB f;
    f.RGB_Length(64);
    f.FillData_RGB(first.data());
    f.RGB_Length(10);
    EXPECT_EQ(f.RGB_Length(), 10);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(f.Video_Adress()[i], 0) << "old contents are discarded";
    f.FillData_RGB(second.data(), second.size());  // exactly 10 bytes available: enough
    EXPECT_EQ(std::memcmp(f.Video_Adress(), second.data(), 10), 0);
}

TEST(Frame_Buffer, BothAddressesAreTheFirstPixelAndStayValid) {
    const std::vector<uint8_t> source = Pattern(300, 3);
    CVideobuff_RGB f;
    f.RGB_Length(300);
    const uint8_t* before = f.Video_Adress();
    f.FillData_RGB(source.data());
    f.PutTimestamp(1, 2, 3);
    EXPECT_EQ(f.Video_Adress(), before);
    EXPECT_EQ(f.RGB_Buffer_Address(), f.Video_Adress());
    EXPECT_EQ(f.Video_Adress()[0], 3);
}

TEST(Frame_Buffer, TimestampIsStoredInTheArgumentOrderMillLocalDelta) {
    struct {
        int32_t mill, local, delta;
    } cases[] = {{1000123, 45296789, 20}, {-5, 86399999, -40}, {INT32_MIN, 0, INT32_MAX}};
    for (const auto& c : cases) {
        CVideobuff_RGB f;
        f.PutTimestamp(c.mill, c.local, c.delta);
        EXPECT_EQ(f.Capture_Mill(), c.mill);
        EXPECT_EQ(f.Capture_Local(), c.local);
        EXPECT_EQ(f.Capture_Delta(), c.delta);
        f.RGB_Length(12);  // pixels do not touch the timestamp
        EXPECT_EQ(f.Capture_Mill(), c.mill);
    }
}

TEST(Frame_Buffer, BadLengthsAndSourcesRaiseWithoutCopying) {
    CVideobuff_RGB f;
    try {
        f.RGB_Length(-1);
        ADD_FAILURE() << "negative length accepted";
    } catch (const HdxError& e) {
        EXPECT_EQ(e.number, HdxErr::SubscriptOutOfRange);
    }
    EXPECT_EQ(f.RGB_Length(), 0);
    EXPECT_EQ(f.Video_Adress(), nullptr);
    f.FillData_RGB(nullptr);  // nothing to copy

    f.RGB_Length(16);
    EXPECT_THROW(f.FillData_RGB(nullptr), HdxError);
    const std::vector<uint8_t> shorter = Pattern(15, 9);
    EXPECT_THROW(f.FillData_RGB(shorter.data(), shorter.size()), HdxError);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(f.Video_Adress()[i], 0);
}

// The one-step copy the capture controller keeps frames with.
TEST(Frame_Buffer, AssignCopiesExactlyTheLengthIntoAFreshArray) {
    const std::vector<uint8_t> source = Pattern(1056000 + 5, 11);  // more than needed: only length is taken
    for (int32_t length : {1056000, 12, 1}) {
        CVideobuff_RGB f;
        f.RGB_Length(4);
        f.Assign_RGB(source.data(), source.size(), length);
        EXPECT_EQ(f.RGB_Length(), length);
        ASSERT_NE(f.Video_Adress(), source.data());
        EXPECT_EQ(std::memcmp(f.Video_Adress(), source.data(), static_cast<size_t>(length)), 0);
    }
    CVideobuff_RGB empty;
    empty.Assign_RGB(nullptr, 0, 0);
    EXPECT_EQ(empty.RGB_Length(), 0);
    EXPECT_EQ(empty.Video_Adress(), nullptr);
}

TEST(Frame_Buffer, AssignFromATooShortOrMissingSourceRaisesAndKeepsThePicture) {
    const std::vector<uint8_t> kept = Pattern(16, 40), shorter = Pattern(15, 9);
    struct {
        const uint8_t* source;
        size_t available;
        int32_t length;
    } cases[] = {{shorter.data(), shorter.size(), 16}, {nullptr, 100, 16}, {kept.data(), kept.size(), -1}};
    for (const auto& c : cases) {
        CVideobuff_RGB f;
        f.Assign_RGB(kept.data(), kept.size(), 16);
        EXPECT_THROW(f.Assign_RGB(c.source, c.available, c.length), HdxError);
        ASSERT_EQ(f.RGB_Length(), 16);
        EXPECT_EQ(std::memcmp(f.Video_Adress(), kept.data(), 16), 0);
    }
}

}  // namespace
