#include "frontend/track_list.h"

#include "tamsel/tamsel.h"

static const char* const TRACK_NAMES[TAMSEL_TRACK_COUNT] = {"1", "2", "3", "drums"};

const char* track_name(int32_t track) {
    if (track < 0 || track >= TAMSEL_TRACK_COUNT) return "?";
    return TRACK_NAMES[track];
}

static bool track_from_name(const std::string& name, uint32_t* bit) {
    for (int32_t t = 0; t < TAMSEL_TRACK_COUNT; t++) {
        if (name == TRACK_NAMES[t]) {
            *bit = 1u << t;
            return true;
        }
    }
    return false;
}

bool parse_track_list(const std::string& text, uint32_t* mask) {
    uint32_t result = 0;
    size_t start = 0;
    while (true) {
        size_t comma = text.find(',', start);
        size_t end = comma == std::string::npos ? text.size() : comma;
        uint32_t bit = 0;
        if (!track_from_name(text.substr(start, end - start), &bit)) return false;
        result |= bit;
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    *mask = result;
    return true;
}
