#include "engine/render_length.h"

#include "engine/clock_jump.h"

namespace tamsel::core {

// Whether the render can still end: the steps it needs must fit in what the
// clock's readings leave room for, and the clock must tick again. A render
// that fails this never ends, however far it is followed.
static bool can_still_end(const Song* song, const RenderClock* clock, const SequencerState* sequencer,
                          int32_t loop_limit) {
    return clock_ticks_again(clock) &&
           sequencer_steps_to_end(song, sequencer, loop_limit) <= sequencer_steps_possible(song, sequencer);
}

RenderLength measure_render_length(const Renderer* renderer, uint64_t limit, uint64_t* frames, WrapVisitor visit,
                                   void* context) {
    if (renderer->endless) return RenderLength::NEVER_ENDS;
    return measure_render_length_with_loops(renderer, renderer->loop_limit, limit, frames, visit, context);
}

RenderLength measure_render_length_with_loops(const Renderer* renderer, int32_t loop_limit, uint64_t limit,
                                              uint64_t* frames, WrapVisitor visit, void* context) {
    const Song* song = renderer->song;
    RenderClock clock = renderer->start_clock;
    SequencerState sequencer = renderer->start_sequencer;

    // A song whose first record already wraps has wrapped before frame 0.
    if (visit) {
        for (int32_t w = 0; w < sequencer.loops_done && w < loop_limit; w++) visit(context, 0);
    }
    // Frame by frame only at ticks; the frames between them change nothing
    // but the clock, and the loop count can only pass the limit at a tick.
    uint64_t frame = 0;
    while (true) {
        if (advance_clock(&clock)) {
            uint32_t now = (uint32_t)clock_whole_ms(&clock);
            if (sequencer_step_due(song, &sequencer, now)) {
                int32_t before = sequencer.loops_done;
                sequencer_take_step(song, &sequencer, now);
                if (visit && sequencer.loops_done != before && sequencer.loops_done <= loop_limit) {
                    visit(context, frame);
                }
            }
        }
        if (sequencer.loops_done > loop_limit) {
            *frames = frame;
            return RenderLength::MEASURED;
        }
        if (!can_still_end(song, &clock, &sequencer, loop_limit)) return RenderLength::NEVER_ENDS;
        uint64_t room = limit - frame;
        uint64_t skipped = advance_clock_to_tick(&clock, room);
        // The next tick would fall past the limit.
        if (skipped == room) return RenderLength::TOO_LONG;
        frame += 1 + skipped;
    }
}

}  // namespace tamsel::core
