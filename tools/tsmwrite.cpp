// tsmwrite: turns a text song description into a TSM song file.
//   usage: tsmwrite in.txt out.tsm
// Line based, ';' starts a comment. Top-level directives:
//   wait N | drums VOLUME | repeat START [END]   (volume 300 = full, 0.08 dB a unit)
//   instrument T [label] ... end    melodic track T = 0..2, with the settings
//       octave N, length SAMPLES, volume N,
//       wave [W] SHAPE[*H] + ...      sine square saw triangle pulse-D, mixed and
//                                     scaled to a peak of 127
//       envelope flat [L] | attack-decay A | decay HALF | adsr A D S R | points I:V ...
//   pattern NAME [tracks T ...] ... end
//       a row is one field per track (0 1 2 3 unless listed), split by '|';
//       ',' separates rows on one line; "rest N" adds N empty rows. A field holds
//       notes C-0..B-1 or 0..23 (several make a chord), "." for nothing, pN for
//       pan selector N = 1..7; drum fields hold kick kick2 snare snare2 ohat hat
//       cymbal..cymbal6, with '~' appended for the soft variant.
//   song ... end    order list lines "NAME [+ NAME ...] [xN]": the patterns are
//       layered (shorter ones repeat) and played N times; "loop" marks the
//       repeat start. At most 1000 records.
// Errors are reported as "file:line: message" with exit code 1.

#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/byte_order.h"
#include "song/song_layout.h"

