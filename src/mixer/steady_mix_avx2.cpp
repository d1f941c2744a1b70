// The steady inner loop for processors with AVX2: four frames at a time.
#include "mixer/steady_mix_simd.h"

#ifdef TAMSEL_HAVE_SIMD_PATHS

#include <immintrin.h>

#include <cstring>

// Signed byte k (0 = lowest) of each lane, times 256, as doubles.
__attribute__((target("avx2"))) static inline __m256d point_of(__m128i packed, int k) {
    __m128i byte = _mm_srai_epi32(_mm_sll_epi32(packed, _mm_cvtsi32_si128(24 - 8 * k)), 24);
    return _mm256_mul_pd(_mm256_cvtepi32_pd(byte), _mm256_set1_pd(256.0));
}

// Adds (gain x s) >> 16 for two frames into their interleaved accumulator
// pairs. s holds s0, s0, s1, s1 in 64-bit lanes and gains left, right, left,
// right; the 64-bit products are exact, and the low 32 bits of a product
// shifted right by 16 are the same for a logical and an arithmetic shift.
__attribute__((target("avx2"))) static inline void add_scaled_pair(int32_t* acc, __m256i s, __m256i gains) {
    const __m256i low_dwords = _mm256_set_epi32(7, 5, 3, 1, 6, 4, 2, 0);
    __m256i shifted = _mm256_srli_epi64(_mm256_mul_epi32(s, gains), 16);
    __m128i scaled = _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(shifted, low_dwords));
    __m128i* out = (__m128i*)(void*)acc;
    _mm_storeu_si128(out, _mm_add_epi32(_mm_loadu_si128(out), scaled));
}

// data[whole - 3 .. whole] as one little-endian word; whole is at least 3.
static inline int32_t load_window(const int8_t* data, int32_t whole) {
    int32_t packed;
    std::memcpy(&packed, data + (whole - 3), 4);
    return packed;
}

// Four frames at a time. Every double operation is the scalar one, in the
// same order, on four lanes; no operation is fused.
__attribute__((target("avx2"))) uint32_t mix_frames_avx2(const SteadyRun* run, int32_t* acc,
                                                                 uint32_t frames) {
    const __m256i step4 = _mm256_set1_epi64x((long long)(run->step * 4));
    __m256i position = _mm256_add_epi64(_mm256_set1_epi64x((long long)run->position),
                                        _mm256_set_epi64x((long long)(run->step * 3), (long long)(run->step * 2),
                                                          (long long)run->step, 0));
    const __m256i low_halves = _mm256_set_epi32(7, 5, 3, 1, 6, 4, 2, 0);
    const __m256d third = _mm256_set1_pd(0.3333333333333333);
    const __m256d half = _mm256_set1_pd(0.5);
    const __m256d sixth = _mm256_set1_pd(0.16666666666666666);
    const __m256i gains = _mm256_set_epi64x(run->right_gain, run->left_gain, run->right_gain, run->left_gain);
    const int8_t* data = run->data;

    uint32_t f = 0;
    for (; f + 4 <= frames; f += 4) {
        // Fractions in the low 128 bits, whole positions in the high ones.
        __m256i split = _mm256_permutevar8x32_epi32(position, low_halves);
        __m128i fraction = _mm256_castsi256_si128(split);
        __m128i whole = _mm256_extracti128_si256(split, 1);
        // data[w - 3 .. w] of each frame in one 32-bit load; plain loads
        // beat a gather instruction on common processors.
        __m128i packed = _mm_setr_epi32(load_window(data, _mm_extract_epi32(whole, 0)),
                                        load_window(data, _mm_extract_epi32(whole, 1)),
                                        load_window(data, _mm_extract_epi32(whole, 2)),
                                        load_window(data, _mm_extract_epi32(whole, 3)));
        __m256d ym1 = point_of(packed, 0), y0 = point_of(packed, 1);
        __m256d y1 = point_of(packed, 2), y2 = point_of(packed, 3);

        // Unsigned fraction to double: flip the top bit, convert as signed,
        // add 2^31 back; all exact.
        __m256d frac = _mm256_add_pd(_mm256_cvtepi32_pd(_mm_xor_si128(fraction, _mm_set1_epi32(INT32_MIN))),
                                     _mm256_set1_pd(2147483648.0));
        // Dividing by 2^32 and multiplying by 2^-32 are both exact.
        __m256d t = _mm256_mul_pd(frac, _mm256_set1_pd(1.0 / 4294967296.0));

        __m256d c1 = _mm256_sub_pd(_mm256_sub_pd(_mm256_sub_pd(y1, _mm256_mul_pd(ym1, third)), _mm256_mul_pd(half, y0)),
                                   _mm256_mul_pd(sixth, y2));
        __m256d c2 = _mm256_sub_pd(_mm256_mul_pd(half, _mm256_add_pd(ym1, y1)), y0);
        __m256d c3 = _mm256_add_pd(_mm256_mul_pd(half, _mm256_sub_pd(y0, y1)),
                                   _mm256_mul_pd(_mm256_sub_pd(y2, ym1), sixth));
        __m256d v = _mm256_add_pd(_mm256_mul_pd(c3, t), c2);
        v = _mm256_add_pd(_mm256_mul_pd(v, t), c1);
        v = _mm256_add_pd(_mm256_mul_pd(v, t), y0);
        __m128i s = _mm256_cvttpd_epi32(v);

        add_scaled_pair(acc + 2 * f, _mm256_cvtepi32_epi64(_mm_unpacklo_epi32(s, s)), gains);
        add_scaled_pair(acc + 2 * f + 4, _mm256_cvtepi32_epi64(_mm_unpackhi_epi32(s, s)), gains);
        position = _mm256_add_epi64(position, step4);
    }
    return f;
}

#endif
