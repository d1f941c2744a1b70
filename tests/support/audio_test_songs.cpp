#include "audio_test_support.h"

#include <gtest/gtest.h>

#include "test_support.h"

tamsel::Song example_song(const char* name) {
    tamsel::Song song;
    std::string path = std::string(TAMSEL_SOURCE_DIR) + "/examples/" + name;
    EXPECT_EQ(song.load_file(path), TAMSEL_OK) << path;
    return song;
}

static tamsel::Song song_of(const SongFile& file) {
    tamsel::Song song;
    EXPECT_EQ(song.load_memory(file.bytes.data(), file.bytes.size()), TAMSEL_OK);
    return song;
}

tamsel::Song silent_song() {
    return song_of(make_song(99, 0, 20, 20));
}

tamsel::Song loud_song() {
    SongFile file = make_song(99, 0, 32, 32);
    int8_t square[256];
    for (int32_t i = 0; i < 256; i++) square[i] = i < 128 ? 127 : -128;
    uint8_t envelope[64];
    for (int32_t i = 0; i < 64; i++) envelope[i] = 128;
    for (int32_t i = 0; i < 3; i++) set_instrument(&file, i, 3, 20000, 300, square, envelope);
    set_u32(&file, 1044, 300);
    // Twelve notes at once on each melodic track, and every drum.
    for (int32_t r = 0; r < 32; r += 8) {
        for (int32_t t = 0; t < 3; t++) set_record(&file, t, r, 0x00000FFFu);
        set_record(&file, 3, r, 0x00FFFFFFu);
    }
    return song_of(file);
}