namespace {

namespace layout = tamsel::core;
using tamsel::put_u32_le;

constexpr int32_t kTracks = layout::TRACK_COUNT;
constexpr int32_t kMelodicTracks = layout::MELODIC_TRACK_COUNT;
constexpr int32_t kDrumTrack = layout::DRUM_TRACK;
constexpr int32_t kMaxRecords = 1000;
constexpr int32_t kMaxPatterns = 64;
constexpr int32_t kNameSize = 32;
constexpr int32_t kLineSize = 1024;
constexpr int32_t kMaxTokens = 64;
constexpr int32_t kMaxWaveTerms = 16;
constexpr int32_t kWavePoints = static_cast<int32_t>(layout::WAVEFORM_SIZE);
constexpr int32_t kEnvPoints = static_cast<int32_t>(layout::ENVELOPE_SIZE);
constexpr int32_t kEnvUnity = 128;
constexpr int32_t kNotesPerTrack = 24;

constexpr uint64_t kFileMax = layout::song_file_size(kMaxRecords);

constexpr int32_t kTickMs = 20;
constexpr double kPi = 3.14159265358979323846;

enum class Section : uint8_t { top, instrument, pattern, song };
enum class Shape : uint8_t { sine, square, saw, triangle, pulse };

struct Instrument {
    bool defined;
    bool has_octave, has_length, has_volume, has_wave, has_envelope;
    uint8_t octave;
    int32_t length;
    int32_t volume;
    int8_t waveform[kWavePoints];
    uint8_t envelope[kEnvPoints];
};

struct Pattern {
    char name[kNameSize];
    int32_t columns[kTracks];  // track of each field of a row
    int32_t column_count;
    int32_t rows;
    uint32_t words[kMaxRecords][kTracks];
};

struct Song {
    uint32_t wait;
    uint32_t drum_volume;
    int32_t repeat_start;
    int32_t repeat_end;  // 0 until given: the end of the records
    Instrument instrument[kMelodicTracks];
    Pattern patterns[kMaxPatterns];
    int32_t pattern_count;
    uint32_t records[kMaxRecords][kTracks];
    int32_t record_count;
};

struct Parser {
    const char* path;
    Song* song;
    int32_t line;
    Section section;
    int32_t block_line;  // where the open block started
    int32_t index;       // instrument or pattern being filled
    bool has_wait, has_drums, has_repeat, has_loop, song_done;
    int32_t repeat_line;
    int32_t song_line;
};

struct WaveTerm {
    double weight;
    Shape shape;
    int32_t harmonic;
    int32_t duty;  // percent, pulse only
};

Song g_song;
uint8_t g_file[kFileMax];

__attribute__((format(printf, 2, 3))) bool fail(const Parser& p, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::fprintf(stderr, "%s:%d: ", p.path, static_cast<int>(p.line));
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
    return false;
}

// ---------------------------------------------------------------- tokens

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Splits text in place at white space; returns the token count, or -1 when there
// are more than max tokens.
int32_t split_tokens(char* text, char** tokens, int32_t max) {
    int32_t count = 0;
    char* c = text;
    while (*c != '\0') {
        while (is_space(*c)) *c++ = '\0';
        if (*c == '\0') break;
        if (count == max) return -1;
        tokens[count++] = c;
        while (*c != '\0' && !is_space(*c)) ++c;
    }
    return count;
}

void strip_comment(char* text) {
    char* semicolon = std::strchr(text, ';');
    if (semicolon != nullptr) *semicolon = '\0';
}

bool parse_int(const char* text, int64_t lo, int64_t hi, int64_t* out) {
    if (*text == '\0') return false;
    char* end = nullptr;
    long long value = std::strtoll(text, &end, 10);
    if (*end != '\0' || value < lo || value > hi) return false;
    *out = value;
    return true;
}

bool parse_real(const char* text, double* out) {
    if (*text == '\0') return false;
    char* end = nullptr;
    double value = std::strtod(text, &end);
    if (*end != '\0' || !std::isfinite(value)) return false;
    *out = value;
    return true;
}

// Integer argument of a directive with range check and a readable error.
bool int_arg(const Parser& p, const char* what, const char* text, int64_t lo, int64_t hi, int64_t* out) {
    if (parse_int(text, lo, hi, out)) return true;
    return fail(p, "%s must be a whole number in %lld..%lld, not '%s'", what, static_cast<long long>(lo),
                static_cast<long long>(hi), text);
}

bool expect_args(const Parser& p, const char* what, int32_t count, int32_t lo, int32_t hi) {
    if (count >= lo && count <= hi) return true;
    return fail(p, "wrong number of values for '%s'", what);
}

// A directive that takes exactly one whole number in lo..hi.
bool one_int(const Parser& p, const char* key, char** args, int32_t count, int64_t lo, int64_t hi, int64_t* out) {
    return expect_args(p, key, count, 1, 1) && int_arg(p, key, args[0], lo, hi, out);
}

// ---------------------------------------------------------------- notes, drums, pans

// Note names cover the instrument's two octaves: C-0 is note 0, B-1 is note 23.
// Sharps use '#', flats 'b' (C#0 = Db0 = note 1). Plain numbers 0..23 also work.
bool parse_note(const char* text, int32_t* bit) {
    int64_t number = 0;
    if (parse_int(text, 0, kNotesPerTrack - 1, &number)) {
        *bit = static_cast<int32_t>(number);
        return true;
    }
    static const int32_t semitone[7] = {9, 11, 0, 2, 4, 5, 7};  // A..G
    if (std::strlen(text) != 3) return false;
    char letter = text[0];
    if (letter >= 'a' && letter <= 'g') letter = static_cast<char>(letter - 'a' + 'A');
    if (letter < 'A' || letter > 'G') return false;
    int32_t shift = 0;
    if (text[1] == '#')
        shift = 1;
    else if (text[1] == 'b')
        shift = -1;
    else if (text[1] != '-')
        return false;
    if (text[2] != '0' && text[2] != '1') return false;
    int32_t note = semitone[letter - 'A'] + shift + 12 * (text[2] - '0');
    if (note < 0 || note >= kNotesPerTrack) return false;
    *bit = note;
    return true;
}

struct DrumName {
    const char* name;
    int32_t bit;
};

const DrumName kDrums[] = {
    {"kick", 0},    {"kick2", 2},    {"snare", 4},    {"snare2", 6},   {"ohat", 8},     {"hat", 10},
    {"cymbal", 12}, {"cymbal2", 14}, {"cymbal3", 16}, {"cymbal4", 18}, {"cymbal5", 20}, {"cymbal6", 22},
};

// Drum names give the loud (even) bit; a trailing '~' picks the soft (odd) bit.
bool parse_drum(const char* text, int32_t* bit) {
    int64_t number = 0;
    if (parse_int(text, 0, kNotesPerTrack - 1, &number)) {
        *bit = static_cast<int32_t>(number);
        return true;
    }
    size_t length = std::strlen(text);
    bool soft = length > 0 && text[length - 1] == '~';
    if (soft) --length;
    for (const DrumName& drum : kDrums) {
        if (std::strlen(drum.name) == length && std::strncmp(drum.name, text, length) == 0) {
            *bit = drum.bit + (soft ? 1 : 0);
            return true;
        }
    }
    return false;
}

bool is_pan_token(const char* text) {
    return text[0] == 'p' && text[1] >= '0' && text[1] <= '9';
}

// ---------------------------------------------------------------- rows

bool parse_field_token(const Parser& p, const char* token, int32_t track, uint32_t* word) {
    if (is_pan_token(token)) {
        int64_t selector = 0;
        if (!parse_int(token + 1, 1, 7, &selector)) return fail(p, "pan selector must be p1..p7, not '%s'", token);
        if ((*word >> 24) != 0) return fail(p, "two pan selectors on track %d", track);
        *word |= static_cast<uint32_t>(selector) << 24;
        return true;
    }
    int32_t bit = 0;
    bool known = track == kDrumTrack ? parse_drum(token, &bit) : parse_note(token, &bit);
    if (!known) return fail(p, "unknown %s '%s' on track %d", track == kDrumTrack ? "drum" : "note", token, track);
    if (track != kDrumTrack && !p.song->instrument[track].defined)
        return fail(p, "track %d plays notes but no instrument is declared before it", track);
    uint32_t mask = 1u << bit;
    if ((*word & mask) != 0) return fail(p, "'%s' given twice on track %d", token, track);
    *word |= mask;
    return true;
}

bool parse_field(const Parser& p, char* text, int32_t track, uint32_t* word) {
    char* tokens[kMaxTokens];
    int32_t count = split_tokens(text, tokens, kMaxTokens);
    if (count < 0) return fail(p, "too many entries on track %d", track);
    if (count == 1 && std::strcmp(tokens[0], ".") == 0) return true;
    for (int32_t i = 0; i < count; ++i) {
        if (std::strcmp(tokens[i], ".") == 0) return fail(p, "'.' must stand alone");
        if (!parse_field_token(p, tokens[i], track, word)) return false;
    }
    return true;
}

// A row holds one field per pattern column, separated by '|'; missing trailing
// fields are empty.
bool parse_row(const Parser& p, const Pattern& pattern, char* text, uint32_t* words) {
    char* fields[kTracks] = {text, nullptr, nullptr, nullptr};
    int32_t field_count = 1;
    for (char* c = text; *c != '\0'; ++c) {
        if (*c != '|') continue;
        if (field_count == pattern.column_count) return fail(p, "more than %d fields in a row", pattern.column_count);
        *c = '\0';
        fields[field_count++] = c + 1;
    }
    for (int32_t t = 0; t < kTracks; ++t) words[t] = 0;
    for (int32_t f = 0; f < field_count; ++f) {
        int32_t track = pattern.columns[f];
        if (!parse_field(p, fields[f], track, &words[track])) return false;
    }
    return true;
}

// ---------------------------------------------------------------- waveforms

double shape_value(Shape shape, int32_t duty, double x) {
    switch (shape) {
    case Shape::sine: return std::sin(2.0 * kPi * x);
    case Shape::square: return x < 0.5 ? 1.0 : -1.0;
    case Shape::saw: return x < 0.5 ? 2.0 * x : 2.0 * x - 2.0;
    case Shape::triangle:
        if (x < 0.25) return 4.0 * x;
        if (x < 0.75) return 2.0 - 4.0 * x;
        return 4.0 * x - 4.0;
    case Shape::pulse: return x * 100.0 < duty ? 1.0 : -1.0;
    }
    return 0.0;
}

bool parse_shape(const char* text, WaveTerm* term) {
    char name[kNameSize];
    const char* star = std::strchr(text, '*');
    size_t length = star != nullptr ? static_cast<size_t>(star - text) : std::strlen(text);
    if (length == 0 || length >= sizeof name) return false;
    std::memcpy(name, text, length);
    name[length] = '\0';
    int64_t harmonic = 1;
    if (star != nullptr && !parse_int(star + 1, 1, 64, &harmonic)) return false;
    term->harmonic = static_cast<int32_t>(harmonic);
    term->duty = 50;
    if (std::strcmp(name, "sine") == 0)
        term->shape = Shape::sine;
    else if (std::strcmp(name, "square") == 0)
        term->shape = Shape::square;
    else if (std::strcmp(name, "saw") == 0)
        term->shape = Shape::saw;
    else if (std::strcmp(name, "triangle") == 0)
        term->shape = Shape::triangle;
    else if (std::strncmp(name, "pulse-", 6) == 0) {
        int64_t duty = 0;
        if (!parse_int(name + 6, 1, 99, &duty)) return false;
        term->shape = Shape::pulse;
        term->duty = static_cast<int32_t>(duty);
    } else
        return false;
    return true;
}

// Terms look like "[weight] shape[*harmonic]" joined by "+".
bool parse_wave_terms(const Parser& p, char** tokens, int32_t count, WaveTerm* terms, int32_t* term_count) {
    *term_count = 0;
    for (int32_t i = 0; i < count; i += 2) {
        if (*term_count == kMaxWaveTerms) return fail(p, "too many waveform terms");
        WaveTerm& term = terms[(*term_count)++];
        term.weight = 1.0;
        if (i + 1 < count && parse_real(tokens[i], &term.weight)) ++i;
        if (!parse_shape(tokens[i], &term)) return fail(p, "unknown waveform shape '%s'", tokens[i]);
        bool joined = i + 2 < count && std::strcmp(tokens[i + 1], "+") == 0;
        if (i + 1 < count && !joined) return fail(p, "waveform terms must be joined by '+'");
    }
    return true;
}

// Mixes the terms, removes the average and scales the peak to 127.
bool build_waveform(const Parser& p, const WaveTerm* terms, int32_t count, int8_t* out) {
    double mix[kWavePoints];
    double mean = 0.0;
    for (int32_t i = 0; i < kWavePoints; ++i) {
        mix[i] = 0.0;
        for (int32_t t = 0; t < count; ++t) {
            double x = ((i * terms[t].harmonic) % kWavePoints) / static_cast<double>(kWavePoints);
            mix[i] += terms[t].weight * shape_value(terms[t].shape, terms[t].duty, x);
        }
        mean += mix[i] / kWavePoints;
    }
    double peak = 0.0;
    for (double& v : mix) {
        v -= mean;
        peak = std::fabs(v) > peak ? std::fabs(v) : peak;
    }
    if (peak < 1e-9) return fail(p, "waveform is silent");
    for (int32_t i = 0; i < kWavePoints; ++i) out[i] = static_cast<int8_t>(std::lround(mix[i] * 127.0 / peak));
    return true;
}

bool parse_wave(const Parser& p, char** tokens, int32_t count, int8_t* out) {
    if (count == 0) return fail(p, "'wave' needs at least one shape");
    WaveTerm terms[kMaxWaveTerms];
    int32_t term_count = 0;
    return parse_wave_terms(p, tokens, count, terms, &term_count) && build_waveform(p, terms, term_count, out);
}

// ---------------------------------------------------------------- envelopes

// Straight line from (i0, v0) to (i1, v1), rounded; values stay within 0..128.
void env_ramp(uint8_t* env, int32_t i0, int32_t v0, int32_t i1, int32_t v1) {
    if (i0 == i1) {
        env[i1] = static_cast<uint8_t>(v1);
        return;
    }
    int32_t span = i1 - i0;
    for (int32_t i = i0; i <= i1; ++i) {
        int32_t scaled = v0 * span + (v1 - v0) * (i - i0);
        env[i] = static_cast<uint8_t>((2 * scaled + span) / (2 * span));
    }
}

bool env_points(const Parser& p, char** tokens, int32_t count, uint8_t* env) {
    if (count == 0) return fail(p, "'points' needs at least one index:value pair");
    int32_t last_index = -1;
    int32_t last_value = 0;
    for (int32_t n = 0; n < count; ++n) {
        char* colon = std::strchr(tokens[n], ':');
        if (colon == nullptr) return fail(p, "envelope point '%s' is not index:value", tokens[n]);
        *colon = '\0';
        int64_t index = 0, value = 0;
        if (!int_arg(p, "envelope index", tokens[n], 0, kEnvPoints - 1, &index) ||
            !int_arg(p, "envelope value", colon + 1, 0, kEnvUnity, &value))
            return false;
        if (index <= last_index) return fail(p, "envelope indices must rise");
        int32_t i = static_cast<int32_t>(index), v = static_cast<int32_t>(value);
        if (last_index < 0)
            env_ramp(env, 0, v, i, v);
        else
            env_ramp(env, last_index, last_value, i, v);
        last_index = i;
        last_value = v;
    }
    env_ramp(env, last_index, last_value, kEnvPoints - 1, last_value);
    return true;
}

bool env_adsr(const Parser& p, char** tokens, int32_t count, uint8_t* env) {
    int64_t a = 0, d = 0, s = 0, r = 0;
    if (!expect_args(p, "adsr", count, 4, 4) || !int_arg(p, "attack", tokens[0], 0, 63, &a) ||
        !int_arg(p, "decay", tokens[1], 0, 63, &d) || !int_arg(p, "sustain", tokens[2], 0, kEnvUnity, &s) ||
        !int_arg(p, "release", tokens[3], 0, 63, &r))
        return false;
    int32_t peak_at = static_cast<int32_t>(a);
    int32_t sustain_at = static_cast<int32_t>(a + d);
    int32_t release_at = kEnvPoints - 1 - static_cast<int32_t>(r);
    int32_t level = static_cast<int32_t>(s);
    if (sustain_at > release_at) return fail(p, "attack + decay + release exceed 63 points");
    env_ramp(env, 0, 0, peak_at, kEnvUnity);
    env_ramp(env, peak_at, kEnvUnity, sustain_at, level);
    env_ramp(env, sustain_at, level, release_at, level);
    env_ramp(env, release_at, level, kEnvPoints - 1, 0);
    return true;
}

bool env_attack_decay(const Parser& p, char** tokens, int32_t count, uint8_t* env) {
    int64_t attack = 0;
    if (!expect_args(p, "attack-decay", count, 1, 1) || !int_arg(p, "attack", tokens[0], 0, kEnvPoints - 1, &attack))
        return false;
    int32_t peak_at = static_cast<int32_t>(attack);
    env_ramp(env, 0, 0, peak_at, kEnvUnity);
    env_ramp(env, peak_at, kEnvUnity, kEnvPoints - 1, 0);
    return true;
}

// Halves every HALF points; the last point closes at 0 so the note ends quietly.
bool env_decay(const Parser& p, char** tokens, int32_t count, uint8_t* env) {
    double half = 0.0;
    if (!expect_args(p, "decay", count, 1, 1)) return false;
    if (!parse_real(tokens[0], &half) || half <= 0.0)
        return fail(p, "decay half-life must be a positive number of points");
    for (int32_t i = 0; i < kEnvPoints; ++i)
        env[i] = static_cast<uint8_t>(std::lround(kEnvUnity * std::pow(0.5, i / half)));
    env[kEnvPoints - 1] = 0;
    return true;
}

bool env_flat(const Parser& p, char** tokens, int32_t count, uint8_t* env) {
    int64_t level = kEnvUnity;
    if (!expect_args(p, "flat", count, 0, 1)) return false;
    if (count == 1 && !int_arg(p, "level", tokens[0], 0, kEnvUnity, &level)) return false;
    std::memset(env, static_cast<int>(level), kEnvPoints);
    return true;
}

bool parse_envelope(const Parser& p, char** tokens, int32_t count, uint8_t* env) {
    if (count == 0) return fail(p, "'envelope' needs a shape");
    const char* shape = tokens[0];
    if (std::strcmp(shape, "flat") == 0) return env_flat(p, tokens + 1, count - 1, env);
    if (std::strcmp(shape, "attack-decay") == 0) return env_attack_decay(p, tokens + 1, count - 1, env);
    if (std::strcmp(shape, "decay") == 0) return env_decay(p, tokens + 1, count - 1, env);
    if (std::strcmp(shape, "adsr") == 0) return env_adsr(p, tokens + 1, count - 1, env);
    if (std::strcmp(shape, "points") == 0) return env_points(p, tokens + 1, count - 1, env);
    return fail(p, "unknown envelope shape '%s'", shape);
}

// ---------------------------------------------------------------- sections

bool begin_instrument(Parser& p, char** tokens, int32_t count) {
    int64_t track = 0;
    if (!expect_args(p, "instrument", count, 1, 2) ||
        !int_arg(p, "instrument track", tokens[0], 0, kMelodicTracks - 1, &track))
        return false;
    Instrument& ins = p.song->instrument[track];
    if (ins.defined) return fail(p, "instrument %lld is declared twice", static_cast<long long>(track));
    ins.defined = true;
    p.index = static_cast<int32_t>(track);
    p.section = Section::instrument;
    p.block_line = p.line;
    return true;
}

bool valid_pattern_name(const char* name) {
    size_t length = std::strlen(name);
    if (length == 0 || length >= static_cast<size_t>(kNameSize)) return false;
    for (size_t i = 0; i < length; ++i) {
        char c = name[i];
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!ok) return false;
    }
    int64_t unused = 0;
    bool looks_like_count = name[0] == 'x' && parse_int(name + 1, 0, INT32_MAX, &unused);
    return !looks_like_count && std::strcmp(name, "loop") != 0 && std::strcmp(name, "end") != 0;
}

