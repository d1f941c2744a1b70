// The three melodic instruments of a song: 24 notes each, two octaves of
// semitones, made on demand from the song's waveform and envelope.
#pragma once

#include <cstdint>

namespace tamsel::core {

struct Song;

// Phase increments of the twelve semitones of the lower octave at octave
// multiplier 16, in 1/256 of a waveform point per sample.
extern const int32_t SEMITONE_INCREMENTS[12];

// Longest note an instrument may ask for, in samples. Longer notes are
// refused (the instrument stays silent): the envelope index k x 64 / length
// must stay in range.
constexpr int32_t MAX_NOTE_LENGTH = 33554432;

// The phase increment of note j (0..23) at an octave multiplier.
int32_t note_increment(int32_t note, int32_t multiplier);

// Fills song->notes from the instruments: a note of length 2 .. 2^25 plays
// the instrument's waveform at its increment; any other length leaves the
// instrument's 24 notes empty (size 0), and so silent.
void make_note_sources(Song* song);

}  // namespace tamsel::core
