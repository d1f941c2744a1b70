// The fast renderer against the plain per-frame loop: many generated songs,
// compared byte for byte.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/reference_render.h"
#include "engine/render_clock.h"
#include "mixer/steady_mix.h"
#include "test_support.h"

namespace {

struct Random {
    uint32_t state;
    uint32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    uint32_t below(uint32_t n) { return next() % n; }
};

struct GeneratedSong {
    SongFile file;
    int32_t loops;
    double timer_ms;
};

const double timers[] = {20.0, 0.0, 16.666666666666668, 16.6, 10.5, 3.3};

void random_instrument(Random* rng, SongFile* song, int32_t i) {
    int8_t waveform[256];
    uint8_t envelope[64];
    for (int8_t& w : waveform) w = (int8_t)(uint8_t)rng->next();
    // Mostly gentle envelopes, sometimes above 128 where samples wrap.
    uint32_t ceiling = rng->below(4) == 0 ? 256 : 129;
    for (uint8_t& e : envelope) e = (uint8_t)rng->below(ceiling);
    // Short notes end inside a segment; some are only a few samples long.
    const int32_t lengths[] = {2, 3, 5, 64, 700, 2500, 9000};
    set_instrument(song, i, (uint8_t)rng->below(9), lengths[rng->below(7)], 150 + (int32_t)rng->below(200), waveform,
                   envelope);
}

GeneratedSong random_song(uint32_t seed) {
    Random rng{seed * 2654435761u + 1};
    int32_t records = 4 + (int32_t)rng.below(40);
    int32_t repeat_start = (int32_t)rng.below((uint32_t)records);
    GeneratedSong song{make_song(rng.below(160), repeat_start, records, records), (int32_t)rng.below(3),
                       timers[rng.below(6)]};
    for (int32_t i = 0; i < 3; i++) random_instrument(&rng, &song.file, i);
    set_u32(&song.file, 1044, 200 + rng.below(150));
    uint32_t density = 1 + rng.below(12);
    for (int32_t r = 0; r < records; r++) {
        for (int32_t t = 0; t < 4; t++) {
            uint32_t word = 0;
            for (int32_t k = 0; k < 24; k++) {
                if (rng.below(24) < density) word |= 1u << k;
            }
            // Pan changes glide on voices that already sound; 8 and up are
            // ignored.
            if (rng.below(3) == 0) word |= rng.below(10) << 24;
            set_record(&song.file, t, r, word);
        }
    }
    return song;
}

// Renders the song to its end or to the first 200000 frames, in calls of
// 1024 frames or, given sizes, of random counts.
std::vector<float> render_with(uint64_t (*render)(float*, uint64_t), Random* sizes) {
    const uint64_t cap = 200000;
    std::vector<float> out;
    std::vector<float> block(2 * 5000);
    for (uint64_t total = 0; total < cap;) {
        uint64_t want = sizes ? 1 + sizes->below(2500) : 1024;
        if (want > cap - total) want = cap - total;
        uint64_t got = render(block.data(), want);
        out.insert(out.end(), block.begin(), block.begin() + (ptrdiff_t)(2 * got));
        total += got;
        if (got < want) break;
    }
    return out;
}

}  // namespace

// Every inner loop the processor has must give the same bytes.
static void expect_fast_matches_reference(uint32_t first_seed, uint32_t last_seed) {
    for (uint32_t seed = first_seed; seed <= last_seed; seed++) {
        GeneratedSong song = random_song(seed);
        std::string path = write_temp_file("song.tsm", song.file.bytes);

        ASSERT_EQ(start_song_file(path, song.loops, song.timer_ms), 1);
        std::vector<float> expected = render_with(generate_samples_reference, nullptr);

        ASSERT_EQ(start_song_file(path, song.loops, song.timer_ms), 1);
        Random sizes{seed};
        std::vector<float> actual = render_with(generate_samples, &sizes);

        ASSERT_EQ(actual.size(), expected.size()) << "seed " << seed;
        EXPECT_EQ(std::memcmp(actual.data(), expected.data(), actual.size() * sizeof(float)), 0) << "seed " << seed;
    }
}

TEST(Differential, FastRendererMatchesThePerFrameLoop) {
    expect_fast_matches_reference(1, 24);
}

TEST(Differential, EveryInnerLoopGivesTheSameBytes) {
    const SteadyMixPath paths[] = {STEADY_MIX_SCALAR, STEADY_MIX_AVX2, STEADY_MIX_AVX512};
    for (SteadyMixPath path : paths) {
        if (!select_steady_mix_path(path)) continue;
        expect_fast_matches_reference(25, 32);
    }
    select_steady_mix_path(STEADY_MIX_BEST);
}