int32_t find_pattern(const Song& song, const char* name) {
    for (int32_t i = 0; i < song.pattern_count; ++i)
        if (std::strcmp(song.patterns[i].name, name) == 0) return i;
    return -1;
}

// "tracks T ..." after a pattern name picks which tracks its row fields feed.
bool parse_columns(const Parser& p, char** tokens, int32_t count, Pattern& pattern) {
    if (count == 0) {
        pattern.column_count = kTracks;
        for (int32_t t = 0; t < kTracks; ++t) pattern.columns[t] = t;
        return true;
    }
    if (std::strcmp(tokens[0], "tracks") != 0 || count == 1 || count > kTracks + 1)
        return fail(p, "expected 'tracks' and one to four track numbers after the pattern name");
    pattern.column_count = count - 1;
    for (int32_t i = 1; i < count; ++i) {
        int64_t track = 0;
        if (!int_arg(p, "track", tokens[i], 0, kTracks - 1, &track)) return false;
        for (int32_t j = 0; j < i - 1; ++j)
            if (pattern.columns[j] == track) return fail(p, "track %s listed twice", tokens[i]);
        pattern.columns[i - 1] = static_cast<int32_t>(track);
    }
    return true;
}

bool begin_pattern(Parser& p, char** tokens, int32_t count) {
    if (count == 0) return fail(p, "pattern needs a name");
    if (!valid_pattern_name(tokens[0])) return fail(p, "bad pattern name '%s'", tokens[0]);
    if (find_pattern(*p.song, tokens[0]) >= 0) return fail(p, "pattern '%s' is defined twice", tokens[0]);
    if (p.song->pattern_count == kMaxPatterns) return fail(p, "more than %d patterns", kMaxPatterns);
    Pattern& pattern = p.song->patterns[p.song->pattern_count];
    if (!parse_columns(p, tokens + 1, count - 1, pattern)) return false;
    std::strcpy(pattern.name, tokens[0]);
    pattern.rows = 0;
    p.index = p.song->pattern_count++;
    p.section = Section::pattern;
    p.block_line = p.line;
    return true;
}

