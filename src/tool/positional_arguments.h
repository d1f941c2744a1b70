// The command line: tamselexport <file> [loops] [timer ms].
#pragma once

#include <cstdint>

constexpr double DEFAULT_TIMER_MS = 20.0;

struct ExportArguments {
    const char* input_path;
    int32_t loops;    // extra passes from the repeat point; 0 plays once
    double timer_ms;  // engine tick period
};

// Reads a number the way a 32-bit strtoul in base 10 does: blanks, an
// optional sign, decimal digits; saturates at 4294967295, a minus sign
// negates modulo 2^32, no digits give 0.
uint32_t parse_u32_like_strtoul(const char* text);

// Fills args from argv with the defaults and corrections applied: loops
// below 0 become 0, a timer below 0 becomes 20. False when there is no
// file argument.
bool parse_arguments(int argc, char** argv, ExportArguments* args);

// A timer the clock can run with: finite (0 is fine, it ticks every frame).
bool timer_is_usable(double timer_ms);
