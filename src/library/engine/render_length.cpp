#include "engine/render_length.h"

#include "engine/clock_jump.h"

namespace tamsel::core {

bool measure_render_length(const Renderer* renderer, uint64_t limit, uint64_t* frames, WrapVisitor visit,
                           void* context) {
    const Song* song = renderer->song;
    RenderClock clock = renderer->start_clock;
    SequencerState sequencer = renderer->start_sequencer;
    int32_t loop_limit = renderer->loop_limit;

    // A song whose first record already wraps has wrapped before frame 0.
    if (visit) {
        for (int32_t w = 0; w < sequencer.loops_done && w < loop_limit; w++) visit(context, 0);
    }
    // Frame by frame only at ticks; the frames between them change nothing
    // but the clock, and the loop count can only pass the limit at a tick.
    for (uint64_t frame = 0; frame <= limit;) {
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
            return true;
        }
        frame += 1 + advance_clock_to_tick(&clock, limit - frame);
    }
    return false;
}

}  // namespace tamsel::core
