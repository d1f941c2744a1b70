#include "mixer/steady_mix.h"

#include "mixer/cubic.h"
#include "mixer/steady_mix_simd.h"

static void mix_frames_scalar(const SteadyRun* run, int32_t* acc, uint32_t first, uint32_t frames) {
    uint64_t position = run->position + (uint64_t)first * run->step;
    for (uint32_t f = first; f < frames; f++) {
        const int8_t* d = run->data + (position >> 32);
        int32_t s = cubic_interpolate((double)(d[-3] * 256), (double)(d[-2] * 256), (double)(d[-1] * 256),
                                      (double)(d[0] * 256), (uint32_t)position);
        acc[2 * f] = add_wrapping(acc[2 * f], scale_by_gain(run->left_gain, s));
        acc[2 * f + 1] = add_wrapping(acc[2 * f + 1], scale_by_gain(run->right_gain, s));
        position += run->step;
    }
}

#ifdef TAMSEL_HAVE_SIMD_PATHS
double steady_coefficients[4][STEADY_CHUNK_FRAMES + 24];

void fill_coefficients_one_by_one(const int8_t* data, uint64_t first, uint32_t j, uint32_t count) {
    for (; j < count; j++) {
        const int8_t* d = data + first + j;
        CubicCoefficients c = cubic_coefficients((double)(d[-3] * 256), (double)(d[-2] * 256),
                                                 (double)(d[-1] * 256), (double)(d[0] * 256));
        steady_coefficients[0][j] = c.c0;
        steady_coefficients[1][j] = c.c1;
        steady_coefficients[2][j] = c.c2;
        steady_coefficients[3][j] = c.c3;
    }
}
#endif

typedef uint32_t (*VectorPath)(const SteadyRun*, int32_t*, uint32_t);

// __builtin_cpu_supports answers with a feature mask, not 0 or 1.
static bool path_available(SteadyMixPath path) {
#ifdef TAMSEL_HAVE_SIMD_PATHS
    if (path == STEADY_MIX_AVX512) {
        return __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512dq") != 0 &&
               __builtin_cpu_supports("avx512vl") != 0 && __builtin_cpu_supports("avx2") != 0;
    }
    if (path == STEADY_MIX_AVX2) return __builtin_cpu_supports("avx2") != 0;
#endif
    return path == STEADY_MIX_SCALAR;
}

static VectorPath vector_path_for(SteadyMixPath path) {
#ifdef TAMSEL_HAVE_SIMD_PATHS
    if (path == STEADY_MIX_AVX512) return mix_frames_avx512;
    if (path == STEADY_MIX_AVX2) return mix_frames_avx2;
#endif
    (void)path;
    return nullptr;
}

static VectorPath best_vector_path() {
    if (path_available(STEADY_MIX_AVX512)) return vector_path_for(STEADY_MIX_AVX512);
    if (path_available(STEADY_MIX_AVX2)) return vector_path_for(STEADY_MIX_AVX2);
    return nullptr;
}

static VectorPath vector_path = best_vector_path();

uint8_t select_steady_mix_path(SteadyMixPath path) {
    if (path == STEADY_MIX_BEST) {
        vector_path = best_vector_path();
        return 1;
    }
    if (!path_available(path)) return 0;
    vector_path = vector_path_for(path);
    return 1;
}

void mix_steady_run(const SteadyRun* run, int32_t* acc, uint32_t frames) {
    uint32_t done = vector_path ? vector_path(run, acc, frames) : 0;
    mix_frames_scalar(run, acc, done, frames);
}
