// The length of a render, found before any audio is made. The clock and the
// sequencer never depend on audio, so running them alone gives exactly the
// number of frames the render will hold.
#pragma once

#include <cstdint>

// Most frames a float WAV file can describe: its RIFF size field must hold
// 8 x frames + 36 within 32 bits.
constexpr uint64_t WAV_MAX_FRAMES = 536870907;

// Follows the song from the current state of gTamsel and the render clock
// (after the forced first step) without changing either. Stores the number
// of frames the render will hold in *frames and returns 1, or returns 0 when
// the render would exceed limit frames (including a song that never ends).
uint8_t measure_render_length(uint64_t limit, uint64_t* frames);
