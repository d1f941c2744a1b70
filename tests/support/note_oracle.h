// A note's samples written out one by one, as the instruments' rule states
// them: the oracle the note sources are held to.
#pragma once

#include <cstdint>

#include "mixer/sample_source.h"
#include "song/song_layout.h"

// Sample k of a note of length samples whose phase is the given value: the
// waveform at that phase, shaped by the envelope point k falls in.
inline int8_t note_sample(const int8_t* waveform, const uint8_t* envelope, int32_t phase, int32_t k, int32_t length) {
    return tamsel::core::shaped_sample(waveform, envelope[(int64_t)k * tamsel::core::ENVELOPE_SIZE / length], phase);
}