bool parse_repeat(Parser& p, char** tokens, int32_t count) {
    int64_t start = 0, end = 0;
    if (!expect_args(p, "repeat", count, 1, 2) || !int_arg(p, "repeat start", tokens[0], 0, kMaxRecords - 1, &start) ||
        (count == 2 && !int_arg(p, "repeat end", tokens[1], 1, kMaxRecords, &end)))
        return false;
    if (p.has_repeat) return fail(p, "repeat point given twice");
    p.song->repeat_start = static_cast<int32_t>(start);
    p.song->repeat_end = static_cast<int32_t>(end);
    p.has_repeat = true;
    p.repeat_line = p.line;
    return true;
}

bool handle_top(Parser& p, char** tokens, int32_t count) {
    const char* key = tokens[0];
    char** args = tokens + 1;
    int32_t n = count - 1;
    int64_t value = 0;
    if (std::strcmp(key, "wait") == 0) {
        if (p.has_wait) return fail(p, "wait given twice");
        p.has_wait = one_int(p, key, args, n, 0, 100000, &value);
        p.song->wait = static_cast<uint32_t>(value);
        return p.has_wait;
    }
    if (std::strcmp(key, "drums") == 0) {
        if (p.has_drums) return fail(p, "drums given twice");
        p.has_drums = one_int(p, key, args, n, 0, 300, &value);
        p.song->drum_volume = static_cast<uint32_t>(value);
        return p.has_drums;
    }
    if (std::strcmp(key, "repeat") == 0) return parse_repeat(p, args, n);
    if (std::strcmp(key, "instrument") == 0) return begin_instrument(p, args, n);
    if (std::strcmp(key, "pattern") == 0) return begin_pattern(p, args, n);
    if (std::strcmp(key, "song") == 0) {
        if (p.song_done) return fail(p, "only one song block is allowed");
        if (!expect_args(p, key, n, 0, 0)) return false;
        p.section = Section::song;
        p.block_line = p.line;
        return true;
    }
    return fail(p, "unknown directive '%s'", key);
}

