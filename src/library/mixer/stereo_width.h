// Stereo width on the mixer's integer sums: the mid (L + R) / 2 is kept and
// the side (L - R) / 2 is scaled by percent / 100, so 0 % is mono, 100 %
// the sums unchanged and 200 % the side doubled. Integer arithmetic alone,
// so every output (float, int32, int16) is derived from the same sums.
#pragma once

#include <cstdint>

namespace tamsel::core {

constexpr int32_t STEREO_WIDTH_NEUTRAL = 100;
constexpr int32_t STEREO_WIDTH_MOST = 200;

// One channel of a frame at width percent (0..200): (own x (100 + percent)
// + other x (100 - percent)) / 200, computed exactly in 64 bits, rounded to
// the nearest integer with halves rounded up (towards +infinity), then
// clamped to the int32 range (200 % can reach twice a sum). At 100 it is
// own, exactly.
inline int32_t widened_channel(int32_t own, int32_t other, int32_t percent) {
    int64_t scaled = (int64_t)own * (100 + percent) + (int64_t)other * (100 - percent) + 100;
    // Division rounding down: C++ truncates towards zero.
    int64_t quotient = scaled / 200 - (scaled % 200 < 0 ? 1 : 0);
    if (quotient > INT32_MAX) return INT32_MAX;
    if (quotient < INT32_MIN) return INT32_MIN;
    return (int32_t)quotient;
}

// Applies width percent to frames interleaved (left, right) pairs in place.
inline void widen_frames(int32_t* pairs, uint32_t frames, int32_t percent) {
    for (uint32_t i = 0; i < frames; i++) {
        int32_t left = pairs[2 * i];
        int32_t right = pairs[2 * i + 1];
        pairs[2 * i] = widened_channel(left, right, percent);
        pairs[2 * i + 1] = widened_channel(right, left, percent);
    }
}

}  // namespace tamsel::core
