// The steady inner loop for processors with AVX-512: eight frames at a time.
// The cubic's coefficients depend only on the window, so they are computed
// once per sample of the run (eight samples side by side) and each frame
// picks its sample's coefficients with a lane permute; steps of at most one
// sample per frame keep a group's eight frames within eight samples.
#include "mixer/steady_mix_simd.h"

#ifdef TAMSEL_HAVE_SIMD_PATHS

// GCC 12 warns about the deliberately undefined pass-through operand inside
// its own AVX-512 intrinsics; nothing here reads an undefined value.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <immintrin.h>

namespace tamsel::core {

#define AVX512_TARGET __attribute__((target("avx2,avx512f,avx512dq,avx512vl")))

// Eight consecutive samples from p, sign-extended and times 256, as doubles.
AVX512_TARGET static inline __m512d points_at(const int8_t* p) {
    __m256i wide = _mm256_cvtepi8_epi32(_mm_loadl_epi64((const __m128i*)(const void*)p));
    return _mm512_mul_pd(_mm512_cvtepi32_pd(wide), _mm512_set1_pd(256.0));
}

// The coefficients of eight windows side by side, stored at j.
AVX512_TARGET static inline void store_coefficients(double (*coefficients)[STEADY_COEFFICIENT_ROOM], uint32_t j,
                                                    __m512d ym1, __m512d y0, __m512d y1, __m512d y2) {
    const __m512d third = _mm512_set1_pd(0.3333333333333333);
    const __m512d half = _mm512_set1_pd(0.5);
    const __m512d sixth = _mm512_set1_pd(0.16666666666666666);
    __m512d c1 = _mm512_sub_pd(_mm512_sub_pd(_mm512_sub_pd(y1, _mm512_mul_pd(ym1, third)), _mm512_mul_pd(half, y0)),
                               _mm512_mul_pd(sixth, y2));
    __m512d c2 = _mm512_sub_pd(_mm512_mul_pd(half, _mm512_add_pd(ym1, y1)), y0);
    __m512d c3 =
        _mm512_add_pd(_mm512_mul_pd(half, _mm512_sub_pd(y0, y1)), _mm512_mul_pd(_mm512_sub_pd(y2, ym1), sixth));
    _mm512_storeu_pd(coefficients[0] + j, y0);
    _mm512_storeu_pd(coefficients[1] + j, c1);
    _mm512_storeu_pd(coefficients[2] + j, c2);
    _mm512_storeu_pd(coefficients[3] + j, c3);
}

// Samples k - places .. k + 7 - places, with older holding k - 8 .. k - 1
// and newer k .. k + 7.
template <int places>
AVX512_TARGET static inline __m512d places_back(__m512d older, __m512d newer) {
    __m512i joined = _mm512_alignr_epi64(_mm512_castpd_si512(newer), _mm512_castpd_si512(older), 8 - places);
    return _mm512_castsi512_pd(joined);
}

// Coefficients for the windows ending at samples first .. first + count - 1
// (count >= 1), and for up to seven more after them, which the data's
// padding makes readable. Each sample is converted once: the windows ending
// at k .. k + 7 are lane shifts of samples k - 8 .. k + 7.
AVX512_TARGET static void compute_coefficients(double (*coefficients)[STEADY_COEFFICIENT_ROOM], const int8_t* data,
                                               uint64_t first, uint32_t count) {
    const int8_t* d = data + first;
    __m512d ym1 = points_at(d - 3), y0 = points_at(d - 2), y1 = points_at(d - 1), newer = points_at(d);
    for (uint32_t j = 0;;) {
        store_coefficients(coefficients, j, ym1, y0, y1, newer);
        j += 8;
        if (j >= count) break;
        __m512d older = newer;
        newer = points_at(d + j);
        ym1 = places_back<3>(older, newer);
        y0 = places_back<2>(older, newer);
        y1 = places_back<1>(older, newer);
    }
}

AVX512_TARGET static void mix_chunk(const SteadyRun* run, uint64_t position, int32_t* acc, uint32_t groups) {
    const uint64_t step = run->step;
    const uint64_t first = position >> 32;
    const uint64_t last = (position + (uint64_t)(groups * 8 - 1) * step) >> 32;
    compute_coefficients(run->scratch->coefficients, run->data, first, (uint32_t)(last - first + 1));

    const __m512i lane_steps =
        _mm512_set_epi64((long long)(7 * step), (long long)(6 * step), (long long)(5 * step), (long long)(4 * step),
                         (long long)(3 * step), (long long)(2 * step), (long long)step, 0);
    const __m512i fraction_mask = _mm512_set1_epi64(0xFFFFFFFFll);
    const __m512i left_gain = _mm512_set1_epi64(run->left_gain);
    const __m512i right_gain = _mm512_set1_epi64(run->right_gain);
    const __m512d inverse_2_32 = _mm512_set1_pd(1.0 / 4294967296.0);

    for (uint32_t g = 0; g < groups; g++) {
        uint64_t base = position >> 32;
        __m512i lanes = _mm512_add_epi64(_mm512_set1_epi64((long long)position), lane_steps);
        __m512i index = _mm512_sub_epi64(_mm512_srli_epi64(lanes, 32), _mm512_set1_epi64((long long)base));
        uint32_t at = (uint32_t)(base - first);
        __m512d c0 = _mm512_permutexvar_pd(index, _mm512_loadu_pd(run->scratch->coefficients[0] + at));
        __m512d c1 = _mm512_permutexvar_pd(index, _mm512_loadu_pd(run->scratch->coefficients[1] + at));
        __m512d c2 = _mm512_permutexvar_pd(index, _mm512_loadu_pd(run->scratch->coefficients[2] + at));
        __m512d c3 = _mm512_permutexvar_pd(index, _mm512_loadu_pd(run->scratch->coefficients[3] + at));

        // Dividing by 2^32 and multiplying by 2^-32 are both exact.
        __m512d t = _mm512_mul_pd(_mm512_cvtepu64_pd(_mm512_and_si512(lanes, fraction_mask)), inverse_2_32);
        __m512d v = _mm512_add_pd(_mm512_mul_pd(c3, t), c2);
        v = _mm512_add_pd(_mm512_mul_pd(v, t), c1);
        v = _mm512_add_pd(_mm512_mul_pd(v, t), c0);
        // The curve stays well inside 32 bits, so truncating to 64 bits
        // gives the same low half as truncating to 32.
        __m512i s = _mm512_cvttpd_epi64(v);

        // Frame i's products sit in 64-bit lane i. Bits 16..47 of a product
        // are its sum shifted right by 16, whatever the shift's kind: moved
        // into the low half for the left, the high half for the right, they
        // are the frame's interleaved pair.
        __m512i left = _mm512_srli_epi64(_mm512_mul_epi32(s, left_gain), 16);
        __m512i right = _mm512_slli_epi64(_mm512_mul_epi32(s, right_gain), 16);
        int32_t* out = acc + 16 * g;
        __m512i sum = _mm512_add_epi32(_mm512_loadu_si512(out), _mm512_mask_blend_epi32(0xAAAA, left, right));
        _mm512_storeu_si512(out, sum);
        position += 8 * step;
    }
}

AVX512_TARGET uint32_t mix_frames_avx512(const SteadyRun* run, int32_t* acc, uint32_t frames) {
    // Eight frames must span at most eight samples.
    if (run->step > ((uint64_t)1 << 32)) return 0;
    uint32_t done = 0;
    while (frames - done >= 8) {
        uint32_t chunk = frames - done < STEADY_CHUNK_FRAMES ? frames - done : STEADY_CHUNK_FRAMES;
        uint32_t groups = chunk / 8;
        mix_chunk(run, run->position + (uint64_t)done * run->step, acc + 2 * done, groups);
        done += groups * 8;
    }
    return done;
}

}  // namespace tamsel::core

#endif
