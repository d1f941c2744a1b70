// Names the WAV file after the song file.
#pragma once

#include <string>

// The input path with the extension of its last component replaced by
// ".wav" (or ".wav" appended when it has none). A dot that starts the last
// component does not begin an extension, and dots in folder names are never
// touched: "dir.old/song" gives "dir.old/song.wav", ".hidden" ".hidden.wav".
std::string output_path_for(const char* input_path);

// True when both paths name one existing file.
bool same_file(const char* a, const char* b);
