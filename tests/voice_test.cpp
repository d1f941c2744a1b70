// Facts about one software voice at the mixer's 48000 Hz: step and gain
// arithmetic, the cubic window, the per-frame rule and the play/stop/flush
// life cycle. Windows are written newest sample first.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "mixer/tamsel_sound.h"

namespace {

using Voice = std::unique_ptr<tamsel_sound, decltype(&tamsel_sound_destroy)>;
using Window = std::vector<int8_t>;

constexpr uint32_t kHalf = 0x80000000u;
constexpr uint32_t kQuarter = 0x40000000u;
const Window kZeros(4, 0);

Voice make_voice(uint64_t size, const std::vector<int8_t>& samples = {}) {
    Voice v(tamsel_sound_create(48000, size), &tamsel_sound_destroy);
    if (v && !samples.empty()) std::memcpy(v->data, samples.data(), samples.size());
    return v;
}

Voice started(uint64_t size, const std::vector<int8_t>& samples, uint8_t looping) {
    Voice v = make_voice(size, samples);
    tamsel_sound_play(v.get(), looping);
    return v;
}

struct Frame { int32_t left, right; };

// Runs n frames, each into a frame starting at `start`; returns the last.
Frame run(tamsel_sound* v, int32_t n = 1, Frame start = {0, 0}) {
    int32_t f[2] = {start.left, start.right};
    for (int32_t i = 0; i < n; i++) {
        f[0] = start.left;
        f[1] = start.right;
        tamsel_sound_generate_sample(v, f);
    }
    return {f[0], f[1]};
}

uint64_t frames_until_stopped(tamsel_sound* v) {
    uint64_t frames = 0;
    for (; v->playing == 1 && frames < 10000; frames++) run(v);
    return frames;
}

Window window(const tamsel_sound* v) { return {v->history, v->history + 4}; }

TEST(VoiceCreate, SizeFromTwoBelowTwoToTheThirtyAndNonZeroRate) {
    const struct { uint32_t rate; uint64_t size; bool made; } cases[] = {
        {48000, 0, false}, {48000, 1, false}, {48000, 2, true}, {48000, 2016, true},
        {48000, TAMSEL_SOUND_MAX_SIZE, false}, {48000, UINT64_MAX, false}, {0, 2016, false}};
    for (const auto& c : cases) {
        tamsel_sound* v = tamsel_sound_create(c.rate, c.size);
        EXPECT_EQ(v != nullptr, c.made) << c.rate << " Hz, " << c.size << " samples";
        tamsel_sound_destroy(v);
    }
}

TEST(VoiceCreate, NewVoiceIsSilentZeroFilledAt22050HzAndUnityGain) {
    Voice v = make_voice(3);
    EXPECT_EQ(Window(v->data, v->data + 3), Window(3, 0));
    EXPECT_EQ(window(v.get()), kZeros);
    EXPECT_EQ(v->step, 1973000601u);
    EXPECT_EQ(v->position, 0);
    EXPECT_EQ(v->playing, 0);
    EXPECT_EQ(v->looping, 0);
    EXPECT_EQ(v->flush_count, 0);
    for (int32_t g : {v->left_target, v->right_target, v->left_gain, v->right_gain}) EXPECT_EQ(g, 65536);
}

TEST(VoiceCreate, AbsentVoiceOrFrameIsIgnored) {
    tamsel_sound_set_frequency(nullptr, 1000);
    tamsel_sound_set_volume(nullptr, -600);
    tamsel_sound_set_pan(nullptr, 760);
    tamsel_sound_play(nullptr, 1);
    tamsel_sound_stop(nullptr);
    EXPECT_EQ(run(nullptr, 1, {5, 6}).right, 6);
    tamsel_sound_destroy(nullptr);
    Voice v = started(4, {}, 1);
    tamsel_sound_generate_sample(v.get(), nullptr);
    EXPECT_EQ(v->samples_played, 0u);
}

TEST(VoiceGain, StepVolumeAndPanTables) {
    Voice v = make_voice(4);
    const struct { uint32_t hz; uint64_t step; } steps[] = {
        {22050, 1973000601}, {44100, 3946001203}, {48000, 4294967296}, {0, 0}};
    for (const auto& c : steps) {
        tamsel_sound_set_frequency(v.get(), c.hz);
        EXPECT_EQ(v->step, c.step) << c.hz;
    }
    const struct { int16_t volume; int32_t gain; } volumes[] = {
        {0, 65536}, {100, 65536}, {32767, 65536}, {-600, 32845}, {-2000, 6553}, {-2400, 4135},
        {-9632, 1}, {-9633, 0},   {-10000, 0},    {-12000, 0},   {-32768, 0}};
    for (const auto& c : volumes) {
        tamsel_sound_set_volume(v.get(), c.volume);
        EXPECT_EQ(v->volume_gain, c.gain) << c.volume;
    }
    const struct { int16_t pan; int32_t left, right; } pans[] = {
        {-2560, 65536, 3439}, {-320, 65536, 45339}, {0, 65536, 65536}, {760, 27319, 65536},
        {1640, 9919, 65536},  {12000, 0, 65536},    {32767, 0, 65536}, {-32768, 65536, 0}};
    for (const auto& c : pans) {
        tamsel_sound_set_pan(v.get(), c.pan);
        EXPECT_EQ(v->pan_left_gain, c.left) << c.pan;
        EXPECT_EQ(v->pan_right_gain, c.right) << c.pan;
    }
    EXPECT_EQ(tamsel_sound_glide_step(48000), 196u);
}

TEST(VoiceGain, SettersMoveOnlyTargetsAndTheFirstFrameOfALifeSnaps) {
    Voice v = make_voice(64);
    tamsel_sound_set_volume(v.get(), -2400);
    tamsel_sound_set_pan(v.get(), -2560);
    EXPECT_EQ(v->left_target, 4135);
    EXPECT_EQ(v->right_target, 216);
    EXPECT_EQ(v->right_gain, 65536);
    tamsel_sound_play(v.get(), 1);
    run(v.get());
    EXPECT_EQ(v->left_gain, 4135);
    EXPECT_EQ(v->right_gain, 216);
    tamsel_sound_set_pan(v.get(), 0);  // glides 216 -> 4135 in 20 frames, the last one clamped
    for (int32_t n = 1; n <= 20; n++) {
        run(v.get());
        EXPECT_EQ(v->right_gain, n < 20 ? 216 + 196 * n : 4135) << "glided frame " << n;
    }
}

TEST(VoiceGain, UnityGlidesDownTo4135On314thFrame) {
    Voice v = started(64, {}, 1);
    run(v.get());
    tamsel_sound_set_volume(v.get(), -2400);
    run(v.get(), 313);
    EXPECT_EQ(v->left_gain, 4188);
    run(v.get());
    EXPECT_EQ(v->left_gain, 4135);
    EXPECT_EQ(v->right_gain, 4135);
}

TEST(VoiceGain, RestartGlidesFromThePreviousGainsInsteadOfSnapping) {
    Voice v = started(64, {}, 0);
    run(v.get());
    tamsel_sound_stop(v.get());
    tamsel_sound_set_pan(v.get(), -2560);
    tamsel_sound_play(v.get(), 0);
    run(v.get());
    EXPECT_EQ(v->left_gain, 65536);
    EXPECT_EQ(v->right_gain, 65536 - 196);
}

TEST(VoiceMix, CubicWindowValues) {
    const struct { int8_t w[4]; uint32_t frac; int32_t s; } cases[] = {
        {{40, 30, 20, 10}, kHalf, 6400},        {{0, 64, 0, 0}, kHalf, 9216},
        {{10, 20, 30, 40}, kQuarter, 7040},     {{20, -117, 85, -77}, kQuarter, 10537},
        {{-128, 127, 127, -128}, kHalf, 40672}, {{127, -128, -128, 127}, kHalf, -40928},
        {{1, 2, -3, 4}, 0, -768}};
    for (const auto& c : cases) EXPECT_EQ(tamsel_sound_interpolate(c.w, c.frac), c.s) << c.s;
}

TEST(VoiceMix, ScaleShiftsTheWideProductTowardsMinusInfinity) {
    const struct { int32_t gain, s, out; } cases[] = {
        {4135, 9216, 581}, {4135, -7040, -445}, {65536, 40672, 40672}, {65536, -40928, -40928},
        {65535, -1, -1},   {0, 40672, 0}};
    for (const auto& c : cases) EXPECT_EQ(tamsel_sound_scale(c.gain, c.s), c.out) << c.gain << " x " << c.s;
}

TEST(VoiceMix, FrameAddsEachSideScaledByItsOwnGain) {
    Voice v = make_voice(8);
    tamsel_sound_set_volume(v.get(), -2400);
    tamsel_sound_set_pan(v.get(), -2560);
    tamsel_sound_play(v.get(), 1);
    std::memcpy(v->history, Window{0, 64, 0, 0}.data(), 4);
    v->position = kHalf;
    Frame f = run(v.get(), 1, {1000, -1000});
    EXPECT_EQ(f.left, 1000 + 581);
    EXPECT_EQ(f.right, -1000 + 30);  // 216 x 9216 >> 16
}

TEST(VoicePlay, NewVoiceIsQuietUntilItsFirstFetchWhichIsData1) {
    Voice v = started(8, {100, 50}, 0);
    for (int32_t n = 0; n < 3; n++) EXPECT_EQ(run(v.get()).left, 0) << n;
    EXPECT_EQ(window(v.get()), (Window{50, 0, 0, 0}));
    EXPECT_NE(run(v.get()).left, 0);
}

TEST(VoicePlay, LoopingFourSampleVoiceFetches1230123AndNeverEnds) {
    Voice v = started(4, {11, 22, 33, 44}, 1);
    Window fetched;
    for (int32_t n = 0; n < 2000; n++) {
        run(v.get());
        if (fetched.size() < 9 && v->history[0] != (fetched.empty() ? 0 : fetched.back()))
            fetched.push_back(v->history[0]);
        ASSERT_LT((uint64_t)v->position, (uint64_t)4 << 32);
    }
    EXPECT_EQ(fetched, (Window{22, 33, 44, 11, 22, 33, 44, 11, 22}));
    EXPECT_EQ(v->playing, 1);
    EXPECT_EQ(v->samples_played, 2000u);
}

TEST(VoicePlay, StepsOfSeveralSamplesFetchEveryPassedSampleUpToFour) {
    const struct { uint32_t hz; int32_t frames; Window w; } cases[] = {
        {96000, 1, {20, 10, 0, 0}},    {96000, 2, {40, 30, 20, 10}}, {144000, 1, {30, 20, 10, 0}},
        {288000, 1, {60, 50, 40, 30}}, {288000, 2, {40, 30, 20, 10}}};
    for (const auto& c : cases) {
        Voice v = make_voice(8, {0, 10, 20, 30, 40, 50, 60, 70});
        tamsel_sound_set_frequency(v.get(), c.hz);
        tamsel_sound_play(v.get(), 1);
        run(v.get(), c.frames);
        EXPECT_EQ(window(v.get()), c.w) << c.hz << " Hz, " << c.frames << " frames";
    }
}

TEST(VoicePlay, OneShotPlaysCeilOfLengthOverStepFramesThenFlushes) {
    const struct { uint64_t size, frames; Window end; } cases[] = {
        {2016, 4389, {0, 0, 0, 0}}, {2, 5, {0, 50, 0, 0}}};  // fetched past the end: 0
    for (const auto& c : cases) {
        Voice v = started(c.size, {100, 50}, 0);
        EXPECT_EQ(frames_until_stopped(v.get()), c.frames) << c.size;
        EXPECT_EQ(v->samples_played, c.frames);
        EXPECT_EQ(v->flush_count, 4);
        EXPECT_EQ(window(v.get()), c.end);
    }
}

TEST(VoicePlay, StartOnPlayingVoiceOnlyReplacesTheLoopFlag) {
    Voice v = started(2, {}, 1);
    run(v.get(), 7);
    const int64_t at = v->position;
    tamsel_sound_play(v.get(), 0);
    EXPECT_EQ(v->position, at);
    EXPECT_EQ(frames_until_stopped(v.get()), 2u);  // 1.216 samples into a pass: ceil(0.784 / 0.459375)
}

TEST(VoiceFlush, StoppedFramesShiftInAZeroPerCrossingAndAddNothing) {
    Voice v = started(4, {11, 22, 33, 44}, 1);
    run(v.get(), 20);
    tamsel_sound_stop(v.get());
    Window w = window(v.get());
    while (v->flush_count > 0) {
        const uint8_t before = v->flush_count;
        EXPECT_EQ(run(v.get(), 1, {7, 8}).left, 7);
        EXPECT_EQ(v->position >> 32, 0);
        if (v->flush_count < before) {
            w.insert(w.begin(), 0);
            w.pop_back();
            EXPECT_EQ(window(v.get()), w);
        }
    }
    EXPECT_EQ(window(v.get()), kZeros);
    EXPECT_EQ(v->samples_played, 20u);
    const int64_t at = v->position;
    run(v.get());
    EXPECT_EQ(v->position, at);  // Silent: nothing moves
}

TEST(VoiceFlush, RestartWithinFlushBlendsTheOldWindowAtTheOldFraction) {
    Voice v = started(4, {11, 22, 33, 44}, 1);
    run(v.get(), 6);
    tamsel_sound_stop(v.get());
    run(v.get());
    const Window w = window(v.get());
    const uint32_t frac = (uint32_t)v->position;
    ASSERT_NE(w, kZeros);
    tamsel_sound_stop(v.get());
    tamsel_sound_play(v.get(), 0);
    EXPECT_EQ(v->position, (int64_t)frac);
    EXPECT_EQ(window(v.get()), w);
    EXPECT_EQ(run(v.get()).left, tamsel_sound_interpolate(w.data(), frac));
}

TEST(VoiceFlush, RestartAfterFlushKeepsTheFractionButStartFromSilentIsZero) {
    Voice v = started(4, {11, 22, 33, 44}, 1);
    run(v.get(), 6);
    tamsel_sound_stop(v.get());
    while (v->flush_count != 0) run(v.get());
    const uint32_t frac = (uint32_t)v->position;
    ASSERT_NE(frac, 0u);
    tamsel_sound_stop(v.get());
    tamsel_sound_play(v.get(), 1);
    EXPECT_EQ(v->position, (int64_t)frac);
    EXPECT_EQ(run(v.get()).left, 0);
    tamsel_sound_stop(v.get());
    while (v->flush_count != 0) run(v.get());
    tamsel_sound_play(v.get(), 1);
    EXPECT_EQ(v->position, 0);
    EXPECT_EQ(v->samples_played, 7u);  // counts across restarts
}

TEST(VoiceEdge, FrequencyZeroHoldsTheOutputAndNeverEndsAFlush) {
    Voice v = started(4, {11, 22, 33, 44}, 0);
    run(v.get(), 5);
    tamsel_sound_set_frequency(v.get(), 0);
    const int32_t held = run(v.get()).left;
    for (int32_t n = 0; n < 100; n++) ASSERT_EQ(run(v.get()).left, held);
    EXPECT_EQ(v->playing, 1);
    tamsel_sound_stop(v.get());
    run(v.get(), 100);
    EXPECT_EQ(v->flush_count, 4);
}

TEST(VoiceEdge, OutOfRangeFrequencyOnATinyVoiceStaysInsideData) {
    for (uint8_t looping : {1, 0}) {
        for (uint32_t hz : {96000u, 1000000u, UINT32_MAX}) {
            Voice v = make_voice(2, {-128, 127});
            tamsel_sound_set_frequency(v.get(), hz);
            tamsel_sound_play(v.get(), looping);
            for (int32_t n = 0; n < 50 && v->playing == 1; n++) {
                run(v.get());
                ASSERT_TRUE(v->playing == 0 || (uint64_t)v->position < ((uint64_t)2 << 32)) << hz;
            }
            EXPECT_EQ(v->playing, looping) << hz;  // a one-shot ends on its first frame
            run(v.get(), 8);                        // and flushes
        }
    }
}

}  // namespace
