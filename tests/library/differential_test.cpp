// The fast renderer against the plain per-frame loop: many generated songs,
// compared byte for byte, with every inner loop the processor has and with
// tracks muted.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/renderer.h"
#include "mixer/steady_mix.h"
#include "test_engine.h"
#include "test_songs.h"

using namespace tamsel::core;

namespace {

// Random block sizes for the calls of the fast renderer.
struct BlockSizes {
    uint32_t state;
    uint32_t below(uint32_t n) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state % n;
    }
};

typedef uint64_t (*RenderCall)(Renderer* renderer, float* out, uint64_t count);

// Renders to the end or to the first 200000 frames, in calls of 1024 frames
// or, given sizes, of random counts.
std::vector<float> render_with(Renderer* renderer, RenderCall render, BlockSizes* sizes) {
    const uint64_t cap = 200000;
    std::vector<float> out;
    std::vector<float> block(2 * 5000);
    for (uint64_t total = 0; total < cap;) {
        uint64_t want = sizes ? 1 + sizes->below(2500) : 1024;
        if (want > cap - total) want = cap - total;
        uint64_t got = render(renderer, block.data(), want);
        out.insert(out.end(), block.begin(), block.begin() + (ptrdiff_t)(2 * got));
        total += got;
        if (got < want) break;
    }
    return out;
}

// The song rendered on two renderers of its own, the per-frame loop and the
// fast one on the given inner loop, both with the same tracks muted.
void expect_same_bytes(uint32_t seed, SteadyMixPath path, uint32_t muted_tracks) {
    std::string what = "seed " + std::to_string(seed) + ", path " + std::to_string((int)path) + ", muted " +
                       std::to_string(muted_tracks);
    GeneratedSong song = generated_song(seed);
    Engine reference = start_engine(song.file.bytes, song.loops, song.timer_ms);
    Engine fast = start_engine(song.file.bytes, song.loops, song.timer_ms);
    ASSERT_NE(reference.renderer, nullptr) << what;
    ASSERT_NE(fast.renderer, nullptr) << what;
    renderer_set_muted_tracks(reference.renderer.get(), muted_tracks);
    renderer_set_muted_tracks(fast.renderer.get(), muted_tracks);
    renderer_set_mix_path(fast.renderer.get(), path);
    std::vector<float> expected = render_with(reference.renderer.get(), renderer_render_reference, nullptr);
    BlockSizes sizes{seed};
    std::vector<float> actual = render_with(fast.renderer.get(), renderer_render_float, &sizes);
    ASSERT_EQ(actual.size(), expected.size()) << what;
    EXPECT_EQ(std::memcmp(actual.data(), expected.data(), actual.size() * sizeof(float)), 0) << what;
}

const SteadyMixPath ALL_PATHS[] = {STEADY_MIX_SCALAR, STEADY_MIX_AVX2, STEADY_MIX_AVX512};

}  // namespace

TEST(Differential, FastRendererMatchesThePerFrameLoop) {
    for (uint32_t seed = 1; seed <= 24; seed++) expect_same_bytes(seed, best_steady_mix_path(), 0);
}

TEST(Differential, EveryInnerLoopGivesTheSameBytes) {
    for (SteadyMixPath path : ALL_PATHS) {
        if (!steady_mix_path_available(path)) continue;
        for (uint32_t seed = 25; seed <= 32; seed++) expect_same_bytes(seed, path, 0);
    }
}

TEST(Differential, MutedTracksGiveTheSameBytesOnEveryInnerLoop) {
    // Every mask from one track to all four, spread over the seeds.
    for (SteadyMixPath path : ALL_PATHS) {
        if (!steady_mix_path_available(path)) continue;
        for (uint32_t seed = 33; seed <= 47; seed++) expect_same_bytes(seed, path, seed - 32);
    }
}

// The float conversion of the fast renderer against the reference's, where
// rounding happens: sums beyond 2^24, with every kind of tie, and the ends.
TEST(Differential, FloatsOfSumsRoundAsTheDoubleQuotientDoes) {
    std::vector<int32_t> sums = {0, 1, -1, 32767, -32768, INT32_MAX, INT32_MIN, INT32_MIN + 1};
    for (int32_t power = 24; power <= 30; power++) {
        for (int32_t offset = -3; offset <= 3; offset++) {
            int32_t sum = (int32_t)((1u << power) + (uint32_t)offset);
            sums.push_back(sum);
            sums.push_back(-sum);
        }
    }
    BlockSizes random{12345};
    for (int32_t i = 0; i < 100000; i++) sums.push_back((int32_t)(random.below(65536) << 16 | random.below(65536)));
    std::vector<float> fast(sums.size());
    floats_of_sums(sums.data(), fast.data(), sums.size());
    for (size_t i = 0; i < sums.size(); i++) ASSERT_EQ(fast[i], float_of_sum(sums[i])) << sums[i];
}
