#include "engine/loop_points.h"

#include <cmath>

#include "engine/render_length.h"
#include "tamsel/tamsel.h"

namespace tamsel::core {

struct FirstWrap {
    bool seen;
    uint64_t frame;
};

static void keep_first_wrap(void* context, uint64_t frame) {
    FirstWrap* first = (FirstWrap*)context;
    if (first->seen) return;
    first->seen = true;
    first->frame = frame;
}

// The loop within limit: MEASURED with *loop set, or why not, without
// telling a render past the limit from one that never wraps.
static RenderLength measure_loop(const Renderer* renderer, uint64_t limit, LoopPoints* loop) {
    // The render with one extra pass lists S as its one loop point and ends
    // at E, the wrap after it.
    FirstWrap first = {false, 0};
    uint64_t end = 0;
    RenderLength found = measure_render_length_with_loops(renderer, 1, limit, &end, keep_first_wrap, &first);
    if (found != RenderLength::MEASURED) return found;
    if (!first.seen || end <= first.frame) return RenderLength::NEVER_ENDS;
    uint64_t crossfade = TAMSEL_LOOP_CROSSFADE_FRAMES;
    if (first.frame < crossfade) crossfade = first.frame;
    if (end - first.frame < crossfade) crossfade = end - first.frame;
    loop->start = first.frame;
    loop->end = end;
    loop->crossfade = (uint32_t)crossfade;
    return RenderLength::MEASURED;
}

LoopSearch find_loop_points(const Renderer* renderer, uint64_t limit, LoopPoints* loop) {
    switch (measure_loop(renderer, limit, loop)) {
    case RenderLength::MEASURED: return LoopSearch::FOUND;
    case RenderLength::NEVER_ENDS: return LoopSearch::NEVER_WRAPS;
    case RenderLength::TOO_LONG: break;
    }
    // A render past the limit may still turn out never to wrap: followed
    // without a limit, the search stops as soon as that is known.
    uint64_t ignored = 0;
    bool ends =
        measure_render_length_with_loops(renderer, 1, UINT64_MAX, &ignored, nullptr, nullptr) == RenderLength::MEASURED;
    return ends ? LoopSearch::TOO_LONG : LoopSearch::NEVER_WRAPS;
}

bool is_the_loop(const Renderer* renderer, const LoopPoints* loop) {
    LoopPoints found = {};
    if (measure_loop(renderer, loop->end, &found) != RenderLength::MEASURED) return false;
    return found.start == loop->start && found.end == loop->end && found.crossfade == loop->crossfade;
}

// a + (b - a) x step / steps, rounded to the nearest integer (halves away
// from a). The result lies between a and b, so it fits.
static int32_t blend(int32_t a, int32_t b, uint32_t step, uint32_t steps) {
    int64_t scaled = ((int64_t)b - (int64_t)a) * (int64_t)step;
    int64_t half = steps / 2;
    int64_t moved = scaled >= 0 ? (scaled + half) / steps : -((-scaled + half) / steps);
    return (int32_t)((int64_t)a + moved);
}

void crossfade_frames(const int32_t* ending, const int32_t* lead_in, uint32_t first, uint32_t count, uint32_t crossfade,
                      int32_t* out) {
    for (uint32_t i = 0; i < count; i++) {
        uint32_t step = first + i + 1;
        out[2 * i] = blend(ending[2 * i], lead_in[2 * i], step, crossfade);
        out[2 * i + 1] = blend(ending[2 * i + 1], lead_in[2 * i + 1], step, crossfade);
    }
}

double stretch_difference_db(const int32_t* ending, const int32_t* lead_in, uint32_t count) {
    double difference = 0.0;
    double signal = 0.0;
    for (uint64_t i = 0; i < 2 * (uint64_t)count; i++) {
        double a = (double)ending[i];
        double b = (double)lead_in[i];
        difference += (a - b) * (a - b);
        signal += (a * a + b * b) / 2.0;
    }
    if (difference == 0.0) return -HUGE_VAL;
    return 10.0 * std::log10(difference / signal);
}

}  // namespace tamsel::core
