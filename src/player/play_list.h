// The list of songs to play, from the command line's inputs: song files,
// folders (their .tsm files in name order), M3U playlists (.m3u, .m3u8:
// one path a line, relative to the playlist's folder, '#' lines skipped)
// and "-" for standard input.
#pragma once

#include <string>
#include <vector>

struct ListEntry {
    std::string path;   // as given or found (UTF-8); "-" for standard input
    std::string error;  // why this entry cannot be a song, found while listing; else empty
};

std::vector<ListEntry> build_play_list(const std::vector<std::string>& inputs);

// The name the display shows: the file's name without its folder.
std::string entry_name(const ListEntry& entry);
