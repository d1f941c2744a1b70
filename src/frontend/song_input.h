// Loads an input song of the option form: a file by its name, or standard
// input for "-". A file that cannot be read fails with the system's reason
// (no such file, a folder, no permission), not only that it failed.
#pragma once

#include <string>

#include "tamsel/tamsel.hpp"

// True when song holds the input; otherwise *error says why. *warning is
// set (else emptied) when the file is shorter than its header says: the
// song loads, its missing bytes read as zeros.
bool load_input_song(const std::string& input, tamsel::Song* song, std::string* error, std::string* warning);
