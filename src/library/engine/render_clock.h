// The render clock: counts output frames at 48000 per second, offline, and
// offers the sequencer a step on every engine tick.
#pragma once

#include <cstdint>

namespace tamsel::core {

// Milliseconds added per frame: the double nearest to 1/48.
constexpr double FRAME_MS = 1.0 / 48.0;

struct RenderClock {
    double ms;             // milliseconds rendered, a running sum
    double to_next_tick;   // frames left until the next tick
    double tick_period_s;  // tick period in seconds
};

// A clock at frame 0 whose first frame is a tick.
inline void clock_start(RenderClock* clock, double tick_ms) {
    clock->ms = 0.0;
    clock->to_next_tick = 0.0;
    clock->tick_period_s = tick_ms / 1000.0;
}

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

// The highest reading: the clock reads in signed 32-bit milliseconds.
constexpr int32_t CLOCK_MAX_READING = INT32_MAX;

// Truncates a clock reading to whole milliseconds. Readings beyond 2^31 - 1
// (24 days of audio) saturate.
inline int32_t whole_ms(double ms) {
    return ms < (double)CLOCK_MAX_READING ? (int32_t)ms : CLOCK_MAX_READING;
}

// The clock reading in whole milliseconds.
inline int32_t clock_whole_ms(const RenderClock* clock) {
    return whole_ms(clock->ms);
}

// Whether the clock will tick again: a counter at or below 0 ticks at the
// next frame and one up to 2^53 + 2 comes down to 0; beyond, taking 1 away
// soon leaves the counter as it is, and one that is not a number never
// compares at or below 0.
inline bool clock_ticks_again(const RenderClock* clock) {
    return clock->to_next_tick <= 9007199254740994.0;
}

}  // namespace tamsel::core
