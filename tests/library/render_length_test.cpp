// How long a render is: measured up front and produced by the render loop.
#include <gtest/gtest.h>

#include "engine/render_length.h"
#include "song_builder.h"
#include "test_engine.h"

using namespace tamsel::core;

struct LengthCase {
    const char* what;
    uint32_t wait;
    int32_t repeat_start, repeat_end, records;
    int32_t loops;
    double timer_ms;
    uint64_t frames;
};

static const LengthCase length_cases[] = {
    {"8 records at wait 100", 100, 0, 8, 8, 0, 20.0, 46080},
    {"one loop back to record 2", 100, 2, 8, 8, 1, 20.0, 80640},
    {"one record, repeat_end 1, three loops", 100, 0, 1, 1, 3, 20.0, 23040},
    {"end point 0", 100, 0, 0, 8, 0, 20.0, 0},
    {"no records", 100, 0, 8, 0, 0, 20.0, 0},
    {"repeat_end beyond the records wraps at record_count", 0, 0, 50, 4, 0, 20.0, 4 * 960},
    {"repeat_start at the end point replays it every step", 0, 7, 8, 8, 2, 20.0, (8 + 2) * 960},
    {"tick on every frame", 0, 0, 1, 1, 0, 0.0, 47},
};

TEST(RenderLength, MeasuredEqualsRendered) {
    for (const LengthCase& c : length_cases) {
        SongFile song = make_song(c.wait, c.repeat_start, c.repeat_end, c.records);
        Engine engine = start_engine(song.bytes, c.loops, c.timer_ms);
        uint64_t measured = 0;
        ASSERT_TRUE(measure_render_length(engine.renderer.get(), WAV_MAX_FRAMES, &measured, nullptr, nullptr)) << c.what;
        EXPECT_EQ(measured, c.frames) << c.what;
        EXPECT_EQ(render_to_end(engine.renderer.get(), c.frames + 2048).size(), 2 * c.frames) << c.what;
    }
}

TEST(RenderLength, MeasuringLeavesTheSongAndClockAlone) {
    SongFile song = make_song(100, 0, 8, 8);
    Engine engine = start_engine(song.bytes, 0, 20.0);
    std::vector<float> block(2 * 3000);
    ASSERT_EQ(renderer_render_float(engine.renderer.get(), block.data(), 3000), 3000u);
    uint64_t frames = 0;
    ASSERT_TRUE(measure_render_length(engine.renderer.get(), WAV_MAX_FRAMES, &frames, nullptr, nullptr));
    EXPECT_EQ(frames, 46080u);
    // Measuring part-way through gives the whole length and moves nothing.
    EXPECT_EQ(renderer_position(engine.renderer.get()), 3000u);
    EXPECT_EQ(renderer_sequencer(engine.renderer.get())->position, 0);
    EXPECT_EQ(renderer_sequencer(engine.renderer.get())->loops_done, 0);
}

TEST(RenderLength, SongsThatNeverEndOrOverrunTheLimitAreRefused) {
    struct Row {
        const char* what;
        uint32_t wait;
        double timer_ms;
        uint64_t limit;
    } rows[] = {
        {"a wait the clock never passes", 0xFFFFFFFFu, 20.0, 2000000},
        {"a tick period that never comes back", 100, 1e300, 2000000},
        {"one frame over the limit", 100, 20.0, 46079},
    };
    for (const Row& row : rows) {
        SongFile song = make_song(row.wait, 0, 8, 8);
        Engine engine = start_engine(song.bytes, 0, row.timer_ms);
        uint64_t frames = 0;
        EXPECT_FALSE(measure_render_length(engine.renderer.get(), row.limit, &frames, nullptr, nullptr)) << row.what;
    }
}
