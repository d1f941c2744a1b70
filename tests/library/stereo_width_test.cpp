// Stereo width and per-track levels: 100 % and measuring change no byte,
// other widths follow the mid/side formula on the integer sums on every
// path, and a track's level is the peak of its own one-track render.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/renderer.h"
#include "library_renders.h"
#include "mixer/stereo_width.h"
#include "test_engine.h"
#include "test_songs.h"

namespace {

// The width formula computed apart from the library's: in double, which
// holds every product exactly, halves rounded up, then clamped.
int32_t widened(int32_t own, int32_t other, int32_t percent) {
    double exact = ((double)own * (100 + percent) + (double)other * (100 - percent)) / 200.0;
    double rounded = std::floor(exact + 0.5);
    if (rounded > INT32_MAX) return INT32_MAX;
    if (rounded < INT32_MIN) return INT32_MIN;
    return (int32_t)rounded;
}

// A whole render's sums at the given width, in blocks of 1000 frames.
std::vector<int32_t> sums_at(const tamsel::Song& song, int32_t percent, bool measure = false) {
    tamsel::Renderer renderer;
    EXPECT_EQ(renderer.create(song), TAMSEL_OK);
    EXPECT_EQ(renderer.set_stereo_width(percent), TAMSEL_OK);
    EXPECT_EQ(renderer.measure_track_levels(measure), TAMSEL_OK);
    std::vector<int32_t> all;
    std::vector<int32_t> block(2 * 1000);
    while (size_t got = renderer.render_int32(block.data(), 1000)) {
        all.insert(all.end(), block.begin(), block.begin() + (ptrdiff_t)(2 * got));
    }
    return all;
}

uint32_t peak_of(const int32_t* sums, size_t count) {
    uint32_t peak = 0;
    for (size_t i = 0; i < count; i++) {
        uint32_t m = sums[i] < 0 ? 0u - (uint32_t)sums[i] : (uint32_t)sums[i];
        peak = m > peak ? m : peak;
    }
    return peak;
}

const int32_t WIDTHS[] = {0, 1, 37, 99, 101, 150, 199, 200};

}  // namespace

TEST(StereoWidth, HundredPercentAndMeasuringLeaveEveryByte) {
    for (const tamsel::Song& song : {example_song("short.tsm"), loud_song()}) {
        std::vector<int32_t> plain = library_sums(song, tamsel::RenderOptions());
        EXPECT_EQ(sums_at(song, 100), plain);
        EXPECT_EQ(sums_at(song, 100, true), plain);
    }
}

TEST(StereoWidth, EveryWidthFollowsTheFormulaOnTheSums) {
    // The loud song's sums pass 2^15, so 200 % reaches far beyond 16 bits.
    for (const tamsel::Song& song : {example_song("short.tsm"), loud_song()}) {
        std::vector<int32_t> plain = library_sums(song, tamsel::RenderOptions());
        for (int32_t percent : WIDTHS) {
            std::vector<int32_t> wide = sums_at(song, percent, percent % 2 == 1);
            ASSERT_EQ(wide.size(), plain.size()) << percent;
            for (size_t i = 0; i < plain.size(); i += 2) {
                ASSERT_EQ(wide[i], widened(plain[i], plain[i + 1], percent)) << percent << " frame " << i / 2;
                ASSERT_EQ(wide[i + 1], widened(plain[i + 1], plain[i], percent)) << percent << " frame " << i / 2;
                if (percent == 0) {
                    ASSERT_EQ(wide[i], wide[i + 1]) << "frame " << i / 2;
                }
            }
        }
    }
}

