#include "engine/instruments.h"

#include <cstdlib>
#include <cstring>

#include "engine/sequencer.h"
#include "engine/tamsel_song.h"
#include "mixer/drum_kit.h"
#include "mixer/sound_objects.h"

const int32_t freq_tbl[12] = {1551, 1652, 1747, 1848, 1955, 2074, 2205, 2324, 2461, 2616, 2770, 2938};

int32_t note_increment(int32_t note, int32_t multiplier) {
    // The product wraps at 32 bits for high octaves; the division truncates
    // towards zero. The upper octave divides by 8 instead of 16.
    int32_t product = (int32_t)((uint32_t)freq_tbl[note % 12] * (uint32_t)multiplier);
    return note < 12 ? product / 16 : product / 8;
}

// One sample: the waveform point under the phase times the envelope value.
// Envelope values above 128 can push the quotient out of the signed byte
// range; it wraps rather than saturates.
static int8_t shaped_sample(const int8_t* waveform, int32_t e, int32_t phase) {
    uint32_t point = (uint32_t)(phase / 256) & 0xFFu;
    return (int8_t)(uint8_t)(uint32_t)((waveform[point] * e) / 128);
}

int8_t note_sample(const int8_t* waveform, const uint8_t* envelope, int32_t phase, int32_t k, int32_t length) {
    return shaped_sample(waveform, envelope[(int64_t)k * 64 / length], phase);
}

// Envelope point m covers the samples k with m <= 64 k / length < m + 1, so
// walking the 64 stretches gives every sample its point without a division.
static void render_note(int8_t* out, const int8_t* waveform, const uint8_t* envelope, int32_t increment,
                        int32_t length) {
    uint32_t phase = 0;
    int32_t k = 0;
    for (int32_t m = 0; m < 64; m++) {
        int32_t end = (int32_t)(((int64_t)(m + 1) * length + 63) / 64);
        for (; k < end; k++) {
            out[k] = shaped_sample(waveform, envelope[m], (int32_t)phase);
            phase += (uint32_t)increment;  // wraps at 32 bits
        }
    }
}

uint8_t MakeTamselSoundObject(const int8_t* waveform, const uint8_t* envelope, int32_t multiplier,
                              int32_t length, int32_t first) {
    if (length > MAX_NOTE_LENGTH) return 0;
    for (int32_t i = 0; i < SLOTS_PER_TRACK; i++) {
        if (first + i < 0 || first + i >= SOUND_OBJECT_COUNT) return 0;
        ReleaseSoundObject(first + i);
        // A negative length widens to a huge count, which no voice accepts.
        lpSECONDARYBUFFER[first + i] = tamsel_sound_create(MIXER_OUTPUT_RATE, (uint64_t)(int64_t)length);
        if (!lpSECONDARYBUFFER[first + i]) return 0;
    }
    int8_t* scratch = (int8_t*)std::malloc((size_t)length);
    if (!scratch) return 0;
    for (int32_t j = 0; j < SLOTS_PER_TRACK; j++) {
        render_note(scratch, waveform, envelope, note_increment(j, multiplier), length);
        std::memcpy(lpSECONDARYBUFFER[first + j]->data, scratch, (size_t)length);
    }
    std::free(scratch);
    return 1;
}

void MakeTamselSoundObjects() {
    if (!gTamsel.ready) return;
    for (int32_t i = 0; i < MELODIC_TRACK_COUNT; i++) {
        const TamselInstrument* instrument = &gTamsel.instrument[i];
        int32_t first = FIRST_TRACK_SLOT + SLOTS_PER_TRACK * i;
        int32_t multiplier = (int32_t)(1u << (instrument->octave % 32));
        for (int32_t k = 0; k < SLOTS_PER_TRACK; k++) ReleaseSoundObject(first + k);
        MakeTamselSoundObject(instrument->waveform, instrument->envelope, multiplier, instrument->length, first);
        for (int32_t k = 0; k < SLOTS_PER_TRACK; k++) ChangeSoundVolume(first + k, instrument->volume);
    }
    // Each odd drum slot is a softer variant of the even one before it; the
    // product wraps at 32 bits like the rest of the volume arithmetic.
    uint32_t soft = gTamsel.drum_volume * 70u / 100u;
    for (int32_t k = 0; k < DRUM_SLOT_COUNT; k += 2) {
        ChangeSoundVolume(DRUM_FIRST_SLOT + k, (int32_t)gTamsel.drum_volume);
        ChangeSoundVolume(DRUM_FIRST_SLOT + k + 1, (int32_t)soft);
    }
}
