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

// Fills coefficients j .. count - 1 of the windows ending at samples
// first + j ..., one window at a time: the tail the vector code leaves.
void fill_coefficients_one_by_one(double (*coefficients)[STEADY_COEFFICIENT_ROOM], const int8_t* data, uint64_t first,
                                  uint32_t j, uint32_t count);

uint32_t mix_frames_avx2(const SteadyRun* run, int32_t* acc, uint32_t frames);
uint32_t mix_frames_avx512(const SteadyRun* run, int32_t* acc, uint32_t frames);

}  // namespace tamsel::core
#endif
