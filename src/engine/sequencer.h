// The sequencer step: advances the song by at most one record and applies
// that record's pans and note starts to the sound objects.
#pragma once

#include <cstdint>

#include "engine/tamsel_song.h"

constexpr int32_t FIRST_TRACK_SLOT = 400;
constexpr int32_t SLOTS_PER_TRACK = 24;

// Performs at most one step of gTamsel, reading the render clock.
void TamselProc();
// True when TamselProc would step now; otherwise it would do nothing.
bool tamsel_step_is_due();

// The timing and position half of a step, shared with the render-length
// measurement, which must follow the song exactly without touching a voice.
// 1 when a step is due at clock reading now (or is forced).
uint8_t tamsel_step_due(const TamselSong* song, uint32_t now);
// Takes a step at clock reading now: moves to the next record, wrapping at
// the end point and counting the wrap, and restarts the step timing.
void tamsel_take_step(TamselSong* song, uint32_t now);
// The record word of track t at the current position; 0 for any position
// outside the loaded records.
uint32_t tamsel_record_word(const TamselSong* song, int32_t track);
// The pan a selector stands for, or -1 when it leaves the pan unchanged.
int32_t tamsel_pan_for_selector(uint32_t selector);
