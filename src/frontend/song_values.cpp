#include "frontend/song_values.h"

#include "frontend/strict_number.h"
#include "frontend/track_list.h"

std::string invalid_value_text(const char* option, const char* value, const char* wanted) {
    return std::string(option) + ": invalid value '" + value + "' (" + wanted + ")";
}

bool read_limited_value(const char* option, const char* value, LimitId id, double* number, std::string* error) {
    const ValueLimit& limit = value_limit(id);
    int64_t whole = 0;
    bool ok = false;
    if (limit.whole) {
        ok = parse_whole_number(value, (int64_t)limit.min, (int64_t)limit.max, &whole);
        *number = (double)whole;
    } else {
        ok = parse_finite_decimal(value, number) && within_limit(id, *number);
    }
    if (!ok) *error = invalid_value_text(option, value, limit_range_text(id).c_str());
    return ok;
}

bool read_track_option(const char* option, const char* value, bool solo, uint32_t* muted, std::string* error) {
    uint32_t mask = 0;
    if (!parse_track_list(value, &mask)) {
        *error = invalid_value_text(option, value, "tracks 1, 2, 3, drums, separated by commas");
        return false;
    }
    *muted = solo ? (~mask & 0xFu) : mask;
    return true;
}
