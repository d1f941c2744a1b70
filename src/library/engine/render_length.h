// The length of a render, found before any audio is made. The clock and the
// sequencer never depend on audio, so running them alone gives exactly the
// number of frames the render will hold.
#pragma once

#include <cstdint>

#include "engine/renderer.h"

namespace tamsel::core {

// Most frames a float WAV file can describe: its RIFF size field must hold
// 8 x frames + 36 within 32 bits.
constexpr uint64_t WAV_MAX_FRAMES = 536870907;

// Called with the frame of each wrap to the repeat start that the render
// plays through (its loop points), in order.
typedef void (*WrapVisitor)(void* context, uint64_t frame);

// Follows the song from the renderer's start (after the forced first step)
// without changing the renderer. Stores the number of frames the render
// holds in *frames and returns true, or returns false when the render would
// exceed limit frames or never ends: that is known, whatever the limit, as
// soon as the clock stops ticking or the steps still needed no longer fit
// below the clock's highest reading. Each wrap before the end goes to
// visit, when given.
bool measure_render_length(const Renderer* renderer, uint64_t limit, uint64_t* frames, WrapVisitor visit,
                           void* context);
// The same for the render of the renderer's song and tick with loop_limit
// extra passes, whatever loop count the renderer itself has (an endless
// one included): every render's frames agree up to the shorter one's end.
bool measure_render_length_with_loops(const Renderer* renderer, int32_t loop_limit, uint64_t limit, uint64_t* frames,
                                      WrapVisitor visit, void* context);

}  // namespace tamsel::core
