// The inner loop of the block mixer: a steady voice (gains at their
// targets, window equal to the samples under the position, every advance
// inside the data) over a run of frames. Each frame's output depends on its
// position alone, so frames can be computed side by side.
#pragma once

#include <cstdint>

namespace tamsel::core {

// The inner loops there are; all give the same bytes.
enum SteadyMixPath : uint8_t { STEADY_MIX_SCALAR, STEADY_MIX_AVX2, STEADY_MIX_AVX512, STEADY_MIX_BEST };

// The vector loops compute the cubic's coefficients once per sample of a
// chunk of at most STEADY_CHUNK_FRAMES frames (at most one sample per frame)
// into scratch: STEADY_COEFFICIENT_ROOM of each of the four terms, the 24
// past the chunk room for the last group's unaligned load of eight.
constexpr uint32_t STEADY_CHUNK_FRAMES = 1024;
constexpr uint32_t STEADY_COEFFICIENT_ROOM = STEADY_CHUNK_FRAMES + 24;
// Samples a steady run reads at most per call of mix_steady_run.
constexpr uint32_t STEADY_WINDOW_SAMPLES = 4096;
// Bytes a run's data stays readable past the last sample the run reads: the
// vector loops compute the coefficients of up to eight windows at once, and
// those of windows past the run's end are made and never used.
constexpr uint32_t STEADY_DATA_PADDING = 8;

// Working memory of the mixer; each renderer has its own.
struct MixScratch {
    alignas(64) double coefficients[4][STEADY_COEFFICIENT_ROOM];
    int8_t window[STEADY_WINDOW_SAMPLES + STEADY_DATA_PADDING];
};

struct SteadyRun {
    // The samples around the run, readable STEADY_DATA_PADDING bytes past
    // the last it reads; every whole position w has w >= 3.
    const int8_t* data;
    uint64_t position;  // 32.32 position of the first frame, relative to data
    uint64_t step;
    int32_t left_gain;
    int32_t right_gain;
    MixScratch* scratch;
    SteadyMixPath path;  // never STEADY_MIX_BEST here
};

// Adds the run's frames into acc (interleaved left, right), exactly as the
// per-frame voice would.
void mix_steady_run(const SteadyRun* run, int32_t* acc, uint32_t frames);

// The fastest loop this processor has; found once, then only read.
SteadyMixPath best_steady_mix_path();
// Whether the processor has the loop.
bool steady_mix_path_available(SteadyMixPath path);

}  // namespace tamsel::core
