// Moves the render clock over many frames at once with exactly the result
// of advancing it frame by frame. The clock is a running sum of doubles, and
// between ticks a frame only adds 1/48 ms to the reading and takes 1 from the
// tick counter; both can be done in one step where every addition would be
// rounded the same way.
#pragma once

#include <cstdint>

#include "engine/render_clock.h"

namespace tamsel::core {

// Adds FRAME_MS to *ms frames times, as that many separate additions would.
void add_frame_ms(double* ms, uint64_t frames);

// Advances the clock over the frames before the next tick, at most limit of
// them, and returns how many. The next frame (if limit allowed) is a tick.
uint64_t advance_clock_to_tick(RenderClock* clock, uint64_t limit);

}  // namespace tamsel::core
