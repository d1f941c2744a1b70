#include "tool/cli_options.h"

#include <algorithm>
#include <cstring>

#include "export/value_limits.h"
#include "frontend/song_values.h"

enum class OptionId {
    OUTPUT,
    OUTPUT_DIR,
    LOOPS,
    TICK,
    JOBS,
    FORCE,
    INFO,
    JSON,
    QUIET,
    HELP,
    VERSION,
    FORMAT,
    QUALITY,
    TITLE,
    ARTIST,
    GAIN,
    NORMALIZE,
    LOUDNESS,
    DITHER,
    FADE,
    STEMS,
    MUTE,
    SOLO,
    LOOPABLE,
    STEREO
};

enum class ValueKind { NONE, REQUIRED, OPTIONAL };

struct OptionEntry {
    OptionId id;
    char short_name;  // 0: long form only
    const char* long_name;
    ValueKind value;
};

static const OptionEntry OPTIONS[] = {
    {OptionId::OUTPUT, 'o', "output", ValueKind::REQUIRED},
    {OptionId::OUTPUT_DIR, 'd', "output-dir", ValueKind::REQUIRED},
    {OptionId::LOOPS, 'l', "loops", ValueKind::REQUIRED},
    {OptionId::TICK, 't', "tick", ValueKind::REQUIRED},
    {OptionId::JOBS, 'j', "jobs", ValueKind::REQUIRED},
    {OptionId::FORCE, 0, "force", ValueKind::NONE},
    {OptionId::INFO, 0, "info", ValueKind::NONE},
    {OptionId::JSON, 0, "json", ValueKind::NONE},
    {OptionId::QUIET, 'q', "quiet", ValueKind::NONE},
    {OptionId::HELP, 'h', "help", ValueKind::NONE},
    {OptionId::VERSION, 'V', "version", ValueKind::NONE},
    {OptionId::FORMAT, 'f', "format", ValueKind::REQUIRED},
    {OptionId::QUALITY, 0, "quality", ValueKind::REQUIRED},
    {OptionId::TITLE, 0, "title", ValueKind::REQUIRED},
    {OptionId::ARTIST, 0, "artist", ValueKind::REQUIRED},
    {OptionId::GAIN, 0, "gain", ValueKind::REQUIRED},
    {OptionId::NORMALIZE, 0, "normalize", ValueKind::OPTIONAL},
    {OptionId::LOUDNESS, 0, "loudness", ValueKind::REQUIRED},
    {OptionId::DITHER, 0, "dither", ValueKind::REQUIRED},
    {OptionId::FADE, 0, "fade", ValueKind::REQUIRED},
    {OptionId::STEMS, 0, "stems", ValueKind::NONE},
    {OptionId::MUTE, 0, "mute", ValueKind::REQUIRED},
    {OptionId::SOLO, 0, "solo", ValueKind::REQUIRED},
    {OptionId::LOOPABLE, 0, "loopable", ValueKind::NONE},
    {OptionId::STEREO, 0, "stereo", ValueKind::REQUIRED},
};
static const size_t OPTION_COUNT = sizeof OPTIONS / sizeof OPTIONS[0];

static const OptionEntry* find_short(char name) {
    for (size_t i = 0; i < OPTION_COUNT; i++) {
        if (OPTIONS[i].short_name == name) return &OPTIONS[i];
    }
    return nullptr;
}

static const OptionEntry* find_long(const std::string& name) {
    for (size_t i = 0; i < OPTION_COUNT; i++) {
        if (name == OPTIONS[i].long_name) return &OPTIONS[i];
    }
    return nullptr;
}

bool is_option_argument(const char* arg) {
    if (arg[0] != '-') return false;
    if (arg[1] == '-') return true;
    if (arg[1] == '\0') return false;
    const OptionEntry* entry = find_short(arg[1]);
    if (!entry) return false;
    return arg[2] == '\0' || entry->value != ValueKind::NONE;
}

// What the parser keeps besides the options themselves: which level option
// came first, and whether --mute or --solo was seen, to report conflicts.
struct ParseState {
    const char* level_option = nullptr;
    const char* track_option = nullptr;
};

static std::string option_label(const OptionEntry* entry) {
    return std::string("--") + entry->long_name;
}

static bool bad_value(const OptionEntry* entry, const char* value, const char* wanted, std::string* error) {
    *error = invalid_value_text(option_label(entry).c_str(), value, wanted);
    return false;
}

static bool set_level_option(const OptionEntry* entry, ParseState* state, std::string* error) {
    if (state->level_option && std::strcmp(state->level_option, entry->long_name) != 0) {
        *error = std::string("--") + state->level_option + " and " + option_label(entry) + " exclude each other";
        return false;
    }
    state->level_option = entry->long_name;
    return true;
}