TEST(StereoWidth, ExtremeSumsRoundAndClampAsDocumented) {
    const int32_t sums[][2] = {{INT32_MAX, INT32_MIN},
                               {INT32_MIN, INT32_MAX},
                               {INT32_MIN, INT32_MIN},
                               {INT32_MAX, INT32_MAX},
                               {1, 0},
                               {-1, 0},
                               {3, -4},
                               {-3, 4}};
    for (const auto& pair : sums) {
        for (int32_t percent : WIDTHS) {
            EXPECT_EQ(tamsel::core::widened_channel(pair[0], pair[1], percent), widened(pair[0], pair[1], percent))
                << pair[0] << " " << pair[1] << " at " << percent;
        }
        EXPECT_EQ(tamsel::core::widened_channel(pair[0], pair[1], 100), pair[0]);
    }
}

TEST(StereoWidth, FloatSixteenBitAndThePerFrameLoopUseTheWidenedSums) {
    std::vector<uint8_t> bytes = example_bytes("short.tsm");
    tamsel::Song song = loaded_song(bytes);
    for (int32_t percent : {0, 60, 200}) {
        std::vector<int32_t> sums = sums_at(song, percent);
        tamsel::Renderer renderer;
        ASSERT_EQ(renderer.create(song), TAMSEL_OK);
        ASSERT_EQ(renderer.set_stereo_width(percent), TAMSEL_OK);
        std::vector<float> floats(sums.size());
        std::vector<int16_t> shorts(sums.size());
        size_t half = sums.size() / 4;
        ASSERT_EQ(renderer.render_float(floats.data(), half), half);
        ASSERT_EQ(renderer.render_int16(shorts.data() + 2 * half, sums.size() / 2 - half), sums.size() / 2 - half);

        Engine reference = start_engine(bytes, 0, 20.0);
        tamsel::core::renderer_set_stereo_width(reference.renderer.get(), percent);
        // The per-frame loop is slow: its first two seconds.
        std::vector<float> per_frame(2 * 96000);
        ASSERT_EQ(tamsel::core::renderer_render_reference(reference.renderer.get(), per_frame.data(), 96000), 96000u);
        for (size_t i = 0; i < sums.size(); i++) {
            float expected = (float)((double)sums[i] / 32768.0);
            if (i < per_frame.size()) {
                ASSERT_EQ(std::memcmp(&per_frame[i], &expected, sizeof expected), 0) << percent << " sample " << i;
            }
            if (i < 2 * half) {
                ASSERT_EQ(std::memcmp(&floats[i], &expected, sizeof expected), 0) << percent << " sample " << i;
            } else {
                ASSERT_EQ(shorts[i], sums[i] < -32768 ? -32768 : sums[i] > 32767 ? 32767 : sums[i]) << i;
            }
        }
    }
}

