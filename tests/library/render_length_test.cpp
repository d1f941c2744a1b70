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
        ASSERT_EQ(measure_render_length(engine.renderer.get(), TAMSEL_WAV_MAX_FRAMES, &measured, nullptr, nullptr),
                  RenderLength::MEASURED)
            << c.what;
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
    ASSERT_EQ(measure_render_length(engine.renderer.get(), TAMSEL_WAV_MAX_FRAMES, &frames, nullptr, nullptr),
              RenderLength::MEASURED);
    EXPECT_EQ(frames, 46080u);
    // Measuring part-way through gives the whole length and moves nothing.
    EXPECT_EQ(renderer_position(engine.renderer.get()), 3000u);
    EXPECT_EQ(renderer_sequencer(engine.renderer.get())->position, 0);
    EXPECT_EQ(renderer_sequencer(engine.renderer.get())->loops_done, 0);
}

// Whatever the limit, a render that never ends is found out at once: the
// clock stops ticking, or the steps still needed cannot fit below its
// highest reading (2^31 - 1 ms).
TEST(RenderLength, SongsThatNeverEndOrOverrunTheLimitAreRefused) {
    constexpr RenderLength NEVER = RenderLength::NEVER_ENDS, TOO_LONG = RenderLength::TOO_LONG,
                           MEASURED = RenderLength::MEASURED;
    struct Row {
        const char* what;
        uint32_t wait;
        int32_t records;
        int32_t loops;
        double timer_ms;
        uint64_t limit;
        RenderLength found;
        uint64_t frames;
    } rows[] = {
        {"a wait the clock never passes", 0xFFFFFFFFu, 8, 0, 20.0, UINT64_MAX, NEVER, 0},
        {"a wait of 2^31 - 1 ms", 0x7FFFFFFFu, 8, 0, 20.0, UINT64_MAX, NEVER, 0},
        {"a tick period that never comes back", 100, 8, 0, 1e300, UINT64_MAX, NEVER, 0},
        {"a tick of 1e14 ms: one step, then the clock reads its highest", 100, 8, 0, 1e14, UINT64_MAX, NEVER, 0},
        {"a tick of 1e14 ms wraps at its first tick", 100, 1, 0, 1e14, UINT64_MAX, MEASURED, 4800000000000000},
        {"more loops than the clock's readings hold", 100, 8, INT32_MAX, 20.0, UINT64_MAX, NEVER, 0},
        {"one frame over the limit", 100, 8, 0, 20.0, 46079, TOO_LONG, 0},
        {"exactly the limit", 100, 8, 0, 20.0, 46080, MEASURED, 46080},
    };
    for (const Row& row : rows) {
        SongFile song = make_song(row.wait, 0, row.records, row.records);
        Engine engine = start_engine(song.bytes, row.loops, row.timer_ms);
        uint64_t frames = 0;
        EXPECT_EQ(measure_render_length(engine.renderer.get(), row.limit, &frames, nullptr, nullptr), row.found)
            << row.what;
        EXPECT_EQ(frames, row.frames) << row.what;
    }
}
