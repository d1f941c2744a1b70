#include "tool/positional_arguments.h"

#include <cmath>
#include <cstdlib>

static bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

uint32_t parse_u32_like_strtoul(const char* text) {
    const char* p = text;
    while (is_blank(*p)) p++;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        p++;
    }
    uint64_t value = 0;
    bool overflow = false;
    for (; *p >= '0' && *p <= '9'; p++) {
        value = value * 10 + (uint64_t)(*p - '0');
        if (value > UINT32_MAX) {
            overflow = true;
            value = UINT32_MAX;
        }
    }
    // An out-of-range number saturates whatever its sign.
    if (overflow) return UINT32_MAX;
    return negative ? (uint32_t)(0u - (uint32_t)value) : (uint32_t)value;
}

bool parse_arguments(int argc, char** argv, ExportArguments* args) {
    args->input_path = nullptr;
    args->loops = 0;
    args->timer_ms = DEFAULT_TIMER_MS;
    if (argc < 2) return false;
    args->input_path = argv[1];
    if (argc > 2) {
        args->loops = (int32_t)parse_u32_like_strtoul(argv[2]);
        if (args->loops < 0) args->loops = 0;
        // The timer counts only when a loop count comes before it.
        if (argc > 3) {
            // strtod, not atof: Windows' atof reads "inf" and "nan" as 0.
            args->timer_ms = std::strtod(argv[3], nullptr);
            if (args->timer_ms < 0.0) args->timer_ms = DEFAULT_TIMER_MS;
        }
    }
    return true;
}

bool timer_is_usable(double timer_ms) {
    return std::isfinite(timer_ms);
}