static bool set_track_option(const OptionEntry* entry, const char* value, ParseState* state, CliOptions* options,
                             std::string* error) {
    if (state->track_option && std::strcmp(state->track_option, entry->long_name) != 0) {
        *error = std::string("--") + state->track_option + " and " + option_label(entry) + " exclude each other";
        return false;
    }
    state->track_option = entry->long_name;
    return read_track_option(option_label(entry).c_str(), value, entry->id == OptionId::SOLO, &options->muted_tracks,
                             error);
}

// The bounded value each numeric option sets.
static LimitId limit_of(OptionId id) {
    switch (id) {
    case OptionId::LOOPS: return LimitId::LOOPS;
    case OptionId::TICK: return LimitId::TICK;
    case OptionId::JOBS: return LimitId::JOBS;
    case OptionId::QUALITY: return LimitId::QUALITY;
    case OptionId::GAIN: return LimitId::GAIN;
    case OptionId::NORMALIZE: return LimitId::NORMALIZE;
    case OptionId::LOUDNESS: return LimitId::LOUDNESS;
    case OptionId::STEREO: return LimitId::STEREO;
    default: return LimitId::FADE;
    }
}

static bool apply_number_option(const OptionEntry* entry, const char* value, CliOptions* options, std::string* error) {
    double number = 0.0;
    if (!read_limited_value(option_label(entry).c_str(), value, limit_of(entry->id), &number, error)) return false;
    switch (entry->id) {
    case OptionId::LOOPS: options->loops = (int32_t)number; return true;
    case OptionId::TICK: options->tick_ms = number; return true;
    case OptionId::JOBS: options->jobs = (uint32_t)number; return true;
    case OptionId::QUALITY: options->audio.quality = (int)number; return true;
    case OptionId::GAIN:
        options->audio.level = LevelMode::GAIN;
        options->audio.gain_db = number;
        return true;
    case OptionId::NORMALIZE:
        options->audio.level = LevelMode::NORMALIZE;
        options->audio.normalize_dbfs = number;
        return true;
    case OptionId::LOUDNESS:
        options->audio.level = LevelMode::LOUDNESS;
        options->audio.loudness_lufs = number;
        return true;
    case OptionId::STEREO: options->audio.stereo_width = (int32_t)number; return true;
    default: options->audio.fade_seconds = number; return true;
    }
}

static bool apply_option(const OptionEntry* entry, const char* value, ParseState* state, CliOptions* options,
                         bool* help, bool* version, std::string* error) {
    switch (entry->id) {
    case OptionId::OUTPUT:
        if (value[0] == '\0') return bad_value(entry, value, "a path, or - for standard output", error);
        options->output = value;
        return true;
    case OptionId::OUTPUT_DIR:
        if (value[0] == '\0') return bad_value(entry, value, "a folder", error);
        options->output_dir = value;
        return true;
    case OptionId::FORCE: options->force = true; return true;
    case OptionId::INFO: options->info = true; return true;
    case OptionId::JSON: options->json = true; return true;
    case OptionId::QUIET: options->quiet = true; return true;
    case OptionId::HELP: *help = true; return true;
    case OptionId::VERSION: *version = true; return true;
    case OptionId::STEMS: options->stems = true; return true;
    case OptionId::LOOPABLE: options->audio.loopable = true; return true;
    case OptionId::TITLE:
        options->audio.title = value;
        options->title_given = true;
        return true;
    case OptionId::ARTIST: options->audio.artist = value; return true;
    case OptionId::FORMAT:
        if (!parse_output_format(value, &options->audio.format))
            return bad_value(entry, value, "wav, wav16, wav24, flac, flac24, ogg, opus or mp3", error);
        options->format_given = true;
        return true;
    case OptionId::DITHER:
        if (std::strcmp(value, "tpdf") == 0)
            options->audio.dither = DitherMode::TPDF;
        else if (std::strcmp(value, "none") == 0)
            options->audio.dither = DitherMode::NONE;
        else
            return bad_value(entry, value, "tpdf or none", error);
        return true;
    case OptionId::MUTE:
    case OptionId::SOLO: return set_track_option(entry, value, state, options, error);
    case OptionId::GAIN:
    case OptionId::LOUDNESS:
        if (!set_level_option(entry, state, error)) return false;
        return apply_number_option(entry, value, options, error);
    case OptionId::NORMALIZE:
        if (!set_level_option(entry, state, error)) return false;
        if (!value) {
            options->audio.level = LevelMode::NORMALIZE;
            options->audio.normalize_dbfs = -1.0;
            return true;
        }
        return apply_number_option(entry, value, options, error);
    default: return apply_number_option(entry, value, options, error);
    }
}

