#include "player/player_options.h"

#include <cmath>
#include <cstring>

#include "frontend/song_values.h"
#include "frontend/strict_number.h"

namespace {

enum class Id { LOOPS, TICK, MUTE, SOLO, GAIN, LOOP_FOREVER, SHUFFLE, START, VOLUME, STEREO, HELP, VERSION };

struct Entry {
    Id id;
    char short_name;
    const char* long_name;
    bool takes_value;
};

const Entry ENTRIES[] = {
    {Id::LOOPS, 'l', "loops", true},    {Id::TICK, 't', "tick", true},  {Id::MUTE, 0, "mute", true},
    {Id::SOLO, 0, "solo", true},        {Id::GAIN, 0, "gain", true},    {Id::LOOP_FOREVER, 0, "loop-forever", false},
    {Id::SHUFFLE, 0, "shuffle", false}, {Id::START, 0, "start", true},  {Id::VOLUME, 0, "volume", true},
    {Id::STEREO, 0, "stereo", true},    {Id::HELP, 'h', "help", false}, {Id::VERSION, 'V', "version", false},
};

const Entry* find_entry(const char* arg, const char** attached, std::string* error) {
    *attached = nullptr;
    std::string name;
    if (arg[1] == '-') {
        const char* equals = std::strchr(arg + 2, '=');
        name = equals ? std::string(arg + 2, (size_t)(equals - arg - 2)) : std::string(arg + 2);
        for (const Entry& entry : ENTRIES) {
            if (name != entry.long_name) continue;
            if (equals && !entry.takes_value) {
                *error = "option '--" + name + "' takes no value";
                return nullptr;
            }
            if (equals) *attached = equals + 1;
            return &entry;
        }
        *error = "unknown option '--" + name + "'";
        return nullptr;
    }
    for (const Entry& entry : ENTRIES) {
        if (entry.short_name != arg[1]) continue;
        if (arg[2] != '\0' && !entry.takes_value) break;
        if (arg[2] != '\0') *attached = arg + 2;
        return &entry;
    }
    *error = std::string("unknown option '") + arg + "'";
    return nullptr;
}

bool read_percent(const char* option, const char* value, uint32_t max, uint32_t* percent, std::string* error) {
    int64_t number = 0;
    if (!parse_whole_number(value, 0, max, &number)) {
        *error = invalid_value_text(option, value, ("a whole number 0.." + std::to_string(max)).c_str());
        return false;
    }
    *percent = (uint32_t)number;
    return true;
}

struct TrackOptionSeen {
    const char* name = nullptr;
};

bool apply(const Entry& entry, const char* value, PlayerOptions* options, TrackOptionSeen* tracks, std::string* error) {
    std::string label = std::string("--") + entry.long_name;
    double number = 0.0;
    switch (entry.id) {
    case Id::LOOPS:
        if (!read_limited_value(label.c_str(), value, LimitId::LOOPS, &number, error)) return false;
        options->loops = (int32_t)number;
        return true;
    case Id::TICK: return read_limited_value(label.c_str(), value, LimitId::TICK, &options->tick_ms, error);
    case Id::GAIN: return read_limited_value(label.c_str(), value, LimitId::GAIN, &options->gain_db, error);
    case Id::MUTE:
    case Id::SOLO:
        if (tracks->name && std::strcmp(tracks->name, entry.long_name) != 0) {
            *error = std::string("--") + tracks->name + " and " + label + " exclude each other";
            return false;
        }
        tracks->name = entry.long_name;
        return read_track_option(label.c_str(), value, entry.id == Id::SOLO, &options->muted_tracks, error);
    case Id::LOOP_FOREVER: options->loop_forever = true; return true;
    case Id::SHUFFLE: options->shuffle = true; return true;
    case Id::START:
        if (parse_time(value, &options->start_seconds)) return true;
        *error = invalid_value_text(label.c_str(), value, "seconds, M:SS or H:MM:SS");
        return false;
    case Id::VOLUME: return read_percent(label.c_str(), value, 100, &options->volume, error);
    case Id::STEREO:
        if (!read_limited_value(label.c_str(), value, LimitId::STEREO, &number, error)) return false;
        options->stereo = (uint32_t)number;
        return true;
    default: return true;
    }
}

}  // namespace

bool parse_time(const std::string& text, double* seconds) {
    double total = 0.0;
    size_t start = 0;
    int parts = 0;
    while (true) {
        size_t colon = text.find(':', start);
        std::string part = text.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        double value = 0.0;
        bool last = colon == std::string::npos;
        // Hours and minutes are whole; only the seconds may have a fraction.
        if (!parse_finite_decimal(part.c_str(), &value) || value < 0.0 || (!last && std::floor(value) != value))
            return false;
        if (parts > 0 && value >= 60.0) return false;
        total = total * 60.0 + value;
        if (++parts > 3) return false;
        if (last) break;
        start = colon + 1;
    }
    // Beyond a year a song's frame count no longer fits the clock's reach.
    if (total > 366.0 * 86400.0) return false;
    *seconds = total;
    return true;
}

PlayerParse parse_player_options(int argc, char** argv, PlayerOptions* options, std::string* error) {
    *options = PlayerOptions();
    TrackOptionSeen tracks;
    bool ended = false;
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        if (ended || arg[0] != '-' || arg[1] == '\0') {
            options->inputs.push_back(arg);
            continue;
        }
        if (std::strcmp(arg, "--") == 0) {
            ended = true;
            continue;
        }
        const char* value = nullptr;
        const Entry* entry = find_entry(arg, &value, error);
        if (!entry) return PlayerParse::USAGE_ERROR;
        if (entry->id == Id::HELP) return PlayerParse::HELP;
        if (entry->id == Id::VERSION) return PlayerParse::VERSION;
        if (entry->takes_value && !value) {
            if (i + 1 >= argc) {
                *error = "option '" + std::string(arg) + "' needs a value";
                return PlayerParse::USAGE_ERROR;
            }
            value = argv[++i];
        }
        if (!apply(*entry, value, options, &tracks, error)) return PlayerParse::USAGE_ERROR;
    }
    if (options->inputs.empty()) {
        *error = "no song to play";
        return PlayerParse::USAGE_ERROR;
    }
    if (options->loop_forever && options->loops != 0) {
        *error = "--loops and --loop-forever exclude each other";
        return PlayerParse::USAGE_ERROR;
    }
    return PlayerParse::RUN;
}
