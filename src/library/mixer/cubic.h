// The voice's four-point cubic, shared by the per-frame voice and the block
// mixer so that both round every operation the same way.
#pragma once

#include <cstdint>

namespace tamsel::core {

// The curve through four points (signed samples already scaled by 256; ym1
// the oldest, y2 the newest), evaluated between y0 and y1. The order of
// every operation is part of the output: each step is rounded to double on
// its own (the build forbids contraction).
struct CubicCoefficients {
    double c0, c1, c2, c3;
};

inline CubicCoefficients cubic_coefficients(double ym1, double y0, double y1, double y2) {
    CubicCoefficients c;
    c.c0 = y0;
    c.c1 = ((y1 - ym1 * 0.3333333333333333) - 0.5 * y0) - 0.16666666666666666 * y2;
    c.c2 = 0.5 * (ym1 + y1) - y0;
    c.c3 = 0.5 * (y0 - y1) + (y2 - ym1) * 0.16666666666666666;
    return c;
}

// The curve at the fraction's t, truncated towards zero.
inline int32_t cubic_evaluate(const CubicCoefficients& c, uint32_t fraction) {
    const double t = (double)fraction / 4294967296.0;
    return (int32_t)(((c.c3 * t + c.c2) * t + c.c1) * t + c.c0);
}

inline int32_t cubic_interpolate(double ym1, double y0, double y1, double y2, uint32_t fraction) {
    return cubic_evaluate(cubic_coefficients(ym1, y0, y1, y2), fraction);
}

// gain x s with the product formed at 64 bits, so overshooting values near
// unity gain stay exact; the shift rounds towards minus infinity
// (-29110400 >> 16 is -445).
inline int32_t scale_by_gain(int32_t gain, int32_t s) {
    return (int32_t)(((int64_t)gain * s) >> 16);
}

// Accumulators add like 32-bit registers.
inline int32_t add_wrapping(int32_t a, int32_t b) {
    return (int32_t)((uint32_t)a + (uint32_t)b);
}

}  // namespace tamsel::core
