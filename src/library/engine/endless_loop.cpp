#include "engine/endless_loop.h"

#include "engine/renderer.h"

namespace tamsel::core {

static void return_to_anchor(Renderer* renderer) {
    const LoopAnchor* anchor = &renderer->anchor;
    renderer->clock = anchor->clock;
    renderer->sequencer = anchor->sequencer;
    renderer->table = anchor->table;
}

void endless_before_step(Renderer* renderer, uint64_t frame) {
    if (!sequencer_next_step_wraps(renderer->song, &renderer->sequencer)) return;
    LoopAnchor* anchor = &renderer->anchor;
    if (!anchor->set) {
        if (frame < ENDLESS_ANCHOR_FRAME) return;
        anchor->set = true;
        anchor->frame = frame;
        anchor->clock = renderer->clock;
        anchor->sequencer = renderer->sequencer;
        anchor->table = renderer->table;
        return;
    }
    // A render started again plays up to the anchor as it did the first time.
    if (frame <= anchor->frame) return;
    if (anchor->period == 0) anchor->period = frame - anchor->frame;
    return_to_anchor(renderer);
}

bool endless_jump(Renderer* renderer, uint64_t target) {
    const LoopAnchor* anchor = &renderer->anchor;
    if (!anchor->set || anchor->period == 0 || target < anchor->frame + anchor->period) return false;
    uint64_t landing = target - (target - anchor->frame) % anchor->period;
    if (landing <= renderer->frames_done) return false;
    return_to_anchor(renderer);
    renderer->step_pending = true;
    renderer->ended = false;
    renderer->frames_done = landing;
    return true;
}

uint64_t endless_returns(const LoopAnchor* anchor, uint64_t frames) {
    // The return at anchor frame + k x period is made in that frame.
    if (!anchor->set || anchor->period == 0 || frames <= anchor->frame) return 0;
    return (frames - 1 - anchor->frame) / anchor->period;
}

}  // namespace tamsel::core
