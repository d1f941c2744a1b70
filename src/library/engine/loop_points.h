// The loop of a song for a file or a buffer that loops: the intro once, then
// one pass of the repeat region, from the first wrap S to the second E. No
// two passes are alike sample for sample (each restart of a note keeps the
// fraction of its play position), so a plain cut at S and E jumps at the
// seam. Instead the last X frames of the pass fade into the frames that
// lead into S from the intro: a player jumping from E - 1 back to S then
// goes on as the song itself enters the loop.
#pragma once

#include <cstdint>

#include "engine/renderer.h"

namespace tamsel::core {

struct LoopPoints {
    uint64_t start;      // S: the first wrap
    uint64_t end;        // E: the second wrap, the frame after the loop's last
    uint32_t crossfade;  // X: frames E - X .. E - 1 are crossfaded
};

enum class LoopSearch { FOUND, TOO_LONG, NEVER_WRAPS };

// Finds S and E for the renderer's song and tick (its own loop count does
// not matter) and X: CROSSFADE_FRAMES, or less when the intro or the pass is
// shorter. TOO_LONG when E lies beyond limit, NEVER_WRAPS when the song
// never reaches a second wrap (or the pass is empty).
LoopSearch find_loop_points(const Renderer* renderer, uint64_t limit, LoopPoints* loop);

// Whether loop is exactly the one find_loop_points gives. Follows the song
// no further than loop's own E, so a made-up E far beyond the render costs
// no more than finding the real loop.
bool is_the_loop(const Renderer* renderer, const LoopPoints* loop);

// The crossfade of frame i (0 .. X - 1) of the tail: ending is the render's
// frame E - X + i, lead_in its frame S - X + i; per channel. Linear gains,
// the lead-in's rising as (i + 1) / X, rounded to the nearest integer, so
// the tail's last frame is exactly the lead-in's last, the render's S - 1.
void crossfade_frames(const int32_t* ending, const int32_t* lead_in, uint32_t first, uint32_t count, uint32_t crossfade,
                      int32_t* out);

// 10 log10 of the energy of (ending - lead_in) over the mean energy of the
// two, over count interleaved stereo frames: how alike the two crossfaded
// stretches are. -inf when they are equal (silence included).
double stretch_difference_db(const int32_t* ending, const int32_t* lead_in, uint32_t count);

}  // namespace tamsel::core
