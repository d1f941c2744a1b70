// Jumping the clock over many frames gives the same bits as frame by frame.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/clock_jump.h"

using namespace tamsel::core;

static uint64_t bits(double x) {
    uint64_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

// The clock taken frame by frame up to its next tick, or limit frames: the
// frames taken.
static uint64_t step_to_tick(RenderClock* clock, uint64_t limit) {
    uint64_t stepped = 0;
    while (stepped < limit && !(clock->to_next_tick <= 0.0)) {
        clock->ms = FRAME_MS + clock->ms;
        clock->to_next_tick = clock->to_next_tick - 1.0;
        stepped++;
    }
    return stepped;
}

TEST(ClockJump, AddingManyFramesIsTheRunningSum) {
    // Starts at 0, inside a binade, just below a binade edge (1024 ms and
    // 2^22 ms), and far out; runs cross one or more edges.
    const double starts[] = {0.0, 1.0, 17.3, 1023.99, 2047.5, 4194303.9, 11184810.0, 140737488355327.0};
    const uint64_t runs[] = {1, 47, 48, 1000, 49152, 1000003};
    for (double start : starts) {
        for (uint64_t run : runs) {
            double jumped = start, stepped = start;
            add_frame_ms(&jumped, run);
            for (uint64_t i = 0; i < run; i++) stepped = FRAME_MS + stepped;
            EXPECT_EQ(bits(jumped), bits(stepped)) << start << " + " << run << " frames";
        }
    }
}

TEST(ClockJump, TicksFallOnTheSameFramesWithTheSameCounters) {
    const double periods_ms[] = {20.0, 0.0, 16.666666666666668, 16.6, 10.5, 3.3, 0.5, 1e-9, 7.77, 1000.0};
    for (double period : periods_ms) {
        RenderClock a = {0.0, 0.0, period / 1000.0}, b = {0.0, 0.0, period / 1000.0};
        uint64_t frame = 0;
        while (frame < 3000000) {
            // Both clocks are at a frame that may tick; take it frame by
            // frame, then jump (or step) to the next tick.
            ASSERT_EQ(advance_clock(&a), advance_clock(&b));
            uint64_t limit = frame % 7 == 0 ? 5 : 100000;
            uint64_t jumped = advance_clock_to_tick(&a, limit);
            uint64_t stepped = step_to_tick(&b, limit);
            ASSERT_EQ(jumped, stepped) << "period " << period << " frame " << frame;
            ASSERT_EQ(bits(a.ms), bits(b.ms)) << "period " << period << " frame " << frame;
            ASSERT_EQ(bits(a.to_next_tick), bits(b.to_next_tick)) << "period " << period << " frame " << frame;
            frame += 1 + jumped;
        }
    }
}

TEST(ClockJump, CountersThatNeverTickRunToTheLimit) {
    RenderClock never = {5.0, std::nan(""), 0.02}, huge = {5.0, 1e300, 0.02}, due = {5.0, 0.0, 0.02};
    EXPECT_EQ(advance_clock_to_tick(&never, 123456), 123456u);
    EXPECT_EQ(advance_clock_to_tick(&huge, 1000), 1000u);
    EXPECT_EQ(huge.to_next_tick, 1e300);
    EXPECT_EQ(advance_clock_to_tick(&due, 1000), 0u);
    // From 2^48 ms on a frame no longer moves the sum: any number of them
    // is done at once.
    RenderClock still = {281474976710656.0, std::nan(""), 0.02};
    EXPECT_EQ(advance_clock_to_tick(&still, UINT64_MAX), UINT64_MAX);
    EXPECT_EQ(still.ms, 281474976710656.0);
}

TEST(ClockJump, CountersAroundTwoToThe53MatchFrameByFrame) {
    const double two52 = 4503599627370496.0, two53 = 9007199254740992.0;
    const double counters[] = {two52 + 5.0, two53 - 1.0, two53, two53 + 2.0, two53 + 4.0, two53 + 6.0, 2.0 * two53};
    for (double counter : counters) {
        for (uint64_t limit : {1u, 2u, 3u, 1000u}) {
            RenderClock a = {1.0, counter, 0.02}, b = a;
            uint64_t jumped = advance_clock_to_tick(&a, limit);
            uint64_t stepped = step_to_tick(&b, limit);
            EXPECT_EQ(jumped, stepped) << counter << " " << limit;
            EXPECT_EQ(bits(a.ms), bits(b.ms)) << counter << " " << limit;
            EXPECT_EQ(bits(a.to_next_tick), bits(b.to_next_tick)) << counter << " " << limit;
        }
        RenderClock c = {1.0, counter, 0.02};
        EXPECT_EQ(clock_ticks_again(&c), counter <= two53 + 2.0) << counter;
    }
}
