// Endless play: the frames of every finite render first, then the repeat
// region for ever, with seeks that land anywhere, day 25 included.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "song_builder.h"
#include "tamsel/tamsel.hpp"
#include "test_engine.h"
#include "test_folder.h"
#include "test_songs.h"

namespace {

tamsel::Renderer renderer_for(const tamsel::Song& song, int32_t loops, double tick_ms = 20.0) {
    tamsel::RenderOptions options;
    options.loops = loops;
    options.tick_ms = tick_ms;
    tamsel::Renderer renderer;
    EXPECT_EQ(renderer.create(song, options), TAMSEL_OK);
    return renderer;
}

// The next frames' integer sums, fewer only at the end of the render.
std::vector<int32_t> sums(tamsel::Renderer& renderer, uint64_t frames) {
    std::vector<int32_t> out(2 * frames);
    uint64_t done = 0;
    while (done < frames) {
        size_t want = frames - done < 4096 ? (size_t)(frames - done) : 4096;
        size_t got = renderer.render_int32(out.data() + 2 * done, want);
        done += got;
        if (got < want) break;
    }
    out.resize(2 * done);
    return out;
}

std::vector<int32_t> sums_at(tamsel::Renderer& renderer, uint64_t frame, uint64_t frames) {
    EXPECT_EQ(renderer.seek(frame), TAMSEL_OK);
    return sums(renderer, frames);
}

uint64_t sounding(const std::vector<int32_t>& samples) {
    uint64_t count = 0;
    for (int32_t s : samples) count += s != 0;
    return count;
}

// In step, block by block: the endless render against the renders with 0,
// 1 and 3 loops, each up to its end; over the demo, and a shorter song at
// two ticks (16.6 ms gives uneven step intervals).
TEST(EndlessPlay, BeginsWithEveryFiniteRender) {
    struct Row {
        const char* song;
        double tick_ms;
    } rows[] = {{"demo.tsm", 20.0}, {"short.tsm", 20.0}, {"short.tsm", 16.6}};
    for (const Row& row : rows) {
        tamsel::Song song = example_song(row.song);
        tamsel::Renderer endless = renderer_for(song, tamsel::LOOPS_FOREVER, row.tick_ms);
        uint64_t frames = 0;
        EXPECT_EQ(endless.length(UINT64_MAX, &frames), TAMSEL_ERR_TOO_LONG);
        EXPECT_EQ(endless.measure(UINT64_MAX, &frames), TAMSEL_ERR_NEVER_ENDS);
        std::vector<uint64_t> wraps;
        EXPECT_EQ(endless.wraps(UINT64_MAX, &wraps), TAMSEL_ERR_TOO_LONG);

        tamsel::Renderer finite[3] = {renderer_for(song, 0, row.tick_ms), renderer_for(song, 1, row.tick_ms),
                                      renderer_for(song, 3, row.tick_ms)};
        ASSERT_EQ(finite[2].length(UINT64_MAX, &frames), TAMSEL_OK);
        for (uint64_t done = 0; done < frames; done += 4096) {
            std::vector<int32_t> played = sums(endless, 4096);
            ASSERT_EQ(played.size(), 2u * 4096) << row.song;
            for (int32_t k = 0; k < 3; k++) {
                std::vector<int32_t> expected = sums(finite[k], 4096);
                ASSERT_EQ(std::vector<int32_t>(played.begin(), played.begin() + (ptrdiff_t)expected.size()), expected)
                    << row.song << " " << row.tick_ms << " loops " << (k == 2 ? 3 : k) << " frame " << done;
            }
        }
        EXPECT_GT(sounding(sums(endless, 96000)), 50000u) << row.song;
    }
}

// The loop points around frame 2^29, where endless play starts to repeat
// its pass: the finite render with enough loops has them.
std::vector<uint64_t> loop_points_past_anchor(const tamsel::Song& song) {
    tamsel::Renderer finite = renderer_for(song, 105);
    std::vector<uint64_t> wraps;
    EXPECT_EQ(finite.wraps(UINT64_MAX, &wraps), TAMSEL_OK);
    std::vector<uint64_t> past;
    for (uint64_t w : wraps) {
        if (w >= ((uint64_t)1 << 29)) past.push_back(w);
    }
    return past;
}

TEST(EndlessPlay, AgreesWithFiniteRendersPastAWavFileThenRepeatsItsPass) {
    tamsel::Song song = example_song("demo.tsm");
    std::vector<uint64_t> wraps = loop_points_past_anchor(song);
    ASSERT_GE(wraps.size(), 2u);
    uint64_t anchor = wraps[0], next = wraps[1], pass = next - anchor;

    // Up to the second loop point past 2^29 the frames are the finite ones.
    tamsel::Renderer endless = renderer_for(song, tamsel::LOOPS_FOREVER);
    tamsel::Renderer finite = renderer_for(song, 105);
    EXPECT_EQ(sums_at(endless, anchor - 5000, 10000), sums_at(finite, anchor - 5000, 10000));
    EXPECT_EQ(sums_at(endless, next - 5000, 5000), sums_at(finite, next - 5000, 5000));
    // Then they part: the finite render's next pass is not its last one.
    EXPECT_NE(sums_at(endless, next, 5000), sums_at(finite, next, 5000));

    // From there each pass is the one from the first loop point, sample for
    // sample, and the state shows the same record one pass further on.
    for (uint64_t offset : {(uint64_t)0, (uint64_t)1, pass / 3, pass - 1000}) {
        std::vector<int32_t> first = sums_at(endless, anchor + offset, 1000);
        tamsel::PlayState then{};
        ASSERT_EQ(endless.state(&then), TAMSEL_OK);
        for (uint64_t k : {(uint64_t)1, (uint64_t)2, (uint64_t)1000}) {
            EXPECT_EQ(sums_at(endless, anchor + k * pass + offset, 1000), first) << offset << " pass " << k;
            tamsel::PlayState now{};
            ASSERT_EQ(endless.state(&now), TAMSEL_OK);
            EXPECT_EQ(now.record, then.record) << offset << " pass " << k;
            EXPECT_EQ(now.pass, then.pass + (uint32_t)k) << offset << " pass " << k;
        }
    }
}

// The per-frame loop takes over just before the render first returns to
// its anchor, and plays across that return as the fast renderer does.
TEST(EndlessPlay, ThePerFrameLoopReturnsToTheAnchorToo) {
    tamsel::Song song = example_song("demo.tsm");
    uint64_t next = loop_points_past_anchor(song)[1];
    std::vector<uint8_t> bytes = read_file(std::string(TAMSEL_SOURCE_DIR) + "/examples/demo.tsm");
    Engine fast = start_engine(bytes, tamsel::LOOPS_FOREVER, 20.0);
    Engine slow = start_engine(bytes, tamsel::LOOPS_FOREVER, 20.0);
    std::vector<float> expected(2 * 6000), actual(2 * 6000);
    renderer_seek(fast.renderer.get(), next - 3000);
    ASSERT_EQ(renderer_render_float(fast.renderer.get(), expected.data(), 6000), 6000u);
    renderer_seek(slow.renderer.get(), next - 3000);
    ASSERT_EQ(renderer_render_reference(slow.renderer.get(), actual.data(), 6000), 6000u);
    EXPECT_EQ(actual, expected);
}

// Day 25, past the 2^31 ms at which a finite render's clock stops: sound,
// and the frames a render from an earlier seek plays on into.
TEST(EndlessPlay, ASeekToDayTwentyFiveGivesTheSoundOfPlayingOn) {
    const uint64_t day = 24ull * 3600 * 48000;
    for (const char* name : {"demo.tsm", "short.tsm"}) {
        tamsel::Song song = example_song(name);
        tamsel::Renderer far = renderer_for(song, tamsel::LOOPS_FOREVER);
        std::vector<int32_t> landed = sums_at(far, 25 * day, 96000);
        EXPECT_GT(sounding(landed), 50000u) << name;
        tamsel::Renderer earlier = renderer_for(song, tamsel::LOOPS_FOREVER);
        std::vector<int32_t> on = sums_at(earlier, 25 * day - 30 * 48000, 30 * 48000 + 96000);
        EXPECT_EQ(std::vector<int32_t>(on.end() - 2 * 96000, on.end()), landed) << name;
        // Back again, and to the last frames a 64-bit position reaches.
        EXPECT_EQ(sums_at(far, 25 * day, 96000), landed) << name;
        EXPECT_GT(sounding(sums_at(far, UINT64_MAX - 96000, 96000)), 50000u) << name;
        EXPECT_EQ(far.position(), UINT64_MAX) << name;
    }
}

// A step time the clock never passes: the first record plays, then
// silence for ever, and a seek to the last frames is done at once.
TEST(EndlessPlay, ASongThatStopsSteppingIsSilentOnceItsNotesEnd) {
    SongFile file = make_song(0xFFFFFFFFu, 0, 8, 8);
    int8_t waveform[256];
    uint8_t envelope[64];
    for (int32_t p = 0; p < 256; p++) waveform[p] = (int8_t)(p < 128 ? 60 : -60);
    for (int32_t e = 0; e < 64; e++) envelope[e] = 128;
    set_instrument(&file, 0, 4, 20000, 300, waveform, envelope);
    set_record(&file, 0, 0, 1);
    tamsel::Song song;
    ASSERT_EQ(song.load_memory(file.bytes.data(), file.bytes.size()), TAMSEL_OK);
    tamsel::Renderer endless = renderer_for(song, tamsel::LOOPS_FOREVER);
    EXPECT_GT(sounding(sums(endless, 48000)), 10000u);
    EXPECT_EQ(sounding(sums_at(endless, UINT64_MAX - 48000, 48000)), 0u);
    tamsel::PlayState state{};
    ASSERT_EQ(endless.state(&state), TAMSEL_OK);
    EXPECT_EQ(state.frame, UINT64_MAX);
    EXPECT_EQ(state.record, 0);
    EXPECT_EQ(state.pass, 0u);
}

}  // namespace
