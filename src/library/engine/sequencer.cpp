#include "engine/sequencer.h"

#include "engine/render_clock.h"

namespace tamsel::core {

static const int32_t PAN_TABLE[8] = {-1, 96, 180, 224, 256, 288, 332, 420};

int32_t pan_for_selector(uint32_t selector) {
    return selector < 8 ? PAN_TABLE[selector] : -1;
}

void sequencer_start(SequencerState* sequencer) {
    sequencer->position = -1;
    sequencer->last_step_ms = 0;
    sequencer->loops_done = 0;
    sequencer->force_step = true;
}

bool sequencer_step_due(const Song* song, const SequencerState* sequencer, uint32_t now) {
    if (sequencer->force_step) return true;
    // The sum wraps modulo 2^32 and is compared unsigned: a step needs the
    // clock to read strictly more than the last step plus the wait.
    uint32_t earliest = song->step_ms + sequencer->last_step_ms;
    return earliest < now;
}

void sequencer_take_step(const Song* song, SequencerState* sequencer, uint32_t now) {
    // The position wraps like a 32-bit register: a repeat start of 2^31 - 1
    // steps on to -2^31.
    sequencer->position = (int32_t)((uint32_t)sequencer->position + 1u);
    if (sequencer->position >= song->repeat_end || sequencer->position >= song->record_count) {
        sequencer->position = song->repeat_start;
        sequencer->loops_done = (int32_t)((uint32_t)sequencer->loops_done + 1u);
    }
    // The next step is timed from this one's reading; lateness is not
    // carried over.
    sequencer->force_step = false;
    sequencer->last_step_ms = now;
}

bool sequencer_can_step_again(const Song* song, const SequencerState* sequencer) {
    uint64_t earliest = (uint64_t)song->step_ms + sequencer->last_step_ms;
    return sequencer->force_step || earliest > UINT32_MAX || earliest < (uint64_t)CLOCK_MAX_READING;
}

uint64_t sequencer_steps_possible(const Song* song, const SequencerState* sequencer) {
    if (!sequencer_can_step_again(song, sequencer)) return 0;
    uint64_t earliest = (uint64_t)song->step_ms + sequencer->last_step_ms;
    if (sequencer->force_step || earliest > UINT32_MAX) return UINT64_MAX;
    // The first step at a reading of earliest + 1 or more, each later one
    // at least step time + 1 after the one before; such sums stay within 32
    // bits, since a step time of 2^31 - 1 or more is never passed from a
    // reading that did not wrap.
    return 1 + ((uint64_t)CLOCK_MAX_READING - 1 - earliest) / ((uint64_t)song->step_ms + 1);
}

// Steps from position until the next wrap: the position moves on by one,
// wrapping at 32 bits, and wraps to the repeat start once it reaches the
// end point.
static uint64_t steps_to_wrap(const Song* song, int32_t position) {
    int32_t end = song->repeat_end < song->record_count ? song->repeat_end : song->record_count;
    int32_t next = (int32_t)((uint32_t)position + 1u);
    if (next >= end) return 1;
    return 1 + (uint64_t)((int64_t)end - next);
}

bool sequencer_next_step_wraps(const Song* song, const SequencerState* sequencer) {
    return steps_to_wrap(song, sequencer->position) == 1;
}

uint64_t sequencer_steps_to_end(const Song* song, const SequencerState* sequencer, int32_t loop_limit) {
    if (sequencer->loops_done > loop_limit) return 0;
    // At most 2^31 more passes of at most 2^32 steps: within 64 bits.
    uint64_t passes_after_next = (uint64_t)((int64_t)loop_limit - sequencer->loops_done);
    return steps_to_wrap(song, sequencer->position) + passes_after_next * steps_to_wrap(song, song->repeat_start);
}

uint32_t song_record_word(const Song* song, int32_t position, int32_t track) {
    if (position < 0 || position >= song->loaded_records) return 0;
    return song->records[track][position];
}

static void apply_record(SoundTable* table, int32_t track, uint32_t word) {
    int32_t first = FIRST_TRACK_SLOT + NOTES_PER_TRACK * track;
    // The pan goes first so that notes of the same record start at it.
    int32_t pan = pan_for_selector(record_pan_selector(word));
    if (pan >= 0) {
        for (int32_t k = 0; k < NOTES_PER_TRACK; k++) sound_table_set_pan(table, first + k, pan);
    }
    uint32_t notes = record_notes(word);
    for (int32_t k = 0; k < NOTES_PER_TRACK; k++) {
        if (notes >> k & 1u) sound_table_restart(table, first + k);
    }
}

void sequencer_offer_step(const Song* song, SequencerState* sequencer, SoundTable* table, uint32_t now) {
    if (!sequencer_step_due(song, sequencer, now)) return;
    // Applying the records reads neither the step timing nor the clock, so
    // the timing can be restarted first.
    sequencer_take_step(song, sequencer, now);
    for (int32_t t = 0; t < TRACK_COUNT; t++) apply_record(table, t, song_record_word(song, sequencer->position, t));
}

}  // namespace tamsel::core
