// The samples a voice plays: stored bytes (a drum image) or a note made on
// demand from an instrument's waveform and envelope. A note's sample k is a
// pure function of k, so notes are never stored: voices ask for the few
// samples they are about to read, and loading a song costs nothing that
// grows with its note lengths.
#pragma once

#include <cstdint>

namespace tamsel::core {

struct SampleSource {
    uint64_t size;  // samples; a voice needs at least 2
    // Stored samples, or null for a synthesised note.
    const uint8_t* stored;
    // XORed into each stored byte: 0x80 turns unsigned image samples (silence
    // at 128) into the voice's signed ones; 0 keeps signed bytes as they are.
    uint8_t stored_flip;
    // A synthesised note: sample k reads the waveform point under the phase
    // k x increment (wrapping at 32 bits) and scales it by envelope point
    // 64 k / size.
    const int8_t* waveform;   // 256 points
    const uint8_t* envelope;  // 64 points, 128 is full level
    uint32_t increment;
};

// Sample k (k < size).
int8_t source_sample(const SampleSource* source, uint64_t k);

// Samples first .. first + count - 1 (all below size) into out.
void source_fill(const SampleSource* source, uint64_t first, uint32_t count, int8_t* out);

// One sample of a note: the waveform point under phase times the envelope
// value e, over 128.
int8_t shaped_sample(const int8_t* waveform, int32_t e, int32_t phase);

}  // namespace tamsel::core
