#include "export/sample_shaper.h"

#include <cmath>

double fade_gain(uint64_t frame, uint64_t fade_start, uint64_t fade_frames) {
    if (frame < fade_start || fade_frames == 0) return 1.0;
    uint64_t into = frame - fade_start;
    if (into >= fade_frames) return 0.0;
    return (double)(fade_frames - 1 - into) / (double)fade_frames;
}

SampleShaper::SampleShaper(SampleDepth depth, double factor, uint64_t fade_start, uint64_t fade_frames, bool dither,
                           uint64_t seed)
    : factor_(factor),
      float_scale_(factor / 32768.0),
      int_scale_(depth == SampleDepth::INT24 ? factor * 256.0 : factor),
      int_unit_(depth == SampleDepth::INT24 ? 256 : 1),
      full_scale_(depth == SampleDepth::INT24 ? 8388608 : 32768),
      fade_start_(fade_start),
      fade_frames_(fade_frames),
      dither_(dither),
      noise_(seed) {}

// Before the fade every sample has the same scale: one tight loop, which the
// compiler can keep in vector registers, counting in float (|v| > 1 and the
// largest |v| are the same questions asked of the float or its double).
void SampleShaper::to_float_steady(const int32_t* sums, size_t count, float* out) {
    float largest = (float)counts_.peak;
    uint64_t beyond = 0;
    for (size_t i = 0; i < count; i++) {
        float v = (float)((double)sums[i] * float_scale_);
        out[i] = v;
        float magnitude = std::fabs(v);
        largest = magnitude > largest ? magnitude : largest;
        beyond += magnitude > 1.0f ? 1 : 0;
    }
    counts_.peak = (double)largest;
    counts_.beyond += beyond;
}

void SampleShaper::to_float(const int32_t* sums, uint64_t first, size_t frames, float* out) {
    if (first + frames <= fade_start_) {
        to_float_steady(sums, 2 * frames, out);
        return;
    }
    for (size_t f = 0; f < frames; f++) {
        uint64_t frame = first + f;
        bool fading = frame >= fade_start_;
        double gain = fading ? fade_gain(frame, fade_start_, fade_frames_) : 1.0;
        for (size_t c = 0; c < 2; c++) {
            float v = shaped_float(sums[2 * f + c], float_scale_, fading, gain);
            out[2 * f + c] = v;
            double magnitude = std::fabs((double)v);
            if (magnitude > counts_.peak) counts_.peak = magnitude;
            if (magnitude > 1.0) counts_.beyond++;
        }
    }
}

int32_t SampleShaper::clamp_int(int64_t value) {
    int64_t high = full_scale_ - 1;
    int64_t low = -full_scale_;
    if (value > full_scale_ || value < low) counts_.beyond++;
    if (value > high) {
        counts_.clamped++;
        value = high;
    } else if (value < low) {
        counts_.clamped++;
        value = low;
    }
    double magnitude = (double)(value < 0 ? -value : value) / (double)full_scale_;
    if (magnitude > counts_.peak) counts_.peak = magnitude;
    return (int32_t)value;
}

// A sample whose gain is not exactly 1: scaled, dithered, rounded.
int32_t SampleShaper::scaled_int(int32_t sum, double gain) {
    if (sum == 0) return 0;
    double x = (double)sum * int_scale_;
    if (gain != 1.0) x = x * gain;
    if (dither_) x = x + noise_.next();
    double rounded = std::floor(x + 0.5);
    // Far enough out to count as clamped, near enough to convert safely.
    double limit = (double)full_scale_ * 2.0;
    if (rounded > limit) rounded = limit;
    if (rounded < -limit) rounded = -limit;
    return clamp_int((int64_t)rounded);
}

void SampleShaper::to_int(const int32_t* sums, uint64_t first, size_t frames, int32_t* out) {
    for (size_t f = 0; f < frames; f++) {
        uint64_t frame = first + f;
        bool fading = frame >= fade_start_;
        double gain = fading ? fade_gain(frame, fade_start_, fade_frames_) : 1.0;
        bool exact = factor_ == 1.0 && !fading;
        for (size_t c = 0; c < 2; c++) {
            int32_t sum = sums[2 * f + c];
            out[2 * f + c] = exact ? clamp_int((int64_t)sum * int_unit_) : scaled_int(sum, gain);
        }
    }
}