bool end_instrument(Parser& p) {
    const Instrument& ins = p.song->instrument[p.index];
    const char* missing = !ins.has_octave     ? "octave"
                          : !ins.has_length   ? "length"
                          : !ins.has_volume   ? "volume"
                          : !ins.has_wave     ? "wave"
                          : !ins.has_envelope ? "envelope"
                                              : nullptr;
    if (missing != nullptr) return fail(p, "instrument %d has no %s", p.index, missing);
    p.section = Section::top;
    return true;
}

bool handle_instrument(Parser& p, char** tokens, int32_t count) {
    Instrument& ins = p.song->instrument[p.index];
    const char* key = tokens[0];
    char** args = tokens + 1;
    int32_t n = count - 1;
    int64_t value = 0;
    if (std::strcmp(key, "end") == 0) return expect_args(p, key, n, 0, 0) && end_instrument(p);
    if (std::strcmp(key, "octave") == 0) {
        ins.has_octave = one_int(p, key, args, n, 0, 7, &value);
        ins.octave = static_cast<uint8_t>(value);
        return ins.has_octave;
    }
    if (std::strcmp(key, "length") == 0) {
        ins.has_length = one_int(p, key, args, n, 64, 1000000, &value);
        ins.length = static_cast<int32_t>(value);
        return ins.has_length;
    }
    if (std::strcmp(key, "volume") == 0) {
        ins.has_volume = one_int(p, key, args, n, 0, 300, &value);
        ins.volume = static_cast<int32_t>(value);
        return ins.has_volume;
    }
    if (std::strcmp(key, "wave") == 0) return (ins.has_wave = parse_wave(p, args, n, ins.waveform));
    if (std::strcmp(key, "envelope") == 0) return (ins.has_envelope = parse_envelope(p, args, n, ins.envelope));
    return fail(p, "unknown instrument setting '%s'", key);
}

