// The seamless loop against the render itself: S and E are the render's
// first two wraps, the tail fades from the render's frames before E into
// those before S, and the figures are those of the two stretches.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "library_renders.h"
#include "song_builder.h"
#include "tamsel/tamsel.hpp"
#include "test_songs.h"

namespace {

struct LoopCase {
    std::string name;
    tamsel::Song song;
    double tick_ms;
};

std::vector<LoopCase> loop_cases() {
    std::vector<LoopCase> cases;
    cases.push_back({"demo", example_song("demo.tsm"), 20.0});
    cases.push_back({"short", example_song("short.tsm"), 20.0});
    // Notes ring on across every wrap, so the stretches differ.
    cases.push_back({"sounding", loaded_song(sounding_song(3, 12)), 20.0});
    for (uint32_t seed : {1u, 2u, 3u}) {
        GeneratedSong generated = generated_song(seed);
        cases.push_back({"generated " + std::to_string(seed), loaded_song(generated.file.bytes), generated.timer_ms});
    }
    return cases;
}

// The same measure as the library's, worked out here from the render.
double difference_db(const std::vector<int32_t>& sums, uint64_t ending, uint64_t lead_in, uint32_t frames) {
    double difference = 0.0, signal = 0.0;
    for (uint64_t i = 0; i < 2 * (uint64_t)frames; i++) {
        double a = sums[2 * ending + i], b = sums[2 * lead_in + i];
        difference += (a - b) * (a - b);
        signal += (a * a + b * b) / 2.0;
    }
    return difference == 0.0 ? -HUGE_VAL : 10.0 * std::log10(difference / signal);
}

}  // namespace

TEST(SeamlessLoop, TheTailFadesFromTheRenderBeforeEIntoTheRenderBeforeS) {
    for (LoopCase& c : loop_cases()) {
        SCOPED_TRACE(c.name);
        tamsel::RenderOptions options;
        options.tick_ms = c.tick_ms;
        options.loops = 1;
        tamsel::Renderer renderer;
        ASSERT_EQ(renderer.create(c.song, options), TAMSEL_OK);
        tamsel::Loop loop = {};
        ASSERT_EQ(renderer.find_loop(UINT64_MAX, &loop), TAMSEL_OK);
        // The render with one extra pass: S its one loop point, E its end.
        std::vector<uint64_t> wraps;
        uint64_t end = 0;
        ASSERT_EQ(renderer.wraps(UINT64_MAX, &wraps), TAMSEL_OK);
        ASSERT_EQ(renderer.length(UINT64_MAX, &end), TAMSEL_OK);
        EXPECT_EQ(wraps, std::vector<uint64_t>{loop.start});
        EXPECT_EQ(loop.end, end);
        EXPECT_EQ(loop.crossfade, std::min<uint64_t>({TAMSEL_LOOP_CROSSFADE_FRAMES, loop.start, end - loop.start}));

        std::vector<int32_t> sums = library_sums(c.song, options);
        ASSERT_EQ(sums.size(), 2 * end);
        ASSERT_EQ(renderer.seek(1000), TAMSEL_OK);
        std::vector<int32_t> tail;
        std::vector<float> floats;
        double measured = 0.0;
        ASSERT_EQ(renderer.loop_tail_int32(loop, &tail, &measured), TAMSEL_OK);
        ASSERT_EQ(renderer.loop_tail_float(loop, &floats), TAMSEL_OK);
        EXPECT_EQ(renderer.position(), 1000u);

        uint32_t x = loop.crossfade;
        uint64_t ending = end - x, lead_in = loop.start - x;
        EXPECT_EQ(measured, difference_db(sums, ending, lead_in, x));
        ASSERT_EQ(tail.size(), 2 * (size_t)x);
        for (size_t i = 0; i < tail.size(); i++) {
            int32_t a = sums[2 * ending + i], b = sums[2 * lead_in + i];
            // Linear gains: (i + 1) / X of the lead-in, rounded. The last
            // frame's gain is 1: the render's S - 1, which leads into S.
            double exact = a + (double)((int64_t)b - a) * (double)(i / 2 + 1) / x;
            ASSERT_LE(std::fabs(tail[i] - exact), 0.5) << i;
            ASSERT_EQ(floats[i], (float)(tail[i] / 32768.0)) << i;
        }
    }
}

TEST(SeamlessLoop, SongsWithoutALoopAndMisuse) {
    tamsel::Song never = loaded_song(song_bytes(0x80000000u, 0, 8, 8));
    tamsel::Song song = loaded_song(song_bytes(100, 2, 8, 8));
    tamsel::Renderer renderer;
    tamsel::Loop loop = {};
    ASSERT_EQ(renderer.create(never), TAMSEL_OK);
    EXPECT_EQ(renderer.find_loop(UINT64_MAX, &loop), TAMSEL_ERR_NO_LOOP);
    // A played-once render still has its loop: 8 records, then 6 more.
    ASSERT_EQ(renderer.create(song), TAMSEL_OK);
    EXPECT_EQ(renderer.find_loop(80639, &loop), TAMSEL_ERR_TOO_LONG);
    ASSERT_EQ(renderer.find_loop(80640, &loop), TAMSEL_OK);
    EXPECT_EQ(loop.start, 46080u);
    EXPECT_EQ(loop.end, 80640u);
    EXPECT_EQ(loop.crossfade, (uint32_t)TAMSEL_LOOP_CROSSFADE_FRAMES);
    std::vector<int32_t> tail;
    // Its render ends at S, before the tail.
    EXPECT_EQ(renderer.loop_tail_int32(loop, &tail), TAMSEL_ERR_INVALID_ARGUMENT);
    tamsel::RenderOptions forever;
    forever.loops = tamsel::LOOPS_FOREVER;
    ASSERT_EQ(renderer.create(song, forever), TAMSEL_OK);
    EXPECT_EQ(renderer.loop_tail_int32(loop, &tail), TAMSEL_OK);
    tamsel::Loop wrong = loop;
    wrong.crossfade = TAMSEL_LOOP_CROSSFADE_FRAMES + 1;
    EXPECT_EQ(renderer.loop_tail_int32(wrong, &tail), TAMSEL_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(tamsel_renderer_find_loop(renderer.get(), 0, nullptr), TAMSEL_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(tamsel_renderer_loop_tail_int32(nullptr, &loop, nullptr, nullptr), TAMSEL_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(tamsel_renderer_loop_tail_float(renderer.get(), &loop, nullptr, nullptr), TAMSEL_ERR_INVALID_ARGUMENT);
}
