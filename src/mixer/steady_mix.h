// The inner loop of the block mixer: a steady voice (gains at their
// targets, window equal to the data under the position, every advance
// inside the data) over a run of frames. Each frame's output depends on its
// position alone, so frames can be computed side by side.
#pragma once

#include <cstdint>

struct SteadyRun {
    const int8_t* data;  // the voice's samples; every whole position w has w >= 3
    uint64_t position;   // 32.32 position of the first frame
    uint64_t step;
    int32_t left_gain;
    int32_t right_gain;
};

// Adds the run's frames into acc (interleaved left, right), exactly as the
// per-frame voice would.
void mix_steady_run(const SteadyRun* run, int32_t* acc, uint32_t frames);

// The inner loops there are; the fastest the processor has is used unless
// another is selected. All give the same bytes.
enum SteadyMixPath : uint8_t { STEADY_MIX_SCALAR, STEADY_MIX_AVX2, STEADY_MIX_AVX512, STEADY_MIX_BEST };

// Selects an inner loop; returns 0 (and changes nothing) when the processor
// lacks it.
uint8_t select_steady_mix_path(SteadyMixPath path);
