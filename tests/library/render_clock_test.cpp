// The render clock: where ticks fall, what the clock reads, when steps come.
#include <gtest/gtest.h>

#include <vector>

#include "engine/render_clock.h"
#include "song_builder.h"
#include "test_engine.h"

using namespace tamsel::core;

static std::vector<uint64_t> tick_frames(double period_ms, size_t count) {
    RenderClock clock;
    clock_start(&clock, period_ms);
    std::vector<uint64_t> ticks;
    for (uint64_t frame = 0; ticks.size() < count; frame++) {
        if (advance_clock(&clock)) ticks.push_back(frame);
    }
    return ticks;
}

TEST(RenderClock, TickSchedules) {
    struct Row {
        double period_ms;
        std::vector<uint64_t> ticks;
    } rows[] = {
        {20.0, {0, 960, 1920, 2880}},
        {0.0, {0, 1, 2, 3, 4}},
        {0.0001, {0, 1, 2, 3}},
        {16.666666666666668, {0, 800, 1600}},
        {16.6, {0, 797, 1594, 2391, 3188, 3984, 4781, 5578}},
        {10.5, {0, 505, 1009, 1513, 2017}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(tick_frames(row.period_ms, row.ticks.size()), row.ticks) << "period " << row.period_ms;
    }
}

TEST(RenderClock, ReadingIsARunningSumNotFramesOver48) {
    struct Row {
        int frames;
        double sum;
        int32_t reads;
    } rows[] = {{48, 1.0000000000000007, 1}, {96, 1.9999999999999971, 1}, {240, 4.9999999999999964, 4}};
    for (const Row& row : rows) {
        RenderClock clock;
        clock_start(&clock, 20.0);
        for (int i = 0; i < row.frames; i++) advance_clock(&clock);
        EXPECT_EQ(clock.ms, row.sum) << row.frames;
        EXPECT_EQ(clock_whole_ms(&clock), row.reads) << row.frames;
    }
}

TEST(RenderClock, DefaultTickReadsTwentyPerTickUntilRoundingCatchesUp) {
    RenderClock clock;
    clock_start(&clock, 20.0);
    uint64_t tick = 0;
    int32_t last_exact = -1, first_late = -1;
    for (uint64_t frame = 0; tick <= 321564; frame++) {
        if (!advance_clock(&clock)) continue;
        if (clock_whole_ms(&clock) == (int32_t)(20 * tick))
            last_exact = (int32_t)tick;
        else if (first_late < 0)
            first_late = (int32_t)tick;
        if (tick == 321564) {
            EXPECT_EQ(frame, 308701440u);
            EXPECT_EQ(clock_whole_ms(&clock), 6431279);
        }
        tick++;
    }
    EXPECT_EQ(first_late, 321564);
    EXPECT_EQ(last_exact, 321563);
}

// Frames (counted from 0) in which the song's position moves.
static std::vector<uint64_t> step_frames(uint32_t wait, double timer_ms, size_t count) {
    SongFile song = make_song(wait, 0, 1000, 1000);
    Engine engine = start_engine(song.bytes, 0, timer_ms);
    std::vector<uint64_t> frames;
    float frame[2];
    for (uint64_t i = 0; frames.size() < count && i < 1000000; i++) {
        int32_t before = renderer_sequencer(engine.renderer.get())->position;
        renderer_render_float(engine.renderer.get(), frame, 1);
        if (renderer_sequencer(engine.renderer.get())->position != before) frames.push_back(i);
    }
    return frames;
}

// Frame 0 is a tick, yet no step follows the forced one there: with wait 0
// the first comes on the next tick.
TEST(Sequencer, StepFramesFollowTheTicks) {
    struct Row {
        uint32_t wait;
        double timer_ms;
        std::vector<uint64_t> frames;
    } rows[] = {
        {0, 20.0, {960, 1920, 2880}},
        {99, 20.0, {4800, 9600, 14400}},
        {100, 20.0, {5760, 11520, 17280}},
        {120, 20.0, {6720, 13440}},
        {100, 16.6, {5578, 11156, 16733, 22311}},
        {0, 0.0, {47, 96, 143, 191, 240, 288, 336, 384}},
        {100, 0.0, {4848, 9695, 14543, 19392}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(step_frames(row.wait, row.timer_ms, row.frames.size()), row.frames)
            << "wait " << row.wait << " timer " << row.timer_ms;
    }
}

TEST(RenderClock, BlockStopsShortAtTheFinalWrapAndThenReturnsNothing) {
    // With a tick on every frame and wait 0 the first step after the forced
    // one falls in frame 47; a single record wraps there.
    SongFile song = make_song(0, 0, 1, 1);
    Engine engine = start_engine(song.bytes, 0, 0.0);
    std::vector<float> block(2 * 1024);
    EXPECT_EQ(renderer_render_float(engine.renderer.get(), block.data(), 1024), 47u);
    EXPECT_EQ(renderer_render_float(engine.renderer.get(), block.data(), 1024), 0u);
}
