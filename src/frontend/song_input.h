// Loads an input song of the option form: a file by its name, or standard
// input for "-". A file that cannot be read fails with the system's reason
// (no such file, a folder, no permission), not only that it failed.
#pragma once

#include <string>
#include <vector>

#include "tamsel/tamsel.hpp"

// True when song holds the input; otherwise *error says why. *warnings gets
// what is wrong with a song that loads all the same (a file shorter than
// its header says, header values out of range), else nothing.
bool load_input_song(const std::string& input, tamsel::Song* song, std::string* error,
                     std::vector<std::string>* warnings);