bool add_pattern_rows(Parser& p, Pattern& pattern, int32_t rows) {
    if (pattern.rows + rows > kMaxRecords)
        return fail(p, "pattern '%s' has more than %d rows", pattern.name, kMaxRecords);
    std::memset(pattern.words[pattern.rows], 0, sizeof pattern.words[0] * rows);
    pattern.rows += rows;
    return true;
}

bool is_blank(const char* text) {
    while (is_space(*text)) ++text;
    return *text == '\0';
}

// One line may hold several rows separated by ','.
bool parse_row_list(Parser& p, Pattern& pattern, char* text) {
    char* row = text;
    for (;;) {
        char* comma = std::strchr(row, ',');
        if (comma != nullptr) *comma = '\0';
        if (is_blank(row)) return fail(p, "empty row between commas (use '.')");
        uint32_t words[kTracks];
        if (!parse_row(p, pattern, row, words) || !add_pattern_rows(p, pattern, 1)) return false;
        std::memcpy(pattern.words[pattern.rows - 1], words, sizeof words);
        if (comma == nullptr) return true;
        row = comma + 1;
    }
}

bool handle_pattern(Parser& p, char* raw, char** tokens, int32_t count) {
    Pattern& pattern = p.song->patterns[p.index];
    if (std::strcmp(tokens[0], "end") == 0) {
        if (!expect_args(p, "end", count - 1, 0, 0)) return false;
        if (pattern.rows == 0) return fail(p, "pattern '%s' has no rows", pattern.name);
        p.section = Section::top;
        return true;
    }
    if (std::strcmp(tokens[0], "rest") == 0) {
        int64_t rows = 0;
        return one_int(p, "rest", tokens + 1, count - 1, 1, kMaxRecords, &rows) &&
               add_pattern_rows(p, pattern, static_cast<int32_t>(rows));
    }
    return parse_row_list(p, pattern, raw);
}

