#include "mixer/steady_mix.h"

#include "mixer/cubic.h"
#include "mixer/steady_mix_simd.h"

namespace tamsel::core {

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

// __builtin_cpu_supports answers with a feature mask, not 0 or 1.
bool steady_mix_path_available(SteadyMixPath path) {
#ifdef TAMSEL_HAVE_SIMD_PATHS
    if (path == STEADY_MIX_AVX512) {
        return __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512dq") != 0 &&
               __builtin_cpu_supports("avx512vl") != 0 && __builtin_cpu_supports("avx2") != 0;
    }
    if (path == STEADY_MIX_AVX2) return __builtin_cpu_supports("avx2") != 0;
#endif
    return path == STEADY_MIX_SCALAR || path == STEADY_MIX_BEST;
}

static SteadyMixPath find_best_path() {
    if (steady_mix_path_available(STEADY_MIX_AVX512)) return STEADY_MIX_AVX512;
    if (steady_mix_path_available(STEADY_MIX_AVX2)) return STEADY_MIX_AVX2;
    return STEADY_MIX_SCALAR;
}

SteadyMixPath best_steady_mix_path() {
    // Initialised once, by whichever thread comes first; read-only after.
    static const SteadyMixPath best = find_best_path();
    return best;
}

void mix_steady_run(const SteadyRun* run, int32_t* acc, uint32_t frames) {
    uint32_t done = 0;
#ifdef TAMSEL_HAVE_SIMD_PATHS
    if (run->path == STEADY_MIX_AVX512)
        done = mix_frames_avx512(run, acc, frames);
    else if (run->path == STEADY_MIX_AVX2)
        done = mix_frames_avx2(run, acc, frames);
#endif
    mix_frames_scalar(run, acc, done, frames);
}

}  // namespace tamsel::core
