// How integer sums become the samples written: exact integers, float
// scaling, the fade's shape, dither and the counts.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "export/sample_shaper.h"
#include "export/tpdf_noise.h"

static const uint64_t NO_FADE = UINT64_MAX;

static std::vector<int32_t> shape_ints(SampleDepth depth, double factor, const std::vector<int32_t>& sums,
                                       bool dither = true, SampleCounts* counts = nullptr,
                                       uint64_t fade_start = NO_FADE, uint64_t fade_frames = 0) {
    SampleShaper shaper(depth, factor, fade_start, fade_frames, dither, dither_seed(0));
    std::vector<int32_t> out(sums.size());
    shaper.to_int(sums.data(), 0, sums.size() / 2, out.data());
    if (counts) *counts = shaper.counts();
    return out;
}

static std::vector<float> shape_floats(double factor, const std::vector<int32_t>& sums, SampleCounts* counts = nullptr,
                                       uint64_t fade_start = NO_FADE, uint64_t fade_frames = 0) {
    SampleShaper shaper(SampleDepth::FLOAT32, factor, fade_start, fade_frames, true, dither_seed(0));
    std::vector<float> out(sums.size());
    shaper.to_float(sums.data(), 0, sums.size() / 2, out.data());
    if (counts) *counts = shaper.counts();
    return out;
}

TEST(SampleShaper, SixteenBitSamplesAreTheSumsClamped) {
    SampleCounts counts;
    std::vector<int32_t> sums = {0, 1, -1, 32767, -32768, 32768, -32769, INT32_MAX, INT32_MIN, 12345};
    std::vector<int32_t> expected = {0, 1, -1, 32767, -32768, 32767, -32768, 32767, -32768, 12345};
    EXPECT_EQ(shape_ints(SampleDepth::INT16, 1.0, sums, true, &counts), expected);
    EXPECT_EQ(counts.clamped, 4u);
    EXPECT_EQ(counts.beyond, 3u);  // 32768 is +1.0 exactly: clamped, not beyond
    EXPECT_EQ(counts.peak, 1.0);
}

TEST(SampleShaper, TwentyFourBitSamplesAreTheSumsTimes256Clamped) {
    SampleCounts counts;
    std::vector<int32_t> sums = {0, 1, -1, 32767, -32768, 32768, -32769, INT32_MAX};
    std::vector<int32_t> expected = {0, 256, -256, 8388352, -8388608, 8388607, -8388608, 8388607};
    EXPECT_EQ(shape_ints(SampleDepth::INT24, 1.0, sums, true, &counts), expected);
    EXPECT_EQ(counts.clamped, 3u);
}

TEST(SampleShaper, FloatSamplesWithoutALevelAreTheSumsOver32768) {
    std::vector<int32_t> sums = {0, 1, -1, 32768, -98304, 16777217, INT32_MIN, 3};
    std::vector<float> out = shape_floats(1.0, sums);
    for (size_t i = 0; i < sums.size(); i++) EXPECT_EQ(out[i], (float)((double)sums[i] / 32768.0)) << sums[i];
}

TEST(SampleShaper, FloatCountsPeakAndSamplesBeyondFullScale) {
    SampleCounts counts;
    shape_floats(1.0, {32768, -32769, 40000, 100}, &counts);
    EXPECT_EQ(counts.beyond, 2u);
    EXPECT_EQ(counts.clamped, 0u);
    EXPECT_EQ(counts.peak, 40000.0 / 32768.0);
    shape_floats(0.5, {32768, -32769, 40000, 100}, &counts);
    EXPECT_EQ(counts.beyond, 0u);
}

TEST(SampleShaper, ScaledIntegersRoundToTheNearestStepWithoutDither) {
    std::vector<int32_t> sums = {1, 2, 3, -3, 1000, -1001, 40000, 70000};
    std::vector<int32_t> half = {1, 1, 2, -1, 500, -500, 20000, 32767};  // halves go up
    EXPECT_EQ(shape_ints(SampleDepth::INT16, 0.5, sums, false), half);
    std::vector<int32_t> half24 = {128, 256, 384, -384, 128000, -128128, 5120000, 8388607};
    EXPECT_EQ(shape_ints(SampleDepth::INT24, 0.5, sums, false), half24);
}