// ---------------------------------------------------------------- song order

bool merge_word(const Parser& p, uint32_t* into, uint32_t word, int32_t track) {
    uint32_t pan_into = *into >> 24, pan_word = word >> 24;
    if (pan_into != 0 && pan_word != 0 && pan_into != pan_word)
        return fail(p, "layered patterns select different pans on track %d", track);
    *into |= word;
    return true;
}

// Layers the named patterns row by row and appends the result `times` times.
bool append_layers(Parser& p, const int32_t* layers, int32_t layer_count, int32_t times) {
    Song& song = *p.song;
    int32_t rows = 0;
    for (int32_t l = 0; l < layer_count; ++l)
        rows = song.patterns[layers[l]].rows > rows ? song.patterns[layers[l]].rows : rows;
    for (int32_t l = 0; l < layer_count; ++l)
        if (rows % song.patterns[layers[l]].rows != 0)
            return fail(p, "pattern '%s' has %d rows, which does not divide %d", song.patterns[layers[l]].name,
                        song.patterns[layers[l]].rows, rows);
    if (song.record_count + rows * times > kMaxRecords) return fail(p, "song has more than %d records", kMaxRecords);
    for (int32_t rep = 0; rep < times; ++rep) {
        for (int32_t r = 0; r < rows; ++r) {
            uint32_t* record = song.records[song.record_count++];
            for (int32_t l = 0; l < layer_count; ++l) {
                const Pattern& layer = song.patterns[layers[l]];
                for (int32_t t = 0; t < kTracks; ++t)
                    if (!merge_word(p, &record[t], layer.words[r % layer.rows][t], t)) return false;
            }
        }
    }
    return true;
}

bool parse_order_line(Parser& p, char** tokens, int32_t count) {
    int64_t times = 1;
    const char* last = tokens[count - 1];
    if (count > 1 && last[0] == 'x' && last[1] >= '0' && last[1] <= '9') {
        if (!int_arg(p, "repeat count", last + 1, 1, kMaxRecords, &times)) return false;
        --count;
    }
    int32_t layers[kMaxTokens];
    int32_t layer_count = 0;
    for (int32_t i = 0; i < count; ++i) {
        bool want_name = i % 2 == 0;
        if (!want_name) {
            if (std::strcmp(tokens[i], "+") != 0 || i + 1 == count) return fail(p, "patterns are layered with '+'");
            continue;
        }
        int32_t index = find_pattern(*p.song, tokens[i]);
        if (index < 0) return fail(p, "unknown pattern '%s'", tokens[i]);
        layers[layer_count++] = index;
    }
    return append_layers(p, layers, layer_count, static_cast<int32_t>(times));
}

bool handle_song(Parser& p, char** tokens, int32_t count) {
    if (std::strcmp(tokens[0], "end") == 0) {
        if (!expect_args(p, "end", count - 1, 0, 0)) return false;
        p.section = Section::top;
        p.song_done = true;
        p.song_line = p.line;
        return true;
    }
    if (std::strcmp(tokens[0], "loop") == 0) {
        if (!expect_args(p, "loop", count - 1, 0, 0)) return false;
        if (p.has_repeat || p.has_loop) return fail(p, "repeat point given twice");
        p.song->repeat_start = p.song->record_count;
        p.has_loop = true;
        p.repeat_line = p.line;
        return true;
    }
    return parse_order_line(p, tokens, count);
}

// ---------------------------------------------------------------- whole file

bool handle_line(Parser& p, char* text) {
    char raw[kLineSize];
    std::memcpy(raw, text, std::strlen(text) + 1);
    char* tokens[kMaxTokens];
    int32_t count = split_tokens(text, tokens, kMaxTokens);
    if (count < 0) return fail(p, "too many words on one line");
    if (count == 0) return true;
    switch (p.section) {
    case Section::top: return handle_top(p, tokens, count);
    case Section::instrument: return handle_instrument(p, tokens, count);
    case Section::pattern: return handle_pattern(p, raw, tokens, count);
    case Section::song: return handle_song(p, tokens, count);
    }
    return false;
}

