// The render clock: counts output frames at 48000 per second, offline, and
// offers the sequencer a step on every engine tick.
#pragma once

#include <cstdint>

namespace tamsel::core {

// Milliseconds added per frame: the double nearest to 1/48.
constexpr double FRAME_MS = 1.0 / 48.0;

struct RenderClock {
    double ms;              // milliseconds rendered, a running sum
    double to_next_tick;    // frames left until the next tick
    double tick_period_s;   // tick period in seconds
};

// A clock at frame 0 whose first frame is a tick.
void clock_start(RenderClock* clock, double tick_ms);

// Advances a clock by one frame: the reading first, then the tick counter.
// Returns true when the frame is a tick; the caller offers the sequencer a
// step then.
inline bool advance_clock(RenderClock* clock) {
    clock->ms = FRAME_MS + clock->ms;
    bool tick = clock->to_next_tick <= 0.0;
    if (tick) clock->to_next_tick = clock->to_next_tick + clock->tick_period_s * 48000.0;
    clock->to_next_tick = clock->to_next_tick - 1.0;
    return tick;
}

// Truncates a clock reading to whole milliseconds. Readings beyond 2^31 - 1
// (24 days of audio) saturate.
inline int32_t whole_ms(double ms) {
    return ms < 2147483647.0 ? (int32_t)ms : INT32_MAX;
}

// The clock reading in whole milliseconds.
inline int32_t clock_whole_ms(const RenderClock* clock) {
    return whole_ms(clock->ms);
}

}  // namespace tamsel::core