TEST(SampleShaper, DitherStaysWithinOneStepAndRepeatsExactly) {
    std::vector<int32_t> sums;
    for (int32_t i = 0; i < 20000; i++) sums.push_back((i * 7919) % 60001 - 30000);
    std::vector<int32_t> first = shape_ints(SampleDepth::INT16, 0.7, sums);
    std::vector<int32_t> again = shape_ints(SampleDepth::INT16, 0.7, sums);
    std::vector<int32_t> plain = shape_ints(SampleDepth::INT16, 0.7, sums, false);
    EXPECT_EQ(first, again);
    EXPECT_NE(first, plain);
    int64_t differ = 0;
    for (size_t i = 0; i < sums.size(); i++) {
        double exact = sums[i] * 0.7;
        EXPECT_LT(std::fabs(first[i] - exact), 1.5) << i;
        differ += first[i] != plain[i];
    }
    // TPDF moves a quarter or more of the samples off plain rounding.
    EXPECT_GT(differ, 4000);
}

TEST(SampleShaper, DitherLeavesZeroSumsAtZero) {
    std::vector<int32_t> zeros(2000, 0);
    EXPECT_EQ(shape_ints(SampleDepth::INT16, 0.3, zeros), zeros);
    EXPECT_EQ(shape_ints(SampleDepth::INT24, 3.0, zeros), zeros);
}

TEST(SampleShaper, FadeFallsLinearlyToExactlyZeroAtTheLastFrame) {
    EXPECT_EQ(fade_gain(0, 10, 4), 1.0);
    EXPECT_EQ(fade_gain(9, 10, 4), 1.0);
    EXPECT_EQ(fade_gain(10, 10, 4), 0.75);
    EXPECT_EQ(fade_gain(11, 10, 4), 0.5);
    EXPECT_EQ(fade_gain(12, 10, 4), 0.25);
    EXPECT_EQ(fade_gain(13, 10, 4), 0.0);
    EXPECT_EQ(fade_gain(14, 10, 4), 0.0);
    EXPECT_EQ(fade_gain(5, 5, 1), 0.0);
}

TEST(SampleShaper, FadeLeavesFramesBeforeItExact) {
    // Four frames, the last two in a fade of two frames.
    std::vector<int32_t> sums = {40000, -7, 40000, -7, 40000, -7, 40000, -7};
    std::vector<int32_t> ints = shape_ints(SampleDepth::INT16, 1.0, sums, false, nullptr, 2, 2);
    EXPECT_EQ(ints, (std::vector<int32_t>{32767, -7, 32767, -7, 20000, -3, 0, 0}));
    std::vector<float> floats = shape_floats(1.0, sums, nullptr, 2, 2);
    EXPECT_EQ(floats[0], (float)(40000 / 32768.0));
    EXPECT_EQ(floats[3], (float)(-7 / 32768.0));
    EXPECT_EQ(floats[4], (float)(40000 / 32768.0 * 0.5));
    EXPECT_EQ(floats[6], 0.0f);
    EXPECT_EQ(floats[7], 0.0f);
}

TEST(TpdfNoise, IsTriangularOverPlusMinusOneStep) {
    TpdfNoise noise(dither_seed(0));
    double sum = 0.0, sum_squares = 0.0;
    int64_t inner_half = 0;
    const int32_t count = 200000;
    for (int32_t i = 0; i < count; i++) {
        double d = noise.next();
        ASSERT_GT(d, -1.0);
        ASSERT_LT(d, 1.0);
        sum += d;
        sum_squares += d * d;
        inner_half += std::fabs(d) < 0.5;
    }
    EXPECT_NEAR(sum / count, 0.0, 0.01);
    EXPECT_NEAR(sum_squares / count, 1.0 / 6.0, 0.005);    // the variance of TPDF over +-1
    EXPECT_NEAR((double)inner_half / count, 0.75, 0.005);  // triangle: 3/4 within half a step
}

TEST(TpdfNoise, SeedsGiveFixedDistinctSequences) {
    TpdfNoise a(dither_seed(0)), b(dither_seed(0)), c(dither_seed(1));
    int32_t same_as_c = 0;
    for (int32_t i = 0; i < 1000; i++) {
        double x = a.next();
        EXPECT_EQ(x, b.next());
        same_as_c += x == c.next();
    }
    EXPECT_EQ(same_as_c, 0);
    EXPECT_EQ(dither_seed(7), dither_seed(7));
    EXPECT_NE(dither_seed(7), dither_seed(8));
}
