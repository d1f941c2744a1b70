#include "frontend/strict_number.h"

#include <cmath>
#include <cstdlib>

static bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

bool parse_whole_number(const char* text, int64_t min, int64_t max, int64_t* value) {
    const char* p = text;
    if (*p == '+') p++;
    if (!is_digit(*p)) return false;
    // Anything past 2^62 is out of every range this tool asks for; the
    // test comes before each digit is added, so the sum never wraps.
    const uint64_t limit = (uint64_t)1 << 62;
    uint64_t number = 0;
    for (; is_digit(*p); p++) {
        uint64_t digit = (uint64_t)(*p - '0');
        if (number > (limit - digit) / 10) return false;
        number = number * 10 + digit;
    }
    if (*p != '\0') return false;
    if ((int64_t)number < min || (int64_t)number > max) return false;
    *value = (int64_t)number;
    return true;
}

// The shape of a decimal number: [sign] digits [. digits] [e [sign] digits],
// with at least one digit before or after the point.
static bool looks_decimal(const char* text) {
    const char* p = text;
    if (*p == '+' || *p == '-') p++;
    int digits = 0;
    for (; is_digit(*p); p++) digits++;
    if (*p == '.') {
        p++;
        for (; is_digit(*p); p++) digits++;
    }
    if (digits == 0) return false;
    if (*p == 'e' || *p == 'E') {
        p++;
        if (*p == '+' || *p == '-') p++;
        if (!is_digit(*p)) return false;
        for (; is_digit(*p); p++) {}
    }
    return *p == '\0';
}

bool parse_finite_decimal(const char* text, double* value) {
    if (!looks_decimal(text)) return false;
    char* end = nullptr;
    double number = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(number)) return false;
    *value = number;
    return true;
}
