// The table of an export's bounded values: each value's range, whether it
// is a whole number and its unit. Checks take their ranges from here; a
// value outside its range is reported as which value and which range (see
// export_error.h), and each front end words it with its own name for the
// value ("--tick" on the command line, "Tick (ms)" on the page).
#pragma once

#include <span>
#include <string>

enum class LimitId { LOOPS, TICK, JOBS, QUALITY, GAIN, NORMALIZE, LOUDNESS, FADE, STEREO };

struct ValueLimit {
    LimitId id;
    double min;
    double max;
    bool whole;        // a whole number
    const char* unit;  // "milliseconds", "dBFS", ...; for a whole number, empty
};

// Every bounded value, in the order of LimitId.
std::span<const ValueLimit> value_limits();
const ValueLimit& value_limit(LimitId id);

// True when value is a finite number in the limit's range (a whole number
// where the limit wants one).
bool within_limit(LimitId id, double value);

// The range in words a front end puts after the value's name:
// "a whole number 0..10", "milliseconds from 0 to 3600000".
std::string limit_range_text(LimitId id);
// A bound as the documents write it: "3600000", "-96".
std::string limit_number_text(double bound);
