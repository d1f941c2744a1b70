// What is wrong with a song that plays all the same: a file shorter than
// its header says, and header values no song holds. The tool prints these
// as warnings and the page shows them, from this one list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tamsel/tamsel.h"

// Bytes of a file that holds every record its header counts.
uint64_t song_file_size(const tamsel_song_info& info);

// Bytes up to the end of the last record the library reads: it takes the
// first TAMSEL_TRACK_RECORDS of each track, wherever the record count puts
// them.
uint64_t song_bytes_read(const tamsel_song_info& info);

// One line for each thing wrong ("the file is 900 bytes, shorter than the
// 1064 its header says; the missing bytes play as zeros"), in the order
// the file holds them; none for a sound song. file_size is in bytes.
std::vector<std::string> song_warnings(const tamsel_song_info& info, uint64_t file_size);