// Finds the option an argument names and the value attached to it (after
// "=" for a long option, right after the letter for a short one); null
// value when none is attached.
static const OptionEntry* split_option(const char* arg, const char** attached, std::string* error) {
    *attached = nullptr;
    if (arg[1] == '-') {
        const char* equals = std::strchr(arg + 2, '=');
        std::string name = equals ? std::string(arg + 2, (size_t)(equals - (arg + 2))) : std::string(arg + 2);
        const OptionEntry* entry = find_long(name);
        if (!entry) {
            *error = "unknown option '--" + name + "'";
            return nullptr;
        }
        if (equals) {
            if (entry->value == ValueKind::NONE) {
                *error = "option '--" + name + "' takes no value";
                return nullptr;
            }
            *attached = equals + 1;
        }
        return entry;
    }
    const OptionEntry* entry = find_short(arg[1]);
    if (!entry || (arg[2] != '\0' && entry->value == ValueKind::NONE)) {
        *error = std::string("unknown option '") + arg + "'";
        return nullptr;
    }
    if (arg[2] != '\0') *attached = arg + 2;
    return entry;
}

// Checks that the options make sense together and settles the format.
// --loops or --fade set to other than their defaults, which a loopable file
// has no room for; null when neither is.
static const char* length_option(const CliOptions& options) {
    if (options.loops != 0) return "--loops";
    if (options.audio.fade_seconds != 0.0) return "--fade";
    return nullptr;
}

static bool check_combination(CliOptions* options, std::string* error) {
    if (options->json) options->info = true;
    const char* length = length_option(*options);
    if (options->audio.loopable && length) {
        *error = std::string("--loopable and ") + length +
                 " exclude each other (a loopable file holds the intro and one pass of the loop)";
        return false;
    }
    if (options->inputs.empty()) {
        *error = "no input file";
        return false;
    }
    bool has_output = !options->output.empty();
    size_t from_standard_input = (size_t)std::count(options->inputs.begin(), options->inputs.end(), "-");
    if (from_standard_input > 1) {
        *error = "standard input ('-') can be read only once";
        return false;
    }
    if (from_standard_input == 1 && !options->info && !has_output) {
        *error = "a song read from standard input ('-') needs --output";
        return false;
    }
    if (has_output && options->inputs.size() > 1) {
        *error = "--output names one output, but " + std::to_string(options->inputs.size()) + " input files were given";
        return false;
    }
    if (has_output && !options->output_dir.empty()) {
        *error = "--output and --output-dir exclude each other";
        return false;
    }
    if (options->stems && options->muted_tracks != 0) {
        *error = "--stems and --mute/--solo exclude each other";
        return false;
    }
    if (options->stems && options->output == "-") {
        *error = "--stems writes four files and cannot write to standard output";
        return false;
    }
    if (!has_output || options->output == "-") return true;
    OutputFormat from_path;
    if (!output_format_from_path(options->output, &from_path)) return true;
    if (!options->format_given) {
        options->audio.format = from_path;
        return true;
    }
    if (!output_format_matches_path(options->audio.format, options->output)) {
        *error = "--output '" + options->output + "' has an extension that contradicts --format " +
                 output_format_name(options->audio.format);
        return false;
    }
    return true;
}

ParseResult parse_cli_options(int argc, char** argv, CliOptions* options, std::string* error) {
    *options = CliOptions();
    ParseState state;
    bool help = false;
    bool version = false;
    bool options_ended = false;
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        if (options_ended || arg[0] != '-' || arg[1] == '\0') {
            options->inputs.push_back(arg);
            continue;
        }
        if (std::strcmp(arg, "--") == 0) {
            options_ended = true;
            continue;
        }
        const char* value = nullptr;
        const OptionEntry* entry = split_option(arg, &value, error);
        if (!entry) return ParseResult::USAGE_ERROR;
        if (!value && entry->value == ValueKind::REQUIRED) {
            if (i + 1 >= argc) {
                *error = "option '" + std::string(arg) + "' needs a value";
                return ParseResult::USAGE_ERROR;
            }
            value = argv[++i];
        }
        if (!apply_option(entry, value, &state, options, &help, &version, error)) return ParseResult::USAGE_ERROR;
        if (help) return ParseResult::HELP;
        if (version) return ParseResult::VERSION;
    }
    if (!check_combination(options, error)) return ParseResult::USAGE_ERROR;
    return ParseResult::RUN;
}
