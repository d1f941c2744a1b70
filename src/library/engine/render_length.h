// The length of a render, found before any audio is made. The clock and the
// sequencer never depend on audio, so running them alone gives exactly the
// number of frames the render will hold.
#pragma once

#include <cstdint>

#include "engine/renderer.h"

namespace tamsel::core {

// Called with the frame of each wrap to the repeat start that the render
// plays through (its loop points), in order.
typedef void (*WrapVisitor)(void* context, uint64_t frame);

// What a measurement found: the length (stored in *frames), a render that
// goes past the limit, or one that never ends (endless, or known never to
// reach its end: the clock stops ticking or the steps still needed no
// longer fit below the clock's highest reading; found as soon as it is so,
// before the limit).
enum class RenderLength { MEASURED, TOO_LONG, NEVER_ENDS };

// Follows the song from the renderer's start (after the forced first step)
// without changing the renderer. *frames is written only when MEASURED.
// Each wrap before the end goes to visit, when given.
RenderLength measure_render_length(const Renderer* renderer, uint64_t limit, uint64_t* frames, WrapVisitor visit,
                                   void* context);
// The same for the render of the renderer's song and tick with loop_limit
// extra passes, whatever loop count the renderer itself has (an endless
// one included): every render's frames agree up to the shorter one's end.
RenderLength measure_render_length_with_loops(const Renderer* renderer, int32_t loop_limit, uint64_t limit,
                                              uint64_t* frames, WrapVisitor visit, void* context);

}  // namespace tamsel::core
