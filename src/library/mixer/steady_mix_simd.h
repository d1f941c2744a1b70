// Vector versions of the steady inner loop, for processors that have the
// instructions; each returns how many leading frames it mixed, leaving the
// rest to the scalar loop. Every double operation is the scalar one, in the
// same order, on several frames side by side; none is fused.
#pragma once

#include <cstdint>

#include "mixer/steady_mix.h"

#if defined(__x86_64__) && defined(__GNUC__)
#define TAMSEL_HAVE_SIMD_PATHS 1

namespace tamsel::core {

uint32_t mix_frames_avx2(const SteadyRun* run, int32_t* acc, uint32_t frames);
uint32_t mix_frames_avx512(const SteadyRun* run, int32_t* acc, uint32_t frames);

}  // namespace tamsel::core
#endif
