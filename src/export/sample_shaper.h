// Turns the mixer's 32-bit integer sums into the samples written: the level
// plan's factor, the fade, dither and clamping, with the counts the summary
// reports.
//
// Float samples are (float)(sum * (factor / 32768)), times the fade gain in
// the fade; with factor 1 that is exactly sum / 32768, the positional form's
// samples. Integer samples are in steps of 1/32768 (16-bit) or 1/8388608
// (24-bit) of full scale: where the gain is exactly 1 (factor 1, outside the
// fade) the sample is the sum itself, times 256 for 24 bits, clamped; other
// samples are scaled, get dither if asked, and are rounded to the nearest
// step (halves up), then clamped. A sum of 0 stays 0, so silence stays
// digital silence.
#pragma once

#include <cstddef>
#include <cstdint>

#include "export/format_table.h"
#include "export/tpdf_noise.h"

// The fade's gain at frame: 1 before fade_start, then falling linearly over
// fade_frames frames to exactly 0 at the last one:
// (fade_start + fade_frames - 1 - frame) / fade_frames.
double fade_gain(uint64_t frame, uint64_t fade_start, uint64_t fade_frames);

// One float sample: the sum times scale (factor / 32768), then times the
// fade gain when the frame is in the fade. The level plan aims its peak
// with this same expression.
inline float shaped_float(int32_t sum, double scale, bool fading, double gain) {
    double x = (double)sum * scale;
    if (fading) x = x * gain;
    return (float)x;
}

struct SampleCounts {
    double peak = 0.0;     // largest magnitude written, full scale 1.0
    uint64_t beyond = 0;   // samples whose value lay beyond +-1.0
    uint64_t clamped = 0;  // integer samples clamped to the depth's range
};

class SampleShaper {
public:
    SampleShaper(SampleDepth depth, double factor, uint64_t fade_start, uint64_t fade_frames, bool dither,
                 uint64_t seed);
    // Shapes frames frames of interleaved sums that start at frame first.
    void to_float(const int32_t* sums, uint64_t first, size_t frames, float* out);
    void to_int(const int32_t* sums, uint64_t first, size_t frames, int32_t* out);
    const SampleCounts& counts() const { return counts_; }

private:
    void to_float_steady(const int32_t* sums, size_t count, float* out);
    int32_t scaled_int(int32_t sum, double gain);
    int32_t clamp_int(int64_t value);

    double factor_;
    double float_scale_;  // factor / 32768
    double int_scale_;    // factor in steps of the depth
    int64_t int_unit_;    // 1 or 256: steps per 16-bit step
    int64_t full_scale_;  // 32768 or 8388608
    uint64_t fade_start_;
    uint64_t fade_frames_;
    bool dither_;
    TpdfNoise noise_;
    SampleCounts counts_;
};
