// How an export's files are named after the song, the same for the tool and
// the page: what sets the four stems apart, and the title a file is tagged
// with when none is given.
#pragma once

#include <cstdint>
#include <string>

// What a stem's name adds before the extension: ".track1", ".track2",
// ".track3", ".drums" for tracks 0..3 (NAME.track1.flac).
const char* stem_suffix(int32_t track);

// The tracks a stem leaves out: every track but its own.
uint32_t stem_muted_tracks(int32_t track);

// The song file's name without its folder and extension ("song" for
// "music/song.tsm"); "" for standard input ("-"), which has no name.
std::string title_from_song_path(const std::string& path);
