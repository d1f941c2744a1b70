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
