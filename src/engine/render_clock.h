// The render clock: produces the output at 48000 stereo frames per second,
// offline, offering the sequencer a step on every engine tick.
#pragma once

#include <cstdint>

// Milliseconds added per frame: the double nearest to 1/48.
constexpr double FRAME_MS = 1.0 / 48.0;

extern double sample_ms;             // milliseconds rendered, a running sum
extern double samples_to_next_tick;  // frames left until the next tick
extern double mst;                   // tick period in seconds
extern int32_t mylpc;                // loop limit
extern uint8_t myhit;                // the song has wrapped more than mylpc times
extern int32_t buffer[2];            // the frame accumulator, left and right

// The clock reading in whole milliseconds.
int32_t samplemsget();
// Sets the loop limit and the tick period in milliseconds.
void lpcset(int32_t loops, double ms);
// Fills out with up to count interleaved float frames and returns how many
// it stored; fewer than count means the song has ended.
uint64_t generate_samples(float* out, uint64_t count);

// Advances a clock by one frame: the reading first, then the tick counter.
// Returns 1 when the frame is a tick; the caller runs the sequencer then.
inline uint8_t advance_clock(double* ms, double* to_next_tick, double tick_period_s) {
    *ms = FRAME_MS + *ms;
    uint8_t tick = *to_next_tick <= 0.0 ? 1 : 0;
    if (tick) *to_next_tick = *to_next_tick + tick_period_s * 48000.0;
    *to_next_tick = *to_next_tick - 1.0;
    return tick;
}

// Truncates a clock reading to whole milliseconds. Readings beyond 2^31 - 1
// (24 days of audio) saturate.
inline int32_t whole_ms(double ms) {
    return ms < 2147483647.0 ? (int32_t)ms : INT32_MAX;
}

// Puts the clock back to its state at process start; one process renders
// one song, so only tests and tools that render several need it.
void reset_render_clock();
