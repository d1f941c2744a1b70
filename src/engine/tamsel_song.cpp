#include "engine/tamsel_song.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "mixer/byte_order.h"
#include "mixer/drum_kit.h"
#include "mixer/sound_objects.h"

TamselSong gTamsel;

static void decode_instrument(const uint8_t* bytes, TamselInstrument* instrument) {
    instrument->octave = bytes[0];
    std::memcpy(instrument->unused_1, bytes + 1, 3);
    instrument->length = (int32_t)read_u32_le(bytes + 4);
    instrument->volume = (int32_t)read_u32_le(bytes + 8);
    std::memcpy(instrument->unused_12, bytes + 12, 8);
    std::memcpy(instrument->waveform, bytes + 20, 256);
    std::memcpy(instrument->envelope, bytes + 276, 64);
}

void decode_song_header(const uint8_t* bytes, TamselSong* song) {
    std::memcpy(song->magic, bytes, 3);
    song->unused_3 = bytes[3];
    std::memcpy(song->unused_4, bytes + 4, 4);
    song->wait = read_u32_le(bytes + 8);
    song->repeat_start = (int32_t)read_u32_le(bytes + 12);
    song->repeat_end = (int32_t)read_u32_le(bytes + 16);
    song->record_count = (int32_t)read_u32_le(bytes + 20);
    for (int32_t i = 0; i < MELODIC_TRACK_COUNT; i++) {
        decode_instrument(bytes + 24 + TSM_INSTRUMENT_SIZE * (uint32_t)i, &song->instrument[i]);
    }
    song->drum_volume = read_u32_le(bytes + 1044);
}

int32_t loaded_record_count(const TamselSong* song) {
    if (song->record_count < 0) return 0;
    return song->record_count > TRACK_CAPACITY ? TRACK_CAPACITY : song->record_count;
}

static void free_track_arrays() {
    for (int32_t t = 0; t < TRACK_COUNT; t++) {
        std::free(gTamsel.track_records[t]);
        gTamsel.track_records[t] = nullptr;
    }
}

uint8_t InitTamsel() {
    // Only the first drum decides whether the engine can start; a later drum
    // that cannot be created just stays silent.
    if (InitSoundObject(drum_slot_image(0), DRUM_FIRST_SLOT) != 1) return 0;
    gTamsel.ready = 1;
    for (int32_t k = 1; k < DRUM_SLOT_COUNT; k++) InitSoundObject(drum_slot_image(k), DRUM_FIRST_SLOT + k);

    free_track_arrays();
    for (int32_t t = 0; t < TRACK_COUNT; t++) {
        gTamsel.track_records[t] = (uint32_t*)std::calloc(TRACK_CAPACITY, sizeof(uint32_t));
        if (!gTamsel.track_records[t]) {
            free_track_arrays();
            return 0;
        }
    }
    return 1;
}

// Reads up to size bytes; whatever the file does not hold reads as 0.
static void read_or_zero(std::FILE* file, uint8_t* bytes, size_t size) {
    size_t got = std::fread(bytes, 1, size, file);
    std::memset(bytes + got, 0, size - got);
}

// Tracks lie where the file's own record count puts them, even when only
// the first TRACK_CAPACITY records of each are kept.
static void read_tracks(std::FILE* file) {
    int64_t stored = gTamsel.record_count;
    int32_t loaded = loaded_record_count(&gTamsel);
    uint8_t words[TRACK_CAPACITY * 4];
    for (int32_t t = 0; t < TRACK_COUNT; t++) {
        int64_t offset = (int64_t)TSM_HEADER_SIZE + 4 * (int64_t)t * stored;
        if (std::fseek(file, (long)offset, SEEK_SET) != 0) std::memset(words, 0, sizeof words);
        else read_or_zero(file, words, (size_t)loaded * 4);
        for (int32_t r = 0; r < loaded; r++) gTamsel.track_records[t][r] = read_u32_le(words + 4 * r);
    }
}

uint8_t ReadTamsel(const char* path) {
    if (!gTamsel.ready) return 0;
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return 0;

    uint8_t header[TSM_HEADER_SIZE];
    read_or_zero(file, header, sizeof header);
    decode_song_header(header, &gTamsel);
    if (std::memcmp(gTamsel.magic, "TSM", 3) != 0) {
        std::fclose(file);
        return 0;
    }
    // Without arrays there is nowhere to load the records to.
    for (int32_t t = 0; t < TRACK_COUNT; t++) {
        if (!gTamsel.track_records[t]) {
            std::fclose(file);
            return 0;
        }
    }
    read_tracks(file);
    std::fclose(file);
    gTamsel.position = -1;
    return 1;
}

void EndTamsel() {
    free_track_arrays();
}
