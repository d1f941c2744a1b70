// Builds the three melodic instruments of the loaded song: 24 note samples
// each, synthesised once from the song's waveform and envelope.
#pragma once

#include <cstdint>

// Phase increments of the twelve semitones of the lower octave at octave
// multiplier 16, in 1/256 of a waveform point per sample.
extern const int32_t freq_tbl[12];

// Longest note an instrument may ask for, in samples. Longer notes are
// refused: the envelope index k x 64 / length must stay in range, and a
// hostile file must not ask for unbounded memory.
constexpr int32_t MAX_NOTE_LENGTH = 33554432;

// Synthesises every instrument into slots 400..471 and sets the volumes of
// all melodic and drum slots.
void MakeTamselSoundObjects();

// Renders one instrument's 24 notes into slots first .. first + 23. 0 when a
// voice or the scratch buffer cannot be had; the notes made so far stay.
uint8_t MakeTamselSoundObject(const int8_t* waveform, const uint8_t* envelope, int32_t multiplier,
                              int32_t length, int32_t first);

// The phase increment of note j (0..23) at an octave multiplier.
int32_t note_increment(int32_t note, int32_t multiplier);
// Sample k of a note whose phase is the given value.
int8_t note_sample(const int8_t* waveform, const uint8_t* envelope, int32_t phase, int32_t k, int32_t length);
