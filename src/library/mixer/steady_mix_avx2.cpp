// The steady inner loop for processors with AVX2: four frames at a time.
// The cubic's coefficients depend only on the window, so they are computed
// once per sample of the run (four samples side by side) and each frame
// picks its sample's coefficients with a lane permute; steps of at most one
// sample per frame keep a group's four frames within four samples.
#include "mixer/steady_mix_simd.h"

#ifdef TAMSEL_HAVE_SIMD_PATHS

#include <immintrin.h>

#include <cstring>

namespace tamsel::core {

#define AVX2_TARGET __attribute__((target("avx2")))

// Four consecutive samples from p, sign-extended and times 256, as doubles.
AVX2_TARGET static inline __m256d points_at(const int8_t* p) {
    int32_t packed;
    std::memcpy(&packed, p, 4);
    __m128i wide = _mm_cvtepi8_epi32(_mm_cvtsi32_si128(packed));
    return _mm256_mul_pd(_mm256_cvtepi32_pd(wide), _mm256_set1_pd(256.0));
}

// The coefficients of four windows side by side, stored at j.
AVX2_TARGET static inline void store_coefficients(double (*coefficients)[STEADY_COEFFICIENT_ROOM], uint32_t j,
                                                  __m256d ym1, __m256d y0, __m256d y1, __m256d y2) {
    const __m256d third = _mm256_set1_pd(0.3333333333333333);
    const __m256d half = _mm256_set1_pd(0.5);
    const __m256d sixth = _mm256_set1_pd(0.16666666666666666);
    __m256d c1 = _mm256_sub_pd(_mm256_sub_pd(_mm256_sub_pd(y1, _mm256_mul_pd(ym1, third)), _mm256_mul_pd(half, y0)),
                               _mm256_mul_pd(sixth, y2));
    __m256d c2 = _mm256_sub_pd(_mm256_mul_pd(half, _mm256_add_pd(ym1, y1)), y0);
    __m256d c3 =
        _mm256_add_pd(_mm256_mul_pd(half, _mm256_sub_pd(y0, y1)), _mm256_mul_pd(_mm256_sub_pd(y2, ym1), sixth));
    _mm256_storeu_pd(coefficients[0] + j, y0);
    _mm256_storeu_pd(coefficients[1] + j, c1);
    _mm256_storeu_pd(coefficients[2] + j, c2);
    _mm256_storeu_pd(coefficients[3] + j, c3);
}

// Coefficients for the windows ending at samples first .. first + count - 1
// (count >= 1), and for up to three more after them, which the data's
// padding makes readable. Each sample is converted once: with older
// holding samples k - 4 .. k - 1 and newer k .. k + 3, the windows ending
// at k .. k + 3 are lane shuffles of the two.
AVX2_TARGET static void compute_coefficients(double (*coefficients)[STEADY_COEFFICIENT_ROOM], const int8_t* data,
                                             uint64_t first, uint32_t count) {
    const int8_t* d = data + first;
    __m256d ym1 = points_at(d - 3), y0 = points_at(d - 2), y1 = points_at(d - 1), newer = points_at(d);
    for (uint32_t j = 0;;) {
        store_coefficients(coefficients, j, ym1, y0, y1, newer);
        j += 4;
        if (j >= count) break;
        __m256d older = newer;
        newer = points_at(d + j);
        y0 = _mm256_permute2f128_pd(older, newer, 0x21);  // k - 2 .. k + 1
        ym1 = _mm256_shuffle_pd(older, y0, 5);            // k - 3 .. k
        y1 = _mm256_shuffle_pd(y0, newer, 5);             // k - 1 .. k + 2
    }
}

// Picks lane index[i] of four doubles into lane i. AVX2 permutes 32-bit
// lanes, so each 64-bit index i becomes the pair 2i, 2i + 1.
AVX2_TARGET static inline __m256d pick(const double* from, __m256i pairs) {
    __m256i lanes = _mm256_castpd_si256(_mm256_loadu_pd(from));
    return _mm256_castsi256_pd(_mm256_permutevar8x32_epi32(lanes, pairs));
}

// Adds (gain x s) >> 16 for four frames into their interleaved accumulator
// pairs; s holds frame i's value in 64-bit lane i. The 64-bit products are
// exact, and bits 16..47 of a product are its value shifted right by 16,
// whatever the shift's kind: moved into the low half for the left and the
// high half for the right, they are the frames' interleaved pairs.
AVX2_TARGET static inline void add_scaled_frames(int32_t* acc, __m256i s, __m256i left_gain, __m256i right_gain) {
    __m256i left = _mm256_srli_epi64(_mm256_mul_epi32(s, left_gain), 16);
    __m256i right = _mm256_slli_epi64(_mm256_mul_epi32(s, right_gain), 16);
    __m256i* out = (__m256i*)(void*)acc;
    _mm256_storeu_si256(out, _mm256_add_epi32(_mm256_loadu_si256(out), _mm256_blend_epi32(left, right, 0xAA)));
}

AVX2_TARGET static void mix_chunk(const SteadyRun* run, uint64_t position, int32_t* acc, uint32_t groups) {
    const uint64_t step = run->step;
    const uint64_t first = position >> 32;
    const uint64_t last = (position + (uint64_t)(groups * 4 - 1) * step) >> 32;
    compute_coefficients(run->scratch->coefficients, run->data, first, (uint32_t)(last - first + 1));

    const __m256i lane_steps = _mm256_set_epi64x((long long)(3 * step), (long long)(2 * step), (long long)step, 0);
    const __m256i one_high = _mm256_set1_epi64x((long long)1 << 32);
    const __m256i low_halves = _mm256_set_epi32(7, 5, 3, 1, 6, 4, 2, 0);
    const __m256i left_gain = _mm256_set1_epi64x(run->left_gain);
    const __m256i right_gain = _mm256_set1_epi64x(run->right_gain);
    const __m256d inverse_2_32 = _mm256_set1_pd(1.0 / 4294967296.0);

    for (uint32_t g = 0; g < groups; g++) {
        uint64_t base = position >> 32;
        __m256i lanes = _mm256_add_epi64(_mm256_set1_epi64x((long long)position), lane_steps);
        __m256i index = _mm256_sub_epi64(_mm256_srli_epi64(lanes, 32), _mm256_set1_epi64x((long long)base));
        __m256i twice = _mm256_add_epi64(index, index);
        __m256i pairs = _mm256_add_epi64(twice, _mm256_add_epi64(_mm256_slli_epi64(twice, 32), one_high));
        uint32_t at = (uint32_t)(base - first);
        __m256d c0 = pick(run->scratch->coefficients[0] + at, pairs);
        __m256d c1 = pick(run->scratch->coefficients[1] + at, pairs);
        __m256d c2 = pick(run->scratch->coefficients[2] + at, pairs);
        __m256d c3 = pick(run->scratch->coefficients[3] + at, pairs);

        // Unsigned fraction to double: flip the top bit, convert as signed,
        // add 2^31 back; all exact. Dividing by 2^32 and multiplying by 2^-32
        // are both exact too.
        __m128i fraction = _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(lanes, low_halves));
        __m256d frac = _mm256_add_pd(_mm256_cvtepi32_pd(_mm_xor_si128(fraction, _mm_set1_epi32(INT32_MIN))),
                                     _mm256_set1_pd(2147483648.0));
        __m256d t = _mm256_mul_pd(frac, inverse_2_32);
        __m256d v = _mm256_add_pd(_mm256_mul_pd(c3, t), c2);
        v = _mm256_add_pd(_mm256_mul_pd(v, t), c1);
        v = _mm256_add_pd(_mm256_mul_pd(v, t), c0);
        __m256i s = _mm256_cvtepi32_epi64(_mm256_cvttpd_epi32(v));
        add_scaled_frames(acc + 8 * g, s, left_gain, right_gain);
        position += 4 * step;
    }
}

AVX2_TARGET uint32_t mix_frames_avx2(const SteadyRun* run, int32_t* acc, uint32_t frames) {
    // Four frames must span at most four samples.
    if (run->step > ((uint64_t)1 << 32)) return 0;
    uint32_t done = 0;
    while (frames - done >= 4) {
        uint32_t chunk = frames - done < STEADY_CHUNK_FRAMES ? frames - done : STEADY_CHUNK_FRAMES;
        uint32_t groups = chunk / 4;
        mix_chunk(run, run->position + (uint64_t)done * run->step, acc + 2 * done, groups);
        done += groups * 4;
    }
    return done;
}

}  // namespace tamsel::core

#endif
