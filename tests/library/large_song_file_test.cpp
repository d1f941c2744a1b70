// A song file may be larger than 2 GiB (a record count near 2^29 puts track
// 1 past that): its tracks are read at their true offsets on every system,
// even where a long, the offset type of fseek, has 32 bits (Windows).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "song_builder.h"
#include "tamsel/tamsel.h"
#include "test_folder.h"

using namespace tamsel::core;

TEST(LargeSongFile, TracksPast2GiBAreReadWhereTheyLie) {
    const uint32_t records = 0x20000000u;  // track 1 starts at 1048 + 2^31
    SongFile header = make_song(100, 0, 8, 0);
    set_record_count(&header, records);
    const uint64_t track_1 = tamsel::core::record_at(1, records, 0);
    TestFolder folder;
    std::string path = folder.write("large.tsm", header.bytes);
    {
        // A sparse file: only the header and one record of track 1 hold data.
        std::fstream file(std::filesystem::path(path), std::ios::binary | std::ios::in | std::ios::out);
        file.seekp((std::streamoff)track_1);
        const char note[4] = {1, 0, 0, 0};  // record 0 of track 1: a note
        file.write(note, 4);
        ASSERT_TRUE(file.good());
    }
    ASSERT_EQ(std::filesystem::file_size(path), track_1 + 4);

    tamsel_song* song = nullptr;
    ASSERT_EQ(tamsel_song_load_file(path.c_str(), &song), TAMSEL_OK);
    EXPECT_EQ(tamsel_song_tracks_with_notes(song), 0x2u);
    tamsel_song_free(song);
}
