#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "Test_Env.h"
#include "Test_Name.h"
#include "Test_Pictures.h"
#include "recording/Frame_Compressor.h"
#include "recording/cDIBSection.h"
#include "recording/mIntelJPEGLibrary.h"

namespace {

constexpr int32_t W = 96, H = 64;

TEST(Quality_Ladder, FallsByFifteenPercentRoundedHalfToEvenDownToThree) {
    const std::vector<int16_t> expected{80, 68, 58, 49, 42, 36, 31, 26, 22, 19, 16, 14, 12, 10, 8, 7, 6, 5, 4, 3};
    EXPECT_EQ(Frame_Compressor::Quality_Ladder(80), expected);
    // 10 * 0.85 = 8.5 goes to the even 8; the lowest qualities stay where they are
    EXPECT_EQ(Frame_Compressor::Next_Quality(10), 8);
    for (int16_t q : {int16_t{3}, int16_t{2}, int16_t{1}}) EXPECT_EQ(Frame_Compressor::Next_Quality(q), q);
    EXPECT_EQ(Frame_Compressor::Next_Quality(100), 85);
}

TEST(Data_Area_Size, IsARoundThousandWellAboveTheLargestTestJpeg) {
    const std::pair<int32_t, int32_t> cases[] = {{62345, 67000}, {61500, 67000}, {61499, 66000},   {0, 5000},
                                                 {499, 5000},    {500, 6000},    {999999, 1005000}};
    for (const auto& [m, n] : cases) {
        EXPECT_EQ(Frame_Compressor::Data_Area_Size(m), n) << "M = " << m;
        EXPECT_EQ(n % 1000, 0);
        EXPECT_GE(n - m, 4501);
        EXPECT_LE(n - m, 5500);
    }
}

class Compressor_Test : public Hdx_Test {
protected:
    void SetUp() override {
        Hdx_Test::SetUp();
        compressor.Cropped_X(W);
        compressor.Cropped_Y(H);
        compressor.Reset_For_New_Recording();
    }
    // A W x H frame: noise of the given amplitude (size grows with it).
    void Add_Frame(int amplitude, uint32_t seed = 1) {
        cDIBSection p;
        ASSERT_TRUE(p.Create(W, H));
        Fill_Noise(p, seed, amplitude);
        frames.Add(p);
    }
    // The frame's JPEG size at quality q, measured outside the compressor.
    int32_t Size_At(int32_t index, int q) {
        std::vector<uint8_t> out(2000000);
        int32_t size = static_cast<int32_t>(out.size());
        const auto f = frames.Item(index);
        EXPECT_TRUE(mIntelJPEGLibrary::Encode_Bits_To_JPG(f->Video_Adress, W, H, out.data(), size, q));
        return size;
    }
    uint32_t Decoded_Pixel(int32_t x, int32_t y) {
        cDIBSection d;
        EXPECT_TRUE(mIntelJPEGLibrary::Decode_JPG_To_DIB(d, compressor.JPG_Buffer(), compressor.Compressed_Size()));
        return d.Get_Pixel(x, y);
    }
    Frame_List frames;
    Frame_Compressor compressor;
};

TEST_F(Compressor_Test, StartsAtQualityEightyWithTheStatisticsOfANewRecording) {
    Frame_Compressor fresh;
    EXPECT_EQ(fresh.Initial_Quality(), 80);
    EXPECT_EQ(fresh.Rounded_Compressed_Size(), 0);
    EXPECT_EQ(fresh.Largest_JPG(), 0);
    EXPECT_EQ(fresh.Smallest_JPG(), 999999);
    compressor.JPG_Sizes(1234, 56789);
    compressor.Rounded_Compressed_Size(40000);
    EXPECT_EQ(compressor.Smallest_JPG(), 1234);
    EXPECT_EQ(compressor.Largest_JPG(), 56789);
    compressor.Reset_For_New_Recording();
    EXPECT_EQ(compressor.Rounded_Compressed_Size(), 0);
    EXPECT_EQ(compressor.Compressed_Size(), 0);
    EXPECT_EQ(compressor.Largest_JPG(), 0);
    EXPECT_EQ(compressor.Smallest_JPG(), 999999);
    const Bitmap_Info_Header& h = compressor.Frame_Header();
    EXPECT_EQ(h.biWidth, W);
    EXPECT_EQ(h.biHeight, H);
    EXPECT_EQ(h.biBitCount, 24);
    EXPECT_EQ(h.biSizeImage, 288 * H);
}

TEST_F(Compressor_Test, CompressFrameEncodesTheIndexedFrame) {
    cDIBSection red, blue;
    ASSERT_TRUE(red.Create(W, H));
    ASSERT_TRUE(blue.Create(W, H));
    red.Fill_with_RGB(Red);
    blue.Fill_with_RGB(Blue);
    Fill_Rows(blue, 0, 8, White);  // a white top edge shows the picture is upright
    frames.Add(red);
    frames.Add(blue);
    ASSERT_TRUE(compressor.Compress_Frame(frames, 2, 80));
    EXPECT_EQ(compressor.Compressed_Size(), Size_At(2, 80));
    EXPECT_LE(Colour_Distance(Decoded_Pixel(W / 2, H / 2), Blue), 16);
    EXPECT_LE(Colour_Distance(Decoded_Pixel(W / 2, 2), White), 16);
    ASSERT_TRUE(compressor.Compress_Frame(frames, 1, 80));
    EXPECT_LE(Colour_Distance(Decoded_Pixel(W / 2, 2), Red), 16);
    EXPECT_TRUE(errors.errors.empty());
}

struct Test_Frame_Case {
    int32_t count;
    std::set<int32_t> tested;  // frames C-1, CInt(C/2), 2 as far as they exist
};

class Choosing_N : public Compressor_Test, public ::testing::WithParamInterface<Test_Frame_Case> {};

// Only the test frames may decide N: the others are made much busier, so a
// wrong choice would give a much larger N.
TEST_P(Choosing_N, TakesTheLargestTestFrameAtTheInitialQuality) {
    const Test_Frame_Case c = GetParam();
    for (int32_t i = 1; i <= c.count; ++i)
        Add_Frame(c.tested.count(i) ? 10 + (7 * i) % 30 : 120, static_cast<uint32_t>(i));
    int32_t m = 0;
    for (int32_t i : c.tested) m = std::max(m, Size_At(i, 80));
    for (int32_t i = 1; i <= c.count; ++i) {
        if (!c.tested.count(i)) {
            ASSERT_GT(Frame_Compressor::Data_Area_Size(Size_At(i, 80)), Frame_Compressor::Data_Area_Size(m));
        }
    }
    EXPECT_EQ(compressor.Calculate_Compressed_Size(frames), Frame_Compressor::Data_Area_Size(m));
    EXPECT_EQ(compressor.Rounded_Compressed_Size(), Frame_Compressor::Data_Area_Size(m));
    EXPECT_TRUE(errors.errors.empty());
    // The test compressions are not part of the recording's statistics.
    EXPECT_EQ(compressor.Largest_JPG(), 0);
    EXPECT_EQ(compressor.Smallest_JPG(), 999999);
}

INSTANTIATE_TEST_SUITE_P(Counts, Choosing_N,
                         ::testing::Values(Test_Frame_Case{1, {1}}, Test_Frame_Case{2, {1, 2}}, Test_Frame_Case{3, {2}},
                                           Test_Frame_Case{5, {4, 2}},     // CInt(2.5) = 2
                                           Test_Frame_Case{7, {6, 4, 2}},  // CInt(3.5) = 4
                                           Test_Frame_Case{8, {7, 4, 2}}, Test_Frame_Case{40, {39, 20, 2}}),
                         [](const auto& param_info) {
                             return std::to_string(param_info.param.count) +
                                    (param_info.param.count == 1 ? "Frame" : "Frames");
                         });

TEST_F(Compressor_Test, NoFramesLeaveNUnchosen) {
    EXPECT_EQ(compressor.Calculate_Compressed_Size(frames), 0);
    EXPECT_EQ(compressor.Rounded_Compressed_Size(), 0);
    EXPECT_TRUE(traces.Has("*Calculate_Compressed_Size, no stored frames"));
}

TEST_F(Compressor_Test, FramesThatCannotBeCompressedLeaveNUnchosen) {
    frames.Add_Raw(100);  // far smaller than a W x H frame
    frames.Add_Raw(100);
    frames.Add_Raw(100);
    EXPECT_EQ(compressor.Calculate_Compressed_Size(frames), 0);
    EXPECT_EQ(compressor.Rounded_Compressed_Size(), 0);
    ASSERT_FALSE(errors.errors.empty());
    EXPECT_EQ(errors.errors[0].location, "Compress_Frame of Class Module Class_RGB_file_handler");
}

struct Fit_Case {
    const char* name;
    // data area size from the frame's sizes at 80, 68 and 58
    int32_t (*budget)(int32_t s80, int32_t s68, int32_t s58);
    int16_t quality;
    int32_t attempts;
};

class Fitting : public Compressor_Test, public ::testing::WithParamInterface<Fit_Case> {};

TEST_P(Fitting, StoresTheFirstQualityWhoseJpegFits) {
    const Fit_Case c = GetParam();
    Add_Frame(90);
    const int32_t s80 = Size_At(1, 80), s68 = Size_At(1, 68), s58 = Size_At(1, 58);
    ASSERT_GT(s80, s68);
    ASSERT_GT(s68, s58);
    compressor.Rounded_Compressed_Size(c.budget(s80, s68, s58));

    const JPG_Fit fit = compressor.Fit_Frame(frames, 1);
    EXPECT_EQ(fit.Status, Fit_Status::Stored);
    EXPECT_EQ(fit.Quality, c.quality);
    EXPECT_EQ(fit.Attempts, c.attempts);
    EXPECT_EQ(fit.Size, Size_At(1, c.quality));
    EXPECT_EQ(compressor.Compressed_Size(), fit.Size);
    EXPECT_LE(fit.Size, compressor.Rounded_Compressed_Size());
    // Every attempt entered the statistics: the first is the largest, the stored one the smallest.
    EXPECT_EQ(compressor.Largest_JPG(), s80);
    EXPECT_EQ(compressor.Smallest_JPG(), fit.Size);
    EXPECT_TRUE(errors.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Budgets, Fitting,
    ::testing::Values(Fit_Case{"ExactlyNAtEighty", [](int32_t s80, int32_t, int32_t) { return s80; }, 80, 1},
                      Fit_Case{"RoomyN", [](int32_t s80, int32_t, int32_t) { return s80 + 5000; }, 80, 1},
                      Fit_Case{"OneByteShortAtEighty", [](int32_t s80, int32_t, int32_t) { return s80 - 1; }, 68, 2},
                      Fit_Case{"ExactlyNAtSixtyEight", [](int32_t, int32_t s68, int32_t) { return s68; }, 68, 2},
                      Fit_Case{"OnlyAtFiftyEight", [](int32_t, int32_t s68, int32_t) { return s68 - 1; }, 58, 3},
                      Fit_Case{"ExactlyNAtFiftyEight", [](int32_t, int32_t, int32_t s58) { return s58; }, 58, 3}),
    By_Name());

TEST_F(Compressor_Test, StatisticsCollectAcrossFramesUntilTheNextRecording) {
    Add_Frame(30, 1);
    Add_Frame(90, 2);
    const int32_t quiet = Size_At(1, 80), busy80 = Size_At(2, 80), busy68 = Size_At(2, 68);
    ASSERT_LT(quiet, busy68);
    compressor.Rounded_Compressed_Size(busy68);
    EXPECT_EQ(compressor.Fit_Frame(frames, 1).Quality, 80);
    EXPECT_EQ(compressor.Fit_Frame(frames, 2).Quality, 68);
    EXPECT_EQ(compressor.Largest_JPG(), busy80);
    EXPECT_EQ(compressor.Smallest_JPG(), quiet);
}

TEST_F(Compressor_Test, FrameTooLargeAtTheLowestQualityIsReportedAfterTheWholeLadder) {
    Add_Frame(120);
    const int32_t s80 = Size_At(1, 80), s3 = Size_At(1, 3);
    compressor.Rounded_Compressed_Size(s3 - 1);
    const JPG_Fit fit = compressor.Fit_Frame(frames, 1);
    EXPECT_EQ(fit.Status, Fit_Status::Too_Large);
    EXPECT_FALSE(fit.Stored());
    EXPECT_EQ(fit.Quality, 3);
    EXPECT_EQ(fit.Size, s3);
    EXPECT_EQ(fit.Attempts, 20);  // 80, 68, ... 3: each quality once
    EXPECT_EQ(compressor.Largest_JPG(), s80);
    EXPECT_EQ(compressor.Smallest_JPG(), s3);
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_EQ(errors.errors[0].location, "append_RGB_frame of cls_avi_handler");
    EXPECT_EQ(errors.errors[0].number, Frame_Compressor::Fit_Error);
    EXPECT_NE(errors.errors[0].description.find("does not fit"), std::string::npos);
}

// Fitting on a worker finds what Fit_Frame would, touches no statistics and
// reports nothing; entering the findings afterwards reports and counts as
// Fit_Frame does. Frames: fits at 80, needs a lower quality, never fits,
// cannot be compressed, missing.
TEST_F(Compressor_Test, FindingsTakenLaterMatchFittingInPlace) {
    Add_Frame(0, 1);
    Add_Frame(12, 2);
    Add_Frame(127, 3);
    frames.Add_Raw(100);
    const int32_t n = Size_At(3, 3) - 1;
    ASSERT_LE(Size_At(1, 80), n);
    ASSERT_GT(Size_At(2, 80), n);
    ASSERT_LE(Size_At(2, 3), n);

    Frame_Compressor in_place;
    in_place.Cropped_X(W);
    in_place.Cropped_Y(H);
    in_place.Reset_For_New_Recording();
    in_place.Rounded_Compressed_Size(n);
    compressor.Rounded_Compressed_Size(n);
    const Fit_Settings settings = compressor.Settings();
    std::vector<uint8_t> output(static_cast<size_t>(settings.Capacity));

    const Fit_Status expected[] = {Fit_Status::Stored, Fit_Status::Stored, Fit_Status::Too_Large,
                                   Fit_Status::Encode_Failed, Fit_Status::Encode_Failed};
    for (int32_t index = 1; index <= 5; ++index) {
        errors.errors.clear();
        const JPG_Fit direct = in_place.Fit_Frame(frames, index);
        const std::vector<Recorded_Error> direct_reports = errors.errors;
        errors.errors.clear();

        const Fit_Findings found =
            Frame_Compressor::Find_Fit(settings, frames.Item(index), index, frames.Count(), output.data());
        EXPECT_TRUE(errors.errors.empty()) << index;
        const int32_t largest_before = compressor.Largest_JPG();
        const JPG_Fit taken = compressor.Take_Fit(found, index);

        EXPECT_EQ(taken.Status, expected[index - 1]) << index;
        EXPECT_EQ(taken.Status, direct.Status) << index;
        EXPECT_EQ(taken.Quality, direct.Quality) << index;
        EXPECT_EQ(taken.Size, direct.Size) << index;
        EXPECT_EQ(taken.Attempts, direct.Attempts) << index;
        if (taken.Stored()) {
            EXPECT_EQ(std::memcmp(output.data(), in_place.JPG_Buffer(), static_cast<size_t>(taken.Size)), 0) << index;
        }
        ASSERT_EQ(errors.errors.size(), direct_reports.size()) << index;
        for (size_t i = 0; i < direct_reports.size(); ++i) {
            EXPECT_EQ(errors.errors[i].location, direct_reports[i].location);
            EXPECT_EQ(errors.errors[i].description, direct_reports[i].description);
        }
        EXPECT_EQ(compressor.Largest_JPG(), in_place.Largest_JPG()) << index;
        EXPECT_EQ(compressor.Smallest_JPG(), in_place.Smallest_JPG()) << index;
        if (index == 1) {
            EXPECT_GT(compressor.Largest_JPG(), largest_before);
        }
        if (index == 2) {
            EXPECT_LT(taken.Quality, Frame_Compressor::Start_Quality);
        }
    }
}

TEST_F(Compressor_Test, ARecordedFitLargerThanTheDataAreaIsFittedAgain) {
    // A journal's record may claim a fit into N that it is not.
    Add_Frame(127, 3);
    const int32_t n = Size_At(1, 80) / 2;
    compressor.Rounded_Compressed_Size(n);
    const Fit_Settings settings = compressor.Settings();
    std::vector<uint8_t> jpeg(static_cast<size_t>(settings.Capacity)), output(jpeg.size());
    int32_t size = static_cast<int32_t>(jpeg.size());
    ASSERT_TRUE(mIntelJPEGLibrary::Encode_Bits_To_JPG(frames.Item(1)->Video_Adress, W, H, jpeg.data(), size, 80));
    ASSERT_LE(size, settings.Capacity);
    Stored_Frame_Ref f;
    f.Jpeg = Stored_Jpeg{jpeg.data(), size, 80, n, false, size, size};
    const Fit_Findings found = Frame_Compressor::Find_Fit(settings, f, 1, 1, output.data());
    EXPECT_TRUE(found.Fit.Status != Fit_Status::Stored || found.Fit.Size <= n) << found.Fit.Size << " > " << n;
}

TEST_F(Compressor_Test, FailedEncodeNeverLeavesThePreviousFramesJpeg) {
    Add_Frame(60);
    frames.Add_Raw(288 * H - 1);  // one byte short of a W x H frame
    frames.Add_Raw(500);
    compressor.Rounded_Compressed_Size(1000000);
    ASSERT_TRUE(compressor.Fit_Frame(frames, 1).Stored());
    ASSERT_GT(compressor.Compressed_Size(), 0);
    const int32_t largest = compressor.Largest_JPG(), smallest = compressor.Smallest_JPG();

    for (int32_t index : {2, 3, 4, 0}) {  // too short, too short, missing, missing
        errors.errors.clear();
        const JPG_Fit fit = compressor.Fit_Frame(frames, index);
        EXPECT_EQ(fit.Status, Fit_Status::Encode_Failed) << index;
        EXPECT_EQ(fit.Size, 0);
        EXPECT_EQ(fit.Attempts, 1);  // no point lowering the quality
        EXPECT_EQ(compressor.Compressed_Size(), 0);
        ASSERT_EQ(errors.errors.size(), 1u);
        EXPECT_EQ(errors.errors[0].location, "Compress_Frame of Class Module Class_RGB_file_handler");
    }
    EXPECT_EQ(compressor.Largest_JPG(), largest);
    EXPECT_EQ(compressor.Smallest_JPG(), smallest);
}

TEST_F(Compressor_Test, FittingBeforeNIsChosenIsReported) {
    Add_Frame(60);
    const JPG_Fit fit = compressor.Fit_Frame(frames, 1);
    EXPECT_EQ(fit.Status, Fit_Status::No_Data_Area);
    EXPECT_EQ(fit.Attempts, 0);
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_EQ(errors.errors[0].location, "append_RGB_frame of cls_avi_handler");
}

TEST_F(Compressor_Test, FrameSizeMustBeSetBeforeCompressing) {
    Frame_Compressor unset;
    Add_Frame(60);
    EXPECT_FALSE(unset.Compress_Frame(frames, 1, 80));
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_EQ(errors.errors[0].description, "The frame size is not set");
}

TEST_F(Compressor_Test, FramesLargerThanTheFirstBufferAreStillEncoded) {
    // A noisy 1000 x 800 frame needs more than the 1,000,001 bytes the handler starts with.
    Frame_Compressor big;
    big.Cropped_X(1000);
    big.Cropped_Y(800);
    cDIBSection p;
    ASSERT_TRUE(p.Create(1000, 800));
    Fill_Noise(p, 9, 127);
    Frame_List list;
    list.Add(p);
    ASSERT_TRUE(big.Compress_Frame(list, 1, 100));
    EXPECT_GT(big.Compressed_Size(), 1000001);
    EXPECT_TRUE(errors.errors.empty());
}

}  // namespace
