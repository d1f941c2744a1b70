// The sequencer step: advances the song by at most one record and applies
// that record's pans and note starts to the sound table.
#pragma once

#include <cstdint>

#include "mixer/sound_table.h"
#include "song/song.h"

namespace tamsel::core {

// Track t's note k sounds in slot FIRST_TRACK_SLOT + NOTES_PER_TRACK x t + k;
// the drum track's slots are the drum kit's.
constexpr int32_t FIRST_TRACK_SLOT = 400;
static_assert(FIRST_TRACK_SLOT + NOTES_PER_TRACK * DRUM_TRACK == DRUM_FIRST_SLOT);

struct SequencerState {
    int32_t position;       // current record, -1 before the first step
    uint32_t last_step_ms;  // clock reading at the last step
    int32_t loops_done;     // wraps to the repeat start so far
    bool force_step;        // the next offer steps whatever the time
};

// A sequencer before its first step, which is forced.
void sequencer_start(SequencerState* sequencer);

// Whether a step is due at clock reading now (or is forced).
bool sequencer_step_due(const Song* song, const SequencerState* sequencer, uint32_t now);
// Takes a step at clock reading now: moves to the next record, wrapping at
// the end point and counting the wrap, and restarts the step timing. The
// timing and position half of a step, shared with the render-length
// measurement, which must follow the song exactly without touching a voice.
void sequencer_take_step(const Song* song, SequencerState* sequencer, uint32_t now);
// Offers a step at clock reading now; when one is due, takes it and applies
// the new position's records to the table.
void sequencer_offer_step(const Song* song, SequencerState* sequencer, SoundTable* table, uint32_t now);

// Whether the next step wraps to the repeat start.
bool sequencer_next_step_wraps(const Song* song, const SequencerState* sequencer);
// Whether any reading the clock can still show would allow a step.
bool sequencer_can_step_again(const Song* song, const SequencerState* sequencer);
// The most steps the sequencer can still take, whatever the tick: each
// needs a reading above the last step's plus the step time, and the clock
// stops at CLOCK_MAX_READING. UINT64_MAX when the step is forced or that sum
// wraps past 2^32 (then any reading passes it).
uint64_t sequencer_steps_possible(const Song* song, const SequencerState* sequencer);
// The steps from where the sequencer stands until it has wrapped more than
// loop_limit times, the last of them that wrap; 0 when it already has.
uint64_t sequencer_steps_to_end(const Song* song, const SequencerState* sequencer, int32_t loop_limit);

// The record word of track t at a position; 0 for any position outside the
// loaded records.
uint32_t song_record_word(const Song* song, int32_t position, int32_t track);
// The pan a selector stands for, or -1 when it leaves the pan unchanged.
int32_t pan_for_selector(uint32_t selector);

}  // namespace tamsel::core
