// Notes are made as voices read them, or all up front, and kept within a
// budget; whatever the budget, a render gives the same samples as the
// per-frame loop.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "test_engine.h"
#include "test_songs.h"

using namespace tamsel::core;

namespace {

// A whole number of the 1024-frame blocks render_to_end asks for.
constexpr uint64_t CAP_FRAMES = 147 * 1024;

// Prepared: every note's cache made up front, in slot order, as far as the
// budget goes; otherwise as voices first read them.
std::vector<float> render_with_budget(const GeneratedSong& song, uint64_t budget, bool prepared) {
    Engine engine = start_engine(song.file.bytes, song.loops, song.timer_ms);
    engine.renderer->cache_budget = budget;
    if (prepared) renderer_prepare(engine.renderer.get());
    return render_to_end(engine.renderer.get(), CAP_FRAMES);
}

std::vector<float> render_reference(const GeneratedSong& song) {
    Engine engine = start_engine(song.file.bytes, song.loops, song.timer_ms);
    std::vector<float> out(2 * CAP_FRAMES);
    uint64_t got = renderer_render_reference(engine.renderer.get(), out.data(), CAP_FRAMES);
    out.resize(2 * got);
    return out;
}

TEST(SampleCache, EveryBudgetGivesThePerFrameLoopsSamples) {
    // No cache at all, room for a few notes, and the full budget.
    const uint64_t budgets[] = {0, 20000, SAMPLE_CACHE_BUDGET};
    for (uint32_t seed = 100; seed < 112; seed++) {
        GeneratedSong song = generated_song(seed);
        std::vector<float> expected = render_reference(song);
        for (uint64_t budget : budgets) {
            for (bool prepared : {false, true}) {
                std::vector<float> actual = render_with_budget(song, budget, prepared);
                ASSERT_EQ(actual.size(), expected.size()) << "seed " << seed << " budget " << budget;
                EXPECT_EQ(std::memcmp(actual.data(), expected.data(), actual.size() * sizeof(float)), 0)
                    << "seed " << seed << " budget " << budget << (prepared ? " prepared" : "");
            }
        }
    }
}

TEST(SampleCache, KeepsOnlyWhatFitsAndGivesItBack) {
    SampleSource source{5000, nullptr, 0, nullptr, nullptr, 0};
    int8_t waveform[256];
    uint8_t envelope[64];
    for (int32_t p = 0; p < 256; p++) waveform[p] = (int8_t)(p - 128);
    std::memset(envelope, 128, sizeof envelope);
    source.waveform = waveform;
    source.envelope = envelope;
    source.increment = 2461;

    uint64_t budget = 6000;
    SampleCache first{nullptr, 0, 0, 0, &budget};
    SampleCache second{nullptr, 0, 0, 0, &budget};
    ASSERT_TRUE(sample_cache_cover(&first, &source, 10));
    EXPECT_EQ(budget, 1000u);
    EXPECT_EQ(first.filled, 5000u);  // a block ahead, up to the end
    for (uint64_t k = 0; k < 5000; k++) ASSERT_EQ(first.samples[k], source_sample(&source, k)) << k;
    EXPECT_FALSE(sample_cache_cover(&second, &source, 10));
    EXPECT_TRUE(second.refused);
    sample_cache_release(&first);
    EXPECT_EQ(budget, 6000u);
    sample_cache_release(&second);
}

}  // namespace
