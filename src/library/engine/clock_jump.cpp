#include "engine/clock_jump.h"

#include <cmath>

namespace tamsel::core {

// 2^53 as a count of units in the last place: the end of a binade.
static constexpr uint64_t BINADE_UNITS = (uint64_t)1 << 53;

static void add_frames_one_by_one(double* ms, uint64_t frames) {
    for (uint64_t i = 0; i < frames; i++) *ms = FRAME_MS + *ms;
}

// Inside one binade [2^(e-1), 2^e) every double is a multiple of its unit u,
// so s + FRAME_MS rounds to s plus FRAME_MS rounded to a multiple of u: the
// same increment at every addition, unless FRAME_MS / u ends in exactly one
// half (a tie, decided by the parity of s). Runs of such additions are one
// exact integer sum in units of u; the addition that leaves the binade, and
// ties, are done as they are.
void add_frame_ms(double* ms, uint64_t frames) {
    while (frames > 0) {
        double s = *ms;
        // Below 1 ms the reading changes binade every few frames.
        if (!(s >= 1.0) || !std::isfinite(s)) {
            *ms = FRAME_MS + s;
            frames--;
            continue;
        }
        int exponent;
        std::frexp(s, &exponent);
        double unit = std::ldexp(1.0, exponent - 53);
        double increment = FRAME_MS / unit;  // exact: a power-of-two scaling
        double whole = std::nearbyint(increment);
        // From 2^48 ms on, 1/48 ms is less than half a unit: the sum no
        // longer moves.
        if (increment < 0.5) return;
        if (increment - std::floor(increment) == 0.5 || whole == 0.0) {
            add_frames_one_by_one(ms, 1);
            frames--;
            continue;
        }
        uint64_t units = (uint64_t)(s / unit);
        uint64_t step = (uint64_t)whole;
        uint64_t room = (BINADE_UNITS - 1 - units) / step;
        uint64_t run = room < frames ? room : frames;
        if (run == 0) {
            add_frames_one_by_one(ms, 1);
            frames--;
            continue;
        }
        *ms = (double)(units + run * step) * unit;
        frames -= run;
    }
}

// Above 2^53 whole numbers are no longer all doubles: taking 1 away rounds
// to an even neighbour, and from 2^53 + 4 on that is the counter itself.
static constexpr double EXACT_COUNTER_LIMIT = 9007199254740992.0;  // 2^53

uint64_t advance_clock_to_tick(RenderClock* clock, uint64_t limit) {
    double* ms = &clock->ms;
    double* to_next_tick = &clock->to_next_tick;
    double counter = *to_next_tick;
    if (counter <= 0.0 || limit == 0) return 0;
    uint64_t frames = 0;
    // At most two frames bring a counter above the limit down to it, or it
    // is stuck; a counter that is not a number never ticks again either.
    while (frames < limit && counter > EXACT_COUNTER_LIMIT && counter - 1.0 != counter) {
        counter = counter - 1.0;
        frames++;
    }
    if (!(counter <= EXACT_COUNTER_LIMIT)) {
        *to_next_tick = counter;
        add_frame_ms(ms, limit);
        return limit;
    }
    // While the counter stays above 0, taking 1 away is exact (it is at most
    // 2^53, so whole numbers are multiples of its unit). Only the step that
    // reaches 0 or below may round, and it rounds the same exact difference
    // that taking all k away at once rounds.
    uint64_t until_tick = (uint64_t)std::ceil(counter);
    uint64_t room = limit - frames;
    uint64_t run = until_tick < room ? until_tick : room;
    *to_next_tick = counter - (double)run;
    add_frame_ms(ms, frames + run);
    return frames + run;
}

}  // namespace tamsel::core
