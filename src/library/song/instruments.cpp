#include "song/instruments.h"

#include <cstring>

#include "mixer/sample_source.h"
#include "song/song.h"

namespace tamsel::core {

const int32_t SEMITONE_INCREMENTS[12] = {1551, 1652, 1747, 1848, 1955, 2074, 2205, 2324, 2461, 2616, 2770, 2938};

int32_t note_increment(int32_t note, int32_t multiplier) {
    // The product wraps at 32 bits for high octaves; the division truncates
    // towards zero. The upper octave divides by 8 instead of 16.
    int32_t product = (int32_t)((uint32_t)SEMITONE_INCREMENTS[note % 12] * (uint32_t)multiplier);
    return note < 12 ? product / 16 : product / 8;
}

void make_note_sources(Song* song) {
    for (int32_t i = 0; i < MELODIC_TRACK_COUNT; i++) {
        const Instrument* instrument = &song->instruments[i];
        bool playable = instrument->length >= 2 && instrument->length <= MAX_NOTE_LENGTH;
        int32_t multiplier = (int32_t)(1u << (instrument->octave % 32));
        for (int32_t j = 0; j < NOTES_PER_TRACK; j++) {
            SampleSource* note = &song->notes[i][j];
            std::memset(note, 0, sizeof *note);
            if (!playable) continue;
            note->size = (uint64_t)instrument->length;
            note->waveform = instrument->waveform;
            note->envelope = instrument->envelope;
            note->increment = (uint32_t)note_increment(j, multiplier);
        }
    }
}

}  // namespace tamsel::core
