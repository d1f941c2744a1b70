#include "engine/sequencer.h"

#include "engine/render_clock.h"
#include "mixer/sound_objects.h"

static const int32_t pan_table[8] = {-1, 96, 180, 224, 256, 288, 332, 420};

int32_t tamsel_pan_for_selector(uint32_t selector) {
    return selector < 8 ? pan_table[selector] : -1;
}

uint8_t tamsel_step_due(const TamselSong* song, uint32_t now) {
    if (song->force_step) return 1;
    // The sum wraps modulo 2^32 and is compared unsigned: a step needs the
    // clock to read strictly more than the last step plus the wait.
    uint32_t earliest = song->wait + song->last_step_ms;
    return earliest < now ? 1 : 0;
}

void tamsel_take_step(TamselSong* song, uint32_t now) {
    // The position wraps like a 32-bit register: a repeat start of 2^31 - 1
    // steps on to -2^31.
    song->position = (int32_t)((uint32_t)song->position + 1u);
    if (song->position >= song->repeat_end || song->position >= song->record_count) {
        song->position = song->repeat_start;
        song->loops_done = (int32_t)((uint32_t)song->loops_done + 1u);
    }
    // The next step is timed from this one's reading; lateness is not
    // carried over.
    song->force_step = 0;
    song->last_step_ms = now;
}

uint32_t tamsel_record_word(const TamselSong* song, int32_t track) {
    const uint32_t* records = song->track_records[track];
    if (!records || song->position < 0 || song->position >= loaded_record_count(song)) return 0;
    return records[song->position];
}

static void apply_record(int32_t track, uint32_t word) {
    int32_t first = FIRST_TRACK_SLOT + SLOTS_PER_TRACK * track;
    // The pan goes first so that notes of the same record start at it.
    int32_t pan = tamsel_pan_for_selector(word >> 24);
    if (pan >= 0) {
        for (int32_t k = 0; k < SLOTS_PER_TRACK; k++) ChangeSoundPan(first + k, pan);
    }
    for (int32_t k = 0; k < SLOTS_PER_TRACK; k++) {
        if (word >> k & 1u) PlaySoundObject(first + k, 1);
    }
}

bool tamsel_step_is_due() {
    return gTamsel.ready && gTamsel.playing && tamsel_step_due(&gTamsel, (uint32_t)samplemsget());
}

void TamselProc() {
    if (!tamsel_step_is_due()) return;
    // Applying the records reads neither the step timing nor the clock, so
    // the timing can be restarted first.
    tamsel_take_step(&gTamsel, (uint32_t)samplemsget());
    for (int32_t t = 0; t < TRACK_COUNT; t++) apply_record(t, tamsel_record_word(&gTamsel, t));
}
