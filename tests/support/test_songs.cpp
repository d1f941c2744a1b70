#include "test_songs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "test_folder.h"

std::vector<uint8_t> song_bytes(uint32_t wait, int32_t repeat_start, int32_t repeat_end, int32_t records) {
    SongFile song = make_song(wait, repeat_start, repeat_end, records);
    for (int32_t r = 0; r < records; r++) set_record(&song, 0, r, 1u << (r % 24));
    return song.bytes;
}

std::vector<uint8_t> sounding_song(uint32_t seed, int32_t records) {
    SongFile song = make_song(100, 0, records, records);
    int8_t waveform[256];
    uint8_t envelope[64];
    for (int32_t i = 0; i < 256; i++) waveform[i] = (int8_t)(100.0 * std::sin(i * 2.0 * 3.14159265358979 / 256.0));
    for (int32_t i = 0; i < 64; i++) envelope[i] = (uint8_t)(128 - 2 * i);
    set_instrument(&song, 0, 3, 8000, 300, waveform, envelope);
    for (int32_t r = 0; r < records; r++) {
        set_record(&song, 0, r, 1u << ((seed + (uint32_t)r * 5u) % 24u));
        if (r % 2 == 0) set_record(&song, 3, r, 1u << ((seed + (uint32_t)r) % 6u));
    }
    return song.bytes;
}

namespace {

struct Random {
    uint32_t state;
    uint32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    uint32_t below(uint32_t n) { return next() % n; }
};

const double GENERATED_TIMERS[] = {20.0, 0.0, 16.666666666666668, 16.6, 10.5, 3.3};

void random_instrument(Random* rng, SongFile* song, int32_t i) {
    int8_t waveform[256];
    uint8_t envelope[64];
    for (int8_t& w : waveform) w = (int8_t)(uint8_t)rng->next();
    // Mostly gentle envelopes, sometimes above 128 where samples wrap.
    uint32_t ceiling = rng->below(4) == 0 ? 256 : 129;
    for (uint8_t& e : envelope) e = (uint8_t)rng->below(ceiling);
    // Short notes end inside a segment; some are only a few samples long.
    const int32_t lengths[] = {2, 3, 5, 64, 700, 2500, 9000};
    set_instrument(song, i, (uint8_t)rng->below(9), lengths[rng->below(7)], 150 + (int32_t)rng->below(200), waveform,
                   envelope);
}

}  // namespace

GeneratedSong generated_song(uint32_t seed) {
    Random rng{seed * 2654435761u + 1};
    int32_t records = 4 + (int32_t)rng.below(40);
    int32_t repeat_start = (int32_t)rng.below((uint32_t)records);
    GeneratedSong song{make_song(rng.below(160), repeat_start, records, records), (int32_t)rng.below(3),
                       GENERATED_TIMERS[rng.below(6)]};
    for (int32_t i = 0; i < 3; i++) random_instrument(&rng, &song.file, i);
    set_drum_volume(&song.file, 200 + rng.below(150));
    uint32_t density = 1 + rng.below(12);
    for (int32_t r = 0; r < records; r++) {
        for (int32_t t = 0; t < 4; t++) {
            uint32_t word = 0;
            for (int32_t k = 0; k < 24; k++) {
                if (rng.below(24) < density) word |= 1u << k;
            }
            // Pan changes glide on voices that already sound; 8 and up are
            // ignored.
            if (rng.below(3) == 0) word |= rng.below(10) << 24;
            set_record(&song.file, t, r, word);
        }
    }
    return song;
}

tamsel::Song loaded_song(const std::vector<uint8_t>& bytes) {
    tamsel::Song song;
    EXPECT_EQ(song.load_memory(bytes.data(), bytes.size()), TAMSEL_OK);
    return song;
}

tamsel::Song example_song(const char* name) {
    tamsel::Song song;
    std::string path = std::string(TAMSEL_SOURCE_DIR) + "/examples/" + name;
    EXPECT_EQ(song.load_file(path), TAMSEL_OK) << path;
    return song;
}

std::vector<uint8_t> example_bytes(const char* name) {
    return read_file(std::string(TAMSEL_SOURCE_DIR) + "/examples/" + name);
}

tamsel::Song silent_song() {
    return loaded_song(make_song(99, 0, 20, 20).bytes);
}

tamsel::Song loud_song() {
    SongFile file = make_song(99, 0, 32, 32);
    int8_t square[256];
    for (int32_t i = 0; i < 256; i++) square[i] = i < 128 ? 127 : -128;
    uint8_t envelope[64];
    for (int32_t i = 0; i < 64; i++) envelope[i] = 128;
    for (int32_t i = 0; i < 3; i++) set_instrument(&file, i, 3, 20000, 300, square, envelope);
    // Twelve notes at once on each melodic track, and every drum.
    for (int32_t r = 0; r < 32; r += 8) {
        for (int32_t t = 0; t < 3; t++) set_record(&file, t, r, 0x00000FFFu);
        set_record(&file, 3, r, 0x00FFFFFFu);
    }
    return loaded_song(file.bytes);
}