bool check_complete(Parser& p) {
    if (p.section != Section::top) {
        p.line = p.block_line;
        return fail(p, "block is not closed with 'end'");
    }
    if (!p.has_wait) return fail(p, "no 'wait' given");
    if (!p.has_drums) return fail(p, "no 'drums' volume given");
    if (!p.song_done) return fail(p, "no 'song' block");
    Song& song = *p.song;
    if (song.record_count == 0) {
        p.line = p.song_line;
        return fail(p, "song has no records");
    }
    int32_t end = song.repeat_end == 0 ? song.record_count : song.repeat_end;
    if (p.has_repeat || p.has_loop) p.line = p.repeat_line;
    if (end > song.record_count) return fail(p, "repeat end %d is past the last record", end);
    if (song.repeat_start >= end) return fail(p, "repeat start %d is not before the end %d", song.repeat_start, end);
    song.repeat_end = end;
    return true;
}

bool read_description(Parser& p, FILE* in) {
    char text[kLineSize];
    while (std::fgets(text, sizeof text, in) != nullptr) {
        ++p.line;
        if (std::strchr(text, '\n') == nullptr && !std::feof(in))
            return fail(p, "line longer than %d characters", kLineSize - 2);
        strip_comment(text);
        if (!handle_line(p, text)) return false;
    }
    if (std::ferror(in)) return fail(p, "read error");
    return check_complete(p);
}

// ---------------------------------------------------------------- output

void put_instrument(uint8_t* at, const Instrument& ins) {
    at[layout::INSTRUMENT_OCTAVE_AT] = ins.octave;
    put_u32_le(at + layout::INSTRUMENT_LENGTH_AT, static_cast<uint32_t>(ins.length));
    put_u32_le(at + layout::INSTRUMENT_VOLUME_AT, static_cast<uint32_t>(ins.volume));
    std::memcpy(at + layout::INSTRUMENT_WAVEFORM_AT, ins.waveform, layout::WAVEFORM_SIZE);
    std::memcpy(at + layout::INSTRUMENT_ENVELOPE_AT, ins.envelope, layout::ENVELOPE_SIZE);
}

// Lays the song out as header plus four tracks of records; returns the byte size.
uint64_t build_file(const Song& song, uint8_t* out) {
    std::memset(out, 0, layout::SONG_HEADER_SIZE);
    std::memcpy(out, layout::SONG_MAGIC, layout::SONG_MAGIC_SIZE);
    put_u32_le(out + layout::WAIT_AT, song.wait);
    put_u32_le(out + layout::REPEAT_START_AT, static_cast<uint32_t>(song.repeat_start));
    put_u32_le(out + layout::REPEAT_END_AT, static_cast<uint32_t>(song.repeat_end));
    put_u32_le(out + layout::RECORD_COUNT_AT, static_cast<uint32_t>(song.record_count));
    for (int32_t i = 0; i < kMelodicTracks; ++i)
        if (song.instrument[i].defined) put_instrument(out + layout::instrument_at(i), song.instrument[i]);
    put_u32_le(out + layout::DRUM_VOLUME_AT, song.drum_volume);
    uint64_t records = static_cast<uint64_t>(song.record_count);
    for (int32_t t = 0; t < kTracks; ++t)
        for (int32_t r = 0; r < song.record_count; ++r)
            put_u32_le(out + layout::record_at(t, records, static_cast<uint64_t>(r)), song.records[r][t]);
    return layout::song_file_size(records);
}

bool write_file(const char* path, const uint8_t* data, uint64_t size) {
    FILE* out = std::fopen(path, "wb");
    if (out == nullptr) {
        std::fprintf(stderr, "%s: cannot create file\n", path);
        return false;
    }
    bool ok = std::fwrite(data, 1, static_cast<size_t>(size), out) == static_cast<size_t>(size);
    ok = std::fclose(out) == 0 && ok;
    if (!ok) std::fprintf(stderr, "%s: write error\n", path);
    return ok;
}

void print_summary(const char* path, const Song& song) {
    int32_t step_ms = (static_cast<int32_t>(song.wait) / kTickMs + 1) * kTickMs;
    int32_t end = song.repeat_end < song.record_count ? song.repeat_end : song.record_count;
    std::printf("%s: %d records, repeat %d..%d, %.2f s once through at the %d ms tick\n", path, song.record_count,
                song.repeat_start, end, end * step_ms / 1000.0, kTickMs);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tsmwrite in.txt out.tsm\n");
        return 1;
    }
    FILE* in = std::fopen(argv[1], "r");
    if (in == nullptr) {
        std::fprintf(stderr, "%s: cannot open file\n", argv[1]);
        return 1;
    }
    Parser parser{};
    parser.path = argv[1];
    parser.song = &g_song;
    bool ok = read_description(parser, in);
    std::fclose(in);
    if (!ok) return 1;
    uint64_t size = build_file(g_song, g_file);
    if (!write_file(argv[2], g_file, size)) return 1;
    print_summary(argv[2], g_song);
    return 0;
}
