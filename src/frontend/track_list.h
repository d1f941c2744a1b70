// Track lists of --mute and --solo: "1", "2", "3" for the melodic tracks and
// "drums", separated by commas ("1,drums").
#pragma once

#include <cstdint>
#include <string>

// Bit t of *mask set for each track t named in text (0..2 melodic, 3
// drums). False for an empty list, an empty item or an unknown name.
bool parse_track_list(const std::string& text, uint32_t* mask);

// The name of track t as the lists spell it: "1", "2", "3", "drums".
const char* track_name(int32_t track);
