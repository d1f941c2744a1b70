// Facts about one software voice at the mixer's 48000 Hz: step and gain
// arithmetic, the cubic window, the per-frame rule and the play/stop/flush
// life cycle. Windows are written newest sample first. The voices play
// stored signed samples.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "mixer/cubic.h"
#include "mixer/voice.h"

using namespace tamsel::core;

namespace {

using Window = std::vector<int8_t>;

constexpr uint32_t kHalf = 0x80000000u;
constexpr uint32_t kQuarter = 0x40000000u;
const Window kZeros(4, 0);

// A voice with the samples it plays; kept on the heap, since the voice
// points at its source and the source at its bytes.
struct HeldVoice {
    std::vector<uint8_t> bytes;
    SampleSource source;
    Voice voice;
};
using Held = std::unique_ptr<HeldVoice>;

// A voice over size samples, the first ones given, the rest 0.
Held make_held(uint64_t size, const std::vector<int8_t>& samples = {}) {
    Held h = std::make_unique<HeldVoice>();
    h->bytes.assign((size_t)size, 0);
    if (!samples.empty()) std::memcpy(h->bytes.data(), samples.data(), samples.size());
    h->source = SampleSource{size, h->bytes.data(), 0, nullptr, nullptr, 0};
    EXPECT_TRUE(voice_init(&h->voice, 48000, &h->source)) << size;
    return h;
}

Held started(uint64_t size, const std::vector<int8_t>& samples) {
    Held h = make_held(size, samples);
    voice_play(&h->voice);
    return h;
}

struct Frame {
    int32_t left, right;
};

// Runs n frames, each into a frame starting at `start`; returns the last.
Frame run(Voice* v, int32_t n = 1, Frame start = {0, 0}) {
    int32_t f[2] = {start.left, start.right};
    for (int32_t i = 0; i < n; i++) {
        f[0] = start.left;
        f[1] = start.right;
        voice_generate_sample(v, f);
    }
    return {f[0], f[1]};
}

uint64_t frames_until_stopped(Voice* v) {
    uint64_t frames = 0;
    for (; v->playing && frames < 10000; frames++) run(v);
    return frames;
}

Window window(const Voice* v) {
    return {v->history, v->history + 4};
}

TEST(VoiceCreate, SizeFromTwoBelowTwoToTheThirtyAndNonZeroRate) {
    // Only the size is looked at: the huge sources are never read.
    static const uint8_t two[2] = {0, 0};
    const struct {
        uint32_t rate;
        uint64_t size;
        bool made;
    } cases[] = {{48000, 0, false},
                 {48000, 1, false},
                 {48000, 2, true},
                 {48000, 2016, true},
                 {48000, VOICE_MAX_SIZE - 1, true},
                 {48000, VOICE_MAX_SIZE, false},
                 {48000, UINT64_MAX, false},
                 {0, 2016, false}};
    for (const auto& c : cases) {
        SampleSource source{c.size, two, 0, nullptr, nullptr, 0};
        Voice v;
        EXPECT_EQ(voice_init(&v, c.rate, &source), c.made) << c.rate << " Hz, " << c.size << " samples";
        EXPECT_EQ(v.source, c.made ? &source : nullptr) << c.rate << " Hz, " << c.size << " samples";
    }
    Voice v;
    EXPECT_FALSE(voice_init(&v, 48000, nullptr));
    EXPECT_EQ(v.source, nullptr);
}

TEST(VoiceCreate, NewVoiceIsSilentAt22050HzAndUnityGain) {
    Held h = make_held(3);
    Voice* v = &h->voice;
    EXPECT_EQ(v->source, &h->source);
    EXPECT_EQ(v->size, 3u);
    EXPECT_EQ(window(v), kZeros);
    EXPECT_EQ(v->step, 1973000601u);
    EXPECT_EQ(v->position, 0);
    EXPECT_FALSE(v->playing);
    EXPECT_EQ(v->flush_count, 0);
    EXPECT_EQ(v->samples_played, 0u);
    for (int32_t g : {v->left_target, v->right_target, v->left_gain, v->right_gain}) EXPECT_EQ(g, 65536);
}

TEST(VoiceCreate, EmptyVoiceIgnoresPlayAndFrames) {
    Voice empty;
    std::memset(&empty, 0, sizeof empty);
    voice_play(&empty);
    EXPECT_FALSE(empty.playing);
    EXPECT_EQ(run(&empty, 1, {5, 6}).right, 6);
    EXPECT_EQ(empty.samples_played, 0u);
}

TEST(VoiceCreate, NoFrameMovesTheVoiceOnWithoutMixing) {
    Held mixed = started(4, {11, 22, 33, 44});
    Held moved = started(4, {11, 22, 33, 44});
    for (int32_t n = 0; n < 7; n++) {
        run(&mixed->voice);
        voice_generate_sample(&moved->voice, nullptr);
    }
    EXPECT_EQ(moved->voice.samples_played, 7u);
    EXPECT_EQ(moved->voice.position, mixed->voice.position);
    EXPECT_EQ(window(&moved->voice), window(&mixed->voice));
    EXPECT_EQ(moved->voice.left_gain, mixed->voice.left_gain);
}

TEST(VoiceGain, StepVolumeAndPanTables) {
    Held h = make_held(4);
    Voice* v = &h->voice;
    const struct {
        uint32_t hz;
        uint64_t step;
    } steps[] = {{22050, 1973000601}, {44100, 3946001203}, {48000, 4294967296}, {0, 0}};
    for (const auto& c : steps) {
        voice_set_frequency(v, c.hz);
        EXPECT_EQ(v->step, c.step) << c.hz;
    }
    const struct {
        int16_t volume;
        int32_t gain;
    } volumes[] = {{0, 65536}, {100, 65536}, {32767, 65536}, {-600, 32845}, {-2000, 6553}, {-2400, 4135},
                   {-9632, 1}, {-9633, 0},   {-10000, 0},    {-12000, 0},   {-32768, 0}};
    for (const auto& c : volumes) {
        voice_set_volume(v, c.volume);
        EXPECT_EQ(v->volume_gain, c.gain) << c.volume;
    }
    const struct {
        int16_t pan;
        int32_t left, right;
    } pans[] = {{-2560, 65536, 3439}, {-320, 65536, 45339}, {0, 65536, 65536}, {760, 27319, 65536},
                {1640, 9919, 65536},  {12000, 0, 65536},    {32767, 0, 65536}, {-32768, 65536, 0}};
    for (const auto& c : pans) {
        voice_set_pan(v, c.pan);
        EXPECT_EQ(v->pan_left_gain, c.left) << c.pan;
        EXPECT_EQ(v->pan_right_gain, c.right) << c.pan;
    }
    EXPECT_EQ(voice_glide_step(48000), 196u);
}

TEST(VoiceGain, SettersMoveOnlyTargetsAndTheFirstFrameOfALifeSnaps) {
    Held h = make_held(64);
    Voice* v = &h->voice;
    voice_set_volume(v, -2400);
    voice_set_pan(v, -2560);
    EXPECT_EQ(v->left_target, 4135);
    EXPECT_EQ(v->right_target, 216);
    EXPECT_EQ(v->right_gain, 65536);
    voice_play(v);
    run(v);
    EXPECT_EQ(v->left_gain, 4135);
    EXPECT_EQ(v->right_gain, 216);
    voice_set_pan(v, 0);  // glides 216 -> 4135 in 20 frames, the last one clamped
    for (int32_t n = 1; n <= 20; n++) {
        run(v);
        EXPECT_EQ(v->right_gain, n < 20 ? 216 + 196 * n : 4135) << "glided frame " << n;
    }
}

TEST(VoiceGain, UnityGlidesDownTo4135On314thFrame) {
    Held h = started(1024, {});
    Voice* v = &h->voice;
    run(v);
    voice_set_volume(v, -2400);
    run(v, 313);
    EXPECT_EQ(v->left_gain, 4188);
    run(v);
    EXPECT_EQ(v->left_gain, 4135);
    EXPECT_EQ(v->right_gain, 4135);
}

TEST(VoiceGain, RestartGlidesFromThePreviousGainsInsteadOfSnapping) {
    Held h = started(64, {});
    Voice* v = &h->voice;
    run(v);
    voice_stop(v);
    voice_set_pan(v, -2560);
    voice_play(v);
    run(v);
    EXPECT_EQ(v->left_gain, 65536);
    EXPECT_EQ(v->right_gain, 65536 - 196);
}

TEST(VoiceMix, CubicWindowValues) {
    const struct {
        int8_t w[4];
        uint32_t frac;
        int32_t s;
    } cases[] = {{{40, 30, 20, 10}, kHalf, 6400},
                 {{0, 64, 0, 0}, kHalf, 9216},
                 {{10, 20, 30, 40}, kQuarter, 7040},
                 {{20, -117, 85, -77}, kQuarter, 10537},
                 {{-128, 127, 127, -128}, kHalf, 40672},
                 {{127, -128, -128, 127}, kHalf, -40928},
                 {{1, 2, -3, 4}, 0, -768}};
    for (const auto& c : cases) EXPECT_EQ(voice_interpolate(c.w, c.frac), c.s) << c.s;
}

TEST(VoiceMix, ScaleShiftsTheWideProductTowardsMinusInfinity) {
    const struct {
        int32_t gain, s, out;
    } cases[] = {{4135, 9216, 581},       {4135, -7040, -445}, {65536, 40672, 40672},
                 {65536, -40928, -40928}, {65535, -1, -1},     {0, 40672, 0}};
    for (const auto& c : cases) EXPECT_EQ(scale_by_gain(c.gain, c.s), c.out) << c.gain << " x " << c.s;
}

TEST(VoiceMix, FrameAddsEachSideScaledByItsOwnGain) {
    Held h = make_held(8);
    Voice* v = &h->voice;
    voice_set_volume(v, -2400);
    voice_set_pan(v, -2560);
    voice_play(v);
    std::memcpy(v->history, Window{0, 64, 0, 0}.data(), 4);
    v->position = kHalf;
    Frame f = run(v, 1, {1000, -1000});
    EXPECT_EQ(f.left, 1000 + 581);
    EXPECT_EQ(f.right, -1000 + 30);  // 216 x 9216 >> 16
}

TEST(VoicePlay, NewVoiceIsQuietUntilItsFirstFetchWhichIsData1) {
    Held h = started(8, {100, 50});
    Voice* v = &h->voice;
    for (int32_t n = 0; n < 3; n++) EXPECT_EQ(run(v).left, 0) << n;
    EXPECT_EQ(window(v), (Window{50, 0, 0, 0}));
    EXPECT_NE(run(v).left, 0);
}

TEST(VoicePlay, StepsOfSeveralSamplesFetchEveryPassedSampleUpToFour) {
    const struct {
        uint32_t hz;
        int32_t frames;
        Window w;
    } cases[] = {{96000, 1, {20, 10, 0, 0}},
                 {96000, 2, {40, 30, 20, 10}},
                 {144000, 1, {30, 20, 10, 0}},
                 {288000, 1, {60, 50, 40, 30}},
                 {288000, 2, {120, 110, 100, 90}}};
    for (const auto& c : cases) {
        Held h = make_held(16, {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120});
        Voice* v = &h->voice;
        voice_set_frequency(v, c.hz);
        voice_play(v);
        run(v, c.frames);
        EXPECT_EQ(window(v), c.w) << c.hz << " Hz, " << c.frames << " frames";
    }
}

TEST(VoicePlay, OneShotPlaysCeilOfLengthOverStepFramesThenFlushes) {
    const struct {
        uint64_t size, frames;
        Window end;
    } cases[] = {{2016, 4389, {0, 0, 0, 0}}, {2, 5, {0, 50, 0, 0}}};  // fetched past the end: 0
    for (const auto& c : cases) {
        Held h = started(c.size, {100, 50});
        Voice* v = &h->voice;
        EXPECT_EQ(frames_until_stopped(v), c.frames) << c.size;
        EXPECT_EQ(v->samples_played, c.frames);
        EXPECT_EQ(v->flush_count, 4);
        EXPECT_EQ(window(v), c.end);
    }
}

TEST(VoicePlay, StartOnPlayingVoiceGoesOnWhereItIs) {
    Held h = started(8, {});
    Voice* v = &h->voice;
    run(v, 7);
    const int64_t at = v->position;
    voice_play(v);
    EXPECT_EQ(v->position, at);
    EXPECT_EQ(frames_until_stopped(v), 11u);  // 3.216 samples in: ceil(4.784 / 0.459375)
}

TEST(VoiceFlush, StoppedFramesShiftInAZeroPerCrossingAndAddNothing) {
    Held h = started(4, {11, 22, 33, 44});
    Voice* v = &h->voice;
    run(v, 6);
    voice_stop(v);
    Window w = window(v);
    while (v->flush_count > 0) {
        const uint8_t before = v->flush_count;
        EXPECT_EQ(run(v, 1, {7, 8}).left, 7);
        EXPECT_EQ(v->position >> 32, 0);
        if (v->flush_count < before) {
            w.insert(w.begin(), 0);
            w.pop_back();
            EXPECT_EQ(window(v), w);
        }
    }
    EXPECT_EQ(window(v), kZeros);
    EXPECT_EQ(v->samples_played, 6u);
    const int64_t at = v->position;
    run(v);
    EXPECT_EQ(v->position, at);  // Silent: nothing moves
}

TEST(VoiceFlush, RestartWithinFlushBlendsTheOldWindowAtTheOldFraction) {
    Held h = started(4, {11, 22, 33, 44});
    Voice* v = &h->voice;
    run(v, 6);
    voice_stop(v);
    run(v);
    const Window w = window(v);
    const uint32_t frac = (uint32_t)v->position;
    ASSERT_NE(w, kZeros);
    voice_stop(v);
    voice_play(v);
    EXPECT_EQ(v->position, (int64_t)frac);
    EXPECT_EQ(window(v), w);
    EXPECT_EQ(run(v).left, voice_interpolate(w.data(), frac));
}

TEST(VoiceFlush, RestartAfterFlushKeepsTheFractionButStartFromSilentIsZero) {
    Held h = started(4, {11, 22, 33, 44});
    Voice* v = &h->voice;
    run(v, 6);
    voice_stop(v);
    while (v->flush_count != 0) run(v);
    const uint32_t frac = (uint32_t)v->position;
    ASSERT_NE(frac, 0u);
    voice_stop(v);
    voice_play(v);
    EXPECT_EQ(v->position, (int64_t)frac);
    EXPECT_EQ(run(v).left, 0);
    voice_stop(v);
    while (v->flush_count != 0) run(v);
    voice_play(v);
    EXPECT_EQ(v->position, 0);
    EXPECT_EQ(v->samples_played, 7u);  // counts across restarts
}

TEST(VoiceEdge, FrequencyZeroHoldsTheOutputAndNeverEndsAFlush) {
    Held h = started(4, {11, 22, 33, 44});
    Voice* v = &h->voice;
    run(v, 5);
    voice_set_frequency(v, 0);
    const int32_t held = run(v).left;
    for (int32_t n = 0; n < 100; n++) ASSERT_EQ(run(v).left, held);
    EXPECT_TRUE(v->playing);
    voice_stop(v);
    run(v, 100);
    EXPECT_EQ(v->flush_count, 4);
}

TEST(VoiceEdge, OutOfRangeFrequencyOnATinyVoiceStaysInsideData) {
    for (uint32_t hz : {96000u, 1000000u, UINT32_MAX}) {
        Held h = make_held(2, {-128, 127});
        Voice* v = &h->voice;
        voice_set_frequency(v, hz);
        voice_play(v);
        run(v);
        EXPECT_FALSE(v->playing) << hz;  // it ends on its first frame
        run(v, 8);                       // and flushes
    }
}

}  // namespace
