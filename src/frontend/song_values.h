// The values of the song options every front end reads the same way:
// -l/--loops, -t/--tick, --gain (the table of bounded values gives their
// ranges) and the track lists of --mute and --solo. A bad value fails with
// one line naming the option, the value and what it must be.
#pragma once

#include <cstdint>
#include <string>

#include "export/value_limits.h"

// value as the number of the bounded value id, within its range; else
// *error is "OPTION: invalid value 'VALUE' (RANGE)".
bool read_limited_value(const char* option, const char* value, LimitId id, double* number, std::string* error);

// The tracks a --mute (solo false) or --solo (solo true) list leaves
// muted, as bits (track t is bit t).
bool read_track_option(const char* option, const char* value, bool solo, uint32_t* muted, std::string* error);

// "OPTION: invalid value 'VALUE' (WANTED)".
std::string invalid_value_text(const char* option, const char* value, const char* wanted);
