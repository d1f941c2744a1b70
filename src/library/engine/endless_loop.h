// Endless play. An endless render is the render of ever more loops: it never
// reaches the loop limit, and its frames are those of every finite render
// up to that render's end. Left alone, though, no pass would ever repeat
// the one before it sample for sample (each restart of a note keeps the
// fraction of its play position), and after 2^31 ms the clock's reading
// would stop and the song fall silent. So from the first wrap at or after
// ENDLESS_ANCHOR_FRAME on (the anchor), each later wrap puts the render
// back into its exact state at the anchor's wrap: the clock, the sequencer
// and every voice. The pass from the anchor then repeats for ever, the
// clock stays within it, and a seek anywhere beyond costs at most one pass
// of skipping.
#pragma once

#include <cstdint>

#include "engine/render_clock.h"
#include "engine/sequencer.h"
#include "mixer/sound_table.h"

namespace tamsel::core {

struct Renderer;

// 2^29 frames, 3 h 6 min: past the frames a WAV file can hold, so endless
// and finite renders agree on every frame a file can hold.
constexpr uint64_t ENDLESS_ANCHOR_FRAME = (uint64_t)1 << 29;

// The render's state as the anchor's wrap step is about to be taken: the
// clock has moved over that frame, the step is due.
struct LoopAnchor {
    bool set;
    uint64_t frame;   // the anchor's frame
    uint64_t period;  // frames from one wrap to the next from there on; 0 until known
    RenderClock clock;
    SequencerState sequencer;
    SoundTable table;
};

// Called in an endless render before the step due at frame is taken: at a
// wrap, keeps the anchor the first time one falls at or after
// ENDLESS_ANCHOR_FRAME, and returns to it at every later one.
void endless_before_step(Renderer* renderer, uint64_t frame);

// Moves the renderer straight to the last return to the anchor at or
// before target, when that is ahead of it; false when there is none or the
// pass from the anchor is not known yet.
bool endless_jump(Renderer* renderer, uint64_t target);

// The returns to the anchor within the first frames frames.
uint64_t endless_returns(const LoopAnchor* anchor, uint64_t frames);

}  // namespace tamsel::core
