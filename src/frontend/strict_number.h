// Numbers on the option form's command line are read strictly: the whole
// argument must be the number, with nothing before or after it.
#pragma once

#include <cstdint>

// A whole number of decimal digits (an optional '+' first) within
// min..max. False for anything else: blanks, a sign '-', junk after the
// digits, an empty string, a value out of range.
bool parse_whole_number(const char* text, int64_t min, int64_t max, int64_t* value);

// A finite decimal number: an optional sign, digits with an optional
// fraction, an optional exponent ("2", "-0.5", "1e3"). False for blanks,
// junk, "inf", "nan", hexadecimal, and values that overflow.
bool parse_finite_decimal(const char* text, double* value);
