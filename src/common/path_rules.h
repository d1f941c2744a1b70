// Names the WAV file after the song file.
#pragma once

#include <cstddef>
#include <string>

// Where the last component of a path starts: after the last '/' and, on
// Windows, also after the last '\' or a drive such as "C:" ("C:song.tsm"
// names song.tsm in drive C's current folder).
size_t path_name_start(const std::string& path);

// The input path with the extension of its last component replaced by
// ".wav" (or ".wav" appended when it has none). A dot that starts the last
// component does not begin an extension, and dots in folder names are never
// touched: "dir.old/song" gives "dir.old/song.wav", ".hidden" ".hidden.wav";
// on Windows "dir.old\song" gives "dir.old\song.wav".
std::string output_path_for(const char* input_path);

// True when both paths (UTF-8) name one existing file.
bool same_file(const char* a, const char* b);