TEST(StereoWidth, BadWidthsAreRefusedAndChangeNothing) {
    tamsel::Song song = example_song("short.tsm");
    std::vector<int32_t> mono = sums_at(song, 0);
    tamsel::Renderer renderer;
    ASSERT_EQ(renderer.create(song), TAMSEL_OK);
    ASSERT_EQ(renderer.set_stereo_width(0), TAMSEL_OK);
    for (int32_t bad : {-1, 201, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(renderer.set_stereo_width(bad), TAMSEL_ERR_INVALID_ARGUMENT) << bad;
    }
    EXPECT_EQ(tamsel_renderer_set_stereo_width(nullptr, 100), TAMSEL_ERR_INVALID_ARGUMENT);
    std::vector<int32_t> out(mono.size());
    ASSERT_EQ(renderer.render_int32(out.data(), mono.size() / 2), mono.size() / 2);
    EXPECT_EQ(out, mono);
}

TEST(StereoWidth, LoopTailsCrossfadeTheWidenedRender) {
    tamsel::Song song = example_song("demo.tsm");
    tamsel::RenderOptions options;
    options.loops = 1;
    tamsel::Renderer renderer;
    ASSERT_EQ(renderer.create(song, options), TAMSEL_OK);
    ASSERT_EQ(renderer.set_stereo_width(0), TAMSEL_OK);
    tamsel::Loop loop{};
    ASSERT_EQ(renderer.find_loop(UINT64_MAX, &loop), TAMSEL_OK);
    std::vector<int32_t> tail;
    ASSERT_EQ(renderer.loop_tail_int32(loop, &tail), TAMSEL_OK);
    ASSERT_EQ(tail.size(), 2u * loop.crossfade);
    for (size_t i = 0; i < tail.size(); i += 2) ASSERT_EQ(tail[i], tail[i + 1]) << "tail frame " << i / 2;
    // The tail ends on the widened render's frame S - 1.
    std::vector<int32_t> last(2);
    ASSERT_EQ(renderer.seek(loop.start - 1), TAMSEL_OK);
    ASSERT_EQ(renderer.render_int32(last.data(), 1), 1u);
    EXPECT_EQ(std::vector<int32_t>(tail.end() - 2, tail.end()), last);
}

TEST(TrackLevels, EachTrackReadsThePeakOfItsOwnRenderBlockByBlock) {
    tamsel::Song song = example_song("demo.tsm");
    const size_t BLOCK = 777;
    // Track 1 muted in the mix: it reads 0 while the others read their own.
    tamsel::RenderOptions mix_options;
    mix_options.muted_tracks = 1u << 1;
    tamsel::Renderer mix;
    ASSERT_EQ(mix.create(song, mix_options), TAMSEL_OK);
    ASSERT_EQ(mix.set_stereo_width(0), TAMSEL_OK);
    ASSERT_EQ(mix.measure_track_levels(true), TAMSEL_OK);
    std::array<tamsel::Renderer, TAMSEL_TRACK_COUNT> solos;
    for (uint32_t t = 0; t < TAMSEL_TRACK_COUNT; t++) {
        tamsel::RenderOptions solo;
        solo.muted_tracks = 0xFu & ~(1u << t);
        ASSERT_EQ(solos[t].create(song, solo), TAMSEL_OK);
    }
    std::vector<int32_t> block(2 * BLOCK);
    std::array<uint32_t, TAMSEL_TRACK_COUNT> levels{};
    std::array<uint32_t, TAMSEL_TRACK_COUNT> loudest{};
    for (size_t got; (got = mix.render_int32(block.data(), BLOCK)) > 0;) {
        ASSERT_EQ(mix.track_levels(&levels), TAMSEL_OK);
        for (uint32_t t = 0; t < TAMSEL_TRACK_COUNT; t++) {
            ASSERT_EQ(solos[t].render_int32(block.data(), got), got);
            uint32_t expected = t == 1 ? 0 : peak_of(block.data(), 2 * got);
            ASSERT_EQ(levels[t], expected) << "track " << t << " at frame " << mix.position();
            loudest[t] = expected > loudest[t] ? expected : loudest[t];
        }
    }
    for (uint32_t t : {0u, 2u, 3u}) EXPECT_GT(loudest[t], 0u) << "track " << t << " never sounded";
    // After the end, a seek, or with measuring off, every level is 0.
    std::array<uint32_t, TAMSEL_TRACK_COUNT> zero{};
    ASSERT_EQ(mix.track_levels(&levels), TAMSEL_OK);
    EXPECT_EQ(levels, zero);
    ASSERT_EQ(mix.seek(48000), TAMSEL_OK);
    ASSERT_EQ(mix.render_int32(block.data(), BLOCK), BLOCK);
    ASSERT_EQ(mix.seek(96000), TAMSEL_OK);
    ASSERT_EQ(mix.track_levels(&levels), TAMSEL_OK);
    EXPECT_EQ(levels, zero);
    ASSERT_EQ(mix.measure_track_levels(false), TAMSEL_OK);
    ASSERT_EQ(mix.render_int32(block.data(), BLOCK), BLOCK);
    ASSERT_EQ(mix.track_levels(&levels), TAMSEL_OK);
    EXPECT_EQ(levels, zero);
    EXPECT_EQ(tamsel_renderer_measure_track_levels(nullptr, 1), TAMSEL_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(tamsel_renderer_get_track_levels(mix.get(), nullptr), TAMSEL_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(tamsel_renderer_get_track_levels(nullptr, levels.data()), TAMSEL_ERR_INVALID_ARGUMENT);
}
