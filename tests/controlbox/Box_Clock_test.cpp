// The board's clock tracked against the PC clock, on simulated clocks: a PC
// clock counting whole milliseconds, a board clock that drifts, lines that
// take a random time over the USB link. The start stamp's error (the stamp
// against the PC clock's reading at the edge) must stay within the bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "Test_Name.h"
#include "controlbox/Box_Clock.h"
#include "platform/Clock.h"

namespace {

struct Link_Case {
    const char* name;
    double drift_ppm;
    double latency_min_us, latency_max_us;  // one way, uniform
    double spike_chance;                    // a line held back by a busy host
    double spike_us;
};

void PrintTo(const Link_Case& c, std::ostream* os) { *os << c.name; }

// True time t (us since the run began) on both clocks; both start close to
// their wrap so that the run crosses it.
struct Simulated_Clocks {
    double drift_ppm;
    int64_t pc_start_us = (int64_t{INT32_MAX} - 600000) * 1000 + 437;
    uint32_t board_start_us = 0xFFFFFFFFu - 900000000u;
    int32_t PC_Mill(double t) const {
        return static_cast<int32_t>(
            static_cast<uint32_t>(static_cast<int64_t>(std::floor((pc_start_us + t) / 1000.0))));
    }
    uint32_t Board_Us(double t) const {
        return board_start_us + static_cast<uint32_t>(static_cast<int64_t>(std::floor(t * (1.0 + drift_ppm * 1e-6))));
    }
};

class BoxClockLink : public ::testing::TestWithParam<Link_Case> {};

TEST_P(BoxClockLink, StartsAreStampedWithinHalfAMillisecondMedianAndOneWorst) {
    const Link_Case& c = GetParam();
    std::mt19937 random(20261210);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    auto latency = [&] {
        double us = c.latency_min_us + (c.latency_max_us - c.latency_min_us) * unit(random);
        if (unit(random) < c.spike_chance) us += c.spike_us;
        return us;
    };
    const Simulated_Clocks clocks{c.drift_ppm};
    Box_Clock box;

    auto exchange = [&](double t) {
        const int32_t sent = clocks.PC_Mill(t);
        const double at_board = t + latency();
        const double back = at_board + latency();
        box.Add_Sample(sent, clocks.Board_Us(at_board), clocks.PC_Mill(back));
    };
    // The burst after the attach, then one exchange a second.
    double t = 0;
    for (int i = 0; i < 8; ++i, t += 50000) exchange(t);
    double next_ping = t;

    std::vector<int> errors;
    const double sample_period_us = 250;  // the firmware's loop
    for (int start = 0; start < 1000; ++start) {
        const double edge = t + 500000 + 3000000 * unit(random);
        for (; next_ping < edge; next_ping += 1000000) exchange(next_ping);
        // The first sample on the board after the edge sees it.
        const double seen = edge + sample_period_us * unit(random);
        const auto stamp = box.To_PC_Mill(clocks.Board_Us(seen));
        ASSERT_TRUE(stamp.has_value());
        errors.push_back(std::abs(Platform::Mill_Since(clocks.PC_Mill(edge), *stamp)));
        t = edge;
    }
    std::sort(errors.begin(), errors.end());
    EXPECT_LE(errors[errors.size() / 2], 0.5) << "median error, ms";
    EXPECT_LE(errors.back(), 1) << "worst error, ms";
    EXPECT_NEAR(box.Drift() * 1e6, c.drift_ppm, 20.0);
}

INSTANTIATE_TEST_SUITE_P(Links, BoxClockLink,
                         ::testing::Values(Link_Case{"QuietUsbFastBoard", 100, 100, 600, 0, 0},
                                           Link_Case{"QuietUsbSlowBoard", -100, 100, 600, 0, 0},
                                           Link_Case{"JitteryUsb", 100, 150, 2500, 0, 0},
                                           Link_Case{"CeramicResonatorBoard", -3000, 150, 1500, 0, 0},
                                           Link_Case{"BusyHostSpikes", 100, 150, 1500, 0.2, 15000}),
                         By_Name());

TEST(BoxClock, NothingIsMappedUntilEnoughExchangesCame) {
    Box_Clock box;
    for (int i = 0; i < Box_Clock::kMin_Samples - 1; ++i) {
        EXPECT_TRUE(box.Add_Sample(1000 + i * 50, 5000000u + i * 50000u, 1000 + i * 50));
        EXPECT_FALSE(box.To_PC_Mill(5000000u).has_value());
    }
    EXPECT_TRUE(box.Add_Sample(1200, 5200000u, 1200));
    ASSERT_TRUE(box.To_PC_Mill(5100000u).has_value());
    EXPECT_EQ(*box.To_PC_Mill(5100000u), 1100);
}

struct Bad_Exchange {
    const char* name;
    int32_t sent;
    int32_t received;
};

class BoxClockRefuses : public ::testing::TestWithParam<Bad_Exchange> {};

TEST_P(BoxClockRefuses, ExchangesThatCannotBeRight) {
    Box_Clock box;
    EXPECT_FALSE(box.Add_Sample(GetParam().sent, 1000u, GetParam().received));
    EXPECT_EQ(box.Sample_Count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Exchanges, BoxClockRefuses,
                         ::testing::Values(Bad_Exchange{"AnswerBeforeQuestion", 5000, 4999},
                                           Bad_Exchange{"RoundTripTooLong", 5000,
                                                        5000 + Box_Clock::kMax_Round_Trip_ms + 1},
                                           Bad_Exchange{"ForgedStampFromLongAgo", INT32_MIN, 5000}),
                         By_Name());

TEST(BoxClock, ABoardClockGoingBackStartsTheTrackingAfresh) {
    Box_Clock box;
    for (int i = 0; i < 6; ++i) box.Add_Sample(1000 + i * 100, 9000000u + i * 100000u, 1000 + i * 100);
    ASSERT_TRUE(box.Tracking());
    // The board restarted: its clock counts from near zero again.
    box.Add_Sample(2000, 10000u, 2000);
    EXPECT_EQ(box.Sample_Count(), 1);
    EXPECT_FALSE(box.To_PC_Mill(10000u).has_value());
}

}  // namespace
