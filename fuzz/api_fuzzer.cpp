// libFuzzer target: the public C API as a program would use it, with the
// song, the options and the calls' arguments taken from the input, invalid
// ones included.
//
// Input: the control bytes of fuzz_support.h, then the song. The flags:
//   bit 0  load from a null pointer (with the input's size)
//   bit 1  create with null options (the defaults) instead of the input's
//   bit 2  free the song as soon as the renderer holds it
//
// Besides what the sanitizers catch, every input checks the contracts of
// tamsel.h: statuses and untouched outputs on failure, the song's fields as
// the file holds them, the length and loop points against the render, float
// samples equal to the integer sums over 32768, a seek equal to the slice
// of a render from the start, muting that splits the mix exactly and
// resumes exactly, tracks without notes that stay silent, and the tracks
// with notes as the file has them.
#include <cstdint>
#include <cstring>

#include "fuzz_support.h"
#include "tamsel/tamsel.h"

// A tenth of a second per render; several renders per input.
static constexpr uint64_t WINDOW_FRAMES = 4800;
// Lengths are measured this far, past the farthest seek.
static constexpr uint64_t LENGTH_LIMIT = 2 * WINDOW_FRAMES;
static constexpr size_t MAX_WRAPS = 64;

static float floats[2 * WINDOW_FRAMES];
static int32_t full_mix[2 * WINDOW_FRAMES];
static int32_t first_part[2 * WINDOW_FRAMES];
static int32_t second_part[2 * WINDOW_FRAMES];
static int32_t scratch[2 * WINDOW_FRAMES];

// Something that is not a valid object, to see that outputs stay untouched.
static tamsel_song* const UNTOUCHED_SONG = (tamsel_song*)&floats[1];
static tamsel_renderer* const UNTOUCHED_RENDERER = (tamsel_renderer*)&floats[3];

// Every status, and the values up to the enumeration's width, has a
// message; the version is the header's.
static void check_texts() {
    for (int32_t status = 0; status < 8; status++) {
        const char* message = tamsel_status_message((tamsel_status)status);
        FUZZ_CHECK(message != nullptr && message[0] != '\0');
    }
    char version[32];
    std::snprintf(version, sizeof version, "%d.%d.%d", TAMSEL_VERSION_MAJOR, TAMSEL_VERSION_MINOR,
                  TAMSEL_VERSION_PATCH);
    FUZZ_CHECK(std::strcmp(tamsel_version(), version) == 0);
}

static void check_null_song_calls() {
    tamsel_song* song = UNTOUCHED_SONG;
    FUZZ_CHECK(tamsel_song_load_memory(nullptr, 1, &song) == TAMSEL_ERR_INVALID_ARGUMENT);
    FUZZ_CHECK(tamsel_song_load_memory("TSM", 3, nullptr) == TAMSEL_ERR_INVALID_ARGUMENT);
    FUZZ_CHECK(tamsel_song_load_memory(nullptr, 0, &song) == TAMSEL_ERR_NOT_A_SONG);
    FUZZ_CHECK(tamsel_song_load_file(nullptr, &song) == TAMSEL_ERR_INVALID_ARGUMENT);
    FUZZ_CHECK(song == UNTOUCHED_SONG);
    tamsel_song_info info;
    std::memset(&info, 0xA5, sizeof info);
    tamsel_song_get_info(nullptr, &info);
    for (size_t i = 0; i < sizeof info; i++) FUZZ_CHECK(((const uint8_t*)&info)[i] == 0xA5);
    int8_t waveform[256];
    uint8_t envelope[64];
    FUZZ_CHECK(tamsel_song_get_instrument_shape(nullptr, 0, waveform, envelope) == TAMSEL_ERR_INVALID_ARGUMENT);
    FUZZ_CHECK(tamsel_song_tracks_with_notes(nullptr) == 0);
    tamsel_song_free(nullptr);
    tamsel_render_options_init(nullptr);
    tamsel_renderer* renderer = UNTOUCHED_RENDERER;
    FUZZ_CHECK(tamsel_renderer_create(nullptr, nullptr, &renderer) == TAMSEL_ERR_INVALID_ARGUMENT);
    FUZZ_CHECK(renderer == UNTOUCHED_RENDERER);
    uint64_t frames = 0;
    size_t count = 0;
    FUZZ_CHECK(tamsel_renderer_length(nullptr, 10, &frames) == TAMSEL_ERR_INVALID_ARGUMENT);
    FUZZ_CHECK(tamsel_renderer_wraps(nullptr, 10, nullptr, 0, &count) == TAMSEL_ERR_INVALID_ARGUMENT);
    FUZZ_CHECK(tamsel_render_float(nullptr, floats, 1) == 0);
    FUZZ_CHECK(tamsel_render_int32(nullptr, scratch, 1) == 0);
    FUZZ_CHECK(tamsel_renderer_seek(nullptr, 0) == TAMSEL_ERR_INVALID_ARGUMENT);
    FUZZ_CHECK(tamsel_renderer_position(nullptr) == 0);
    FUZZ_CHECK(tamsel_renderer_set_muted_tracks(nullptr, 0) == TAMSEL_ERR_INVALID_ARGUMENT);
    tamsel_renderer_free(nullptr);
}

// The header fields and the shapes read back as the file holds them.
static void check_song_fields(const tamsel_song* song, const uint8_t* bytes, size_t size, int32_t instrument) {
    tamsel_song_info info;
    tamsel_song_get_info(song, &info);
    FUZZ_CHECK(info.step_ms == word_at(bytes, size, layout::WAIT_AT));
    FUZZ_CHECK(info.repeat_start == (int32_t)word_at(bytes, size, layout::REPEAT_START_AT));
    FUZZ_CHECK(info.repeat_end == (int32_t)word_at(bytes, size, layout::REPEAT_END_AT));
    FUZZ_CHECK(info.records == (int32_t)word_at(bytes, size, layout::RECORD_COUNT_AT));
    FUZZ_CHECK(info.drum_volume == word_at(bytes, size, layout::DRUM_VOLUME_AT));
    for (int32_t i = 0; i < layout::MELODIC_TRACK_COUNT; i++) {
        uint64_t at = layout::instrument_at(i);
        FUZZ_CHECK(info.instruments[i].octave == (uint8_t)word_at(bytes, size, at + layout::INSTRUMENT_OCTAVE_AT));
        FUZZ_CHECK(info.instruments[i].length == (int32_t)word_at(bytes, size, at + layout::INSTRUMENT_LENGTH_AT));
        FUZZ_CHECK(info.instruments[i].volume == (int32_t)word_at(bytes, size, at + layout::INSTRUMENT_VOLUME_AT));
    }
    int8_t waveform[256];
    uint8_t envelope[64];
    std::memset(waveform, 0x5A, sizeof waveform);
    tamsel_status status = tamsel_song_get_instrument_shape(song, instrument, waveform, envelope);
    if (instrument < 0 || instrument > 2) {
        FUZZ_CHECK(status == TAMSEL_ERR_INVALID_ARGUMENT);
        for (size_t k = 0; k < sizeof waveform; k++) FUZZ_CHECK(waveform[k] == 0x5A);
        return;
    }
    FUZZ_CHECK(status == TAMSEL_OK);
    uint64_t waveform_at = layout::instrument_at(instrument) + layout::INSTRUMENT_WAVEFORM_AT;
    uint64_t envelope_at = layout::instrument_at(instrument) + layout::INSTRUMENT_ENVELOPE_AT;
    for (uint32_t k = 0; k < layout::WAVEFORM_SIZE; k++) {
        FUZZ_CHECK((uint8_t)waveform[k] == (uint8_t)word_at(bytes, size, waveform_at + k));
    }
    for (uint32_t k = 0; k < layout::ENVELOPE_SIZE; k++) {
        FUZZ_CHECK(envelope[k] == (uint8_t)word_at(bytes, size, envelope_at + k));
    }
    FUZZ_CHECK(tamsel_song_get_instrument_shape(song, instrument, nullptr, envelope) == TAMSEL_ERR_INVALID_ARGUMENT);
    FUZZ_CHECK(tamsel_song_get_instrument_shape(song, instrument, waveform, nullptr) == TAMSEL_ERR_INVALID_ARGUMENT);
}

static tamsel_render_options options_from(const Controls* c) {
    tamsel_render_options options;
    tamsel_render_options_init(&options);
    FUZZ_CHECK(options.loops == 0 && options.tick_ms == 20.0 && options.muted_tracks == 0);
    options.loops = c->loops;
    options.tick_ms = c->tick_ms;
    options.muted_tracks = c->muted;
    return options;
}

static uint64_t limit_from_choice(uint8_t choice) {
    static const uint64_t LIMITS[8] = {0, 1, 2, 100, WINDOW_FRAMES / 2, WINDOW_FRAMES - 1, WINDOW_FRAMES, 9999};
    return LIMITS[choice & 7u];
}

// The length up to LENGTH_LIMIT, or LENGTH_LIMIT + 1 when the render is
// longer; a second limit from the input must agree with it.
static uint64_t check_length(const tamsel_renderer* renderer, uint8_t limit_choice) {
    uint64_t frames = 12345;
    FUZZ_CHECK(tamsel_renderer_length(renderer, WINDOW_FRAMES, nullptr) == TAMSEL_ERR_INVALID_ARGUMENT);
    tamsel_status status = tamsel_renderer_length(renderer, LENGTH_LIMIT, &frames);
    FUZZ_CHECK(status == TAMSEL_OK || status == TAMSEL_ERR_TOO_LONG);
    if (status != TAMSEL_OK) FUZZ_CHECK(frames == 12345);
    uint64_t length = status == TAMSEL_OK ? frames : LENGTH_LIMIT + 1;
    FUZZ_CHECK(length <= LENGTH_LIMIT + 1);

    uint64_t limit = limit_from_choice(limit_choice);
    uint64_t again = 0;
    tamsel_status second = tamsel_renderer_length(renderer, limit, &again);
    if (length <= LENGTH_LIMIT && length <= limit) {
        FUZZ_CHECK(second == TAMSEL_OK && again == length);
    } else if (limit <= LENGTH_LIMIT) {
        FUZZ_CHECK(second == TAMSEL_ERR_TOO_LONG);
    }
    return length;
}

// The loop points up to LENGTH_LIMIT: in order, before the end, at most one
// per extra pass, and the same list whatever the capacity.
static void check_wraps(const tamsel_renderer* renderer, int32_t loops, uint64_t length, uint32_t capacity) {
    uint64_t all[MAX_WRAPS];
    size_t count = 0;
    tamsel_status status = tamsel_renderer_wraps(renderer, LENGTH_LIMIT, all, MAX_WRAPS, &count);
    FUZZ_CHECK((status == TAMSEL_OK) == (length <= LENGTH_LIMIT));
    if (status != TAMSEL_OK) return;
    FUZZ_CHECK(count <= (size_t)(loops < 0 ? 0 : loops));
    for (size_t i = 0; i < count && i < MAX_WRAPS; i++) {
        FUZZ_CHECK(all[i] <= length);
        if (i > 0) FUZZ_CHECK(all[i] >= all[i - 1]);
    }

    uint64_t some[MAX_WRAPS + 1];
    size_t cap = capacity % (MAX_WRAPS + 1);
    some[cap] = 777;
    size_t again = 0;
    FUZZ_CHECK(tamsel_renderer_wraps(renderer, LENGTH_LIMIT, cap ? some : nullptr, cap, &again) == TAMSEL_OK);
    FUZZ_CHECK(again == count);
    FUZZ_CHECK(some[cap] == 777);
    for (size_t i = 0; i < cap && i < count && i < MAX_WRAPS; i++) FUZZ_CHECK(some[i] == all[i]);
    FUZZ_CHECK(tamsel_renderer_wraps(renderer, LENGTH_LIMIT, nullptr, 1, &again) == TAMSEL_ERR_INVALID_ARGUMENT);
    FUZZ_CHECK(tamsel_renderer_wraps(renderer, LENGTH_LIMIT, all, MAX_WRAPS, nullptr) == TAMSEL_ERR_INVALID_ARGUMENT);
}

// Renders the window as floats in two calls split at split frames, then
// again from frame 0 as integer sums; returns the frames rendered.
static uint64_t render_twice(tamsel_renderer* renderer, uint64_t length, uint32_t split) {
    FUZZ_CHECK(tamsel_renderer_position(renderer) == 0);
    FUZZ_CHECK(tamsel_render_float(renderer, nullptr, 10) == 0);
    FUZZ_CHECK(tamsel_render_int32(renderer, nullptr, 10) == 0);
    FUZZ_CHECK(tamsel_renderer_position(renderer) == 0);
    uint64_t first = split % (WINDOW_FRAMES + 1);
    uint64_t got = tamsel_render_float(renderer, floats, first);
    if (got == first) got += tamsel_render_float(renderer, floats + 2 * got, WINDOW_FRAMES - first);
    uint64_t expected = length < WINDOW_FRAMES ? length : WINDOW_FRAMES;
    FUZZ_CHECK(got == expected);
    FUZZ_CHECK(tamsel_renderer_position(renderer) == got);
    if (got < WINDOW_FRAMES) FUZZ_CHECK(tamsel_render_float(renderer, floats + 2 * got, 1) == 0);

    FUZZ_CHECK(tamsel_renderer_seek(renderer, 0) == TAMSEL_OK);
    FUZZ_CHECK(tamsel_renderer_position(renderer) == 0);
    FUZZ_CHECK(tamsel_render_int32(renderer, full_mix, WINDOW_FRAMES) == got);
    for (uint64_t i = 0; i < 2 * got; i++) {
        float from_sum = (float)((double)full_mix[i] / 32768.0);
        FUZZ_CHECK(std::memcmp(&from_sum, &floats[i], sizeof from_sum) == 0);
    }
    return got;
}

// A seek yields the frames of the render from the start; past the end it
// leaves the renderer at the end.
static void check_seek(tamsel_renderer* renderer, uint64_t frame, uint64_t count, uint64_t rendered, uint64_t length) {
    FUZZ_CHECK(tamsel_renderer_seek(renderer, frame) == TAMSEL_OK);
    uint64_t position = tamsel_renderer_position(renderer);
    FUZZ_CHECK(position == (frame < length ? frame : length));
    uint64_t got = tamsel_render_int32(renderer, scratch, count);
    if (frame >= length) {
        FUZZ_CHECK(got == 0);
        return;
    }
    if (length <= LENGTH_LIMIT) {
        FUZZ_CHECK(got == (length - frame < count ? length - frame : count));
    } else {
        FUZZ_CHECK(got == count || (got < count && frame + got > LENGTH_LIMIT));
    }
    FUZZ_CHECK(tamsel_renderer_position(renderer) == frame + got);
    uint64_t comparable = frame < rendered ? rendered - frame : 0;
    if (comparable > got) comparable = got;
    if (comparable == 0) return;
    FUZZ_CHECK(std::memcmp(scratch, full_mix + 2 * frame, 2 * (size_t)comparable * sizeof(int32_t)) == 0);
}

static uint64_t render_sums_from_start(tamsel_renderer* renderer, uint32_t muted, int32_t* out) {
    FUZZ_CHECK(tamsel_renderer_seek(renderer, 0) == TAMSEL_OK);
    FUZZ_CHECK(tamsel_renderer_set_muted_tracks(renderer, muted) == TAMSEL_OK);
    return tamsel_render_int32(renderer, out, WINDOW_FRAMES);
}

// Muting more tracks splits the mix: the two renders that hear disjoint
// halves of the heard tracks add up, as 32-bit integers, to the full mix.
// A half holding no track with notes is silent. Muting part of the way
// through and unmuting resumes the full mix exactly.
static void check_muting(tamsel_renderer* renderer, uint32_t muted, uint32_t mask, uint32_t with_notes,
                         uint64_t rendered, uint64_t split) {
    uint32_t first_mask = muted | mask;
    uint32_t second_mask = muted | (~mask & 0xFu) | (mask & 0xF0u);
    FUZZ_CHECK(render_sums_from_start(renderer, first_mask, first_part) == rendered);
    FUZZ_CHECK(render_sums_from_start(renderer, second_mask, second_part) == rendered);
    bool first_silent = (~first_mask & with_notes & 0xFu) == 0;
    bool second_silent = (~second_mask & with_notes & 0xFu) == 0;
    for (uint64_t i = 0; i < 2 * rendered; i++) {
        uint32_t sum = (uint32_t)first_part[i] + (uint32_t)second_part[i];
        FUZZ_CHECK((int32_t)sum == full_mix[i]);
        if (first_silent) FUZZ_CHECK(first_part[i] == 0);
        if (second_silent) FUZZ_CHECK(second_part[i] == 0);
    }

    uint64_t part = split % (rendered + 1);
    FUZZ_CHECK(tamsel_renderer_seek(renderer, 0) == TAMSEL_OK);
    FUZZ_CHECK(tamsel_renderer_set_muted_tracks(renderer, first_mask) == TAMSEL_OK);
    FUZZ_CHECK(tamsel_render_int32(renderer, scratch, part) == part);
    FUZZ_CHECK(tamsel_renderer_set_muted_tracks(renderer, muted) == TAMSEL_OK);
    FUZZ_CHECK(tamsel_render_int32(renderer, scratch, rendered - part) == rendered - part);
    FUZZ_CHECK(std::memcmp(scratch, full_mix + 2 * part, 2 * (size_t)(rendered - part) * sizeof(int32_t)) == 0);
}

// Returns true when it has released the caller's reference to the song.
static bool play(tamsel_song* song, const Controls* c, const tamsel_render_options* options, uint32_t with_notes) {
    tamsel_renderer* renderer = UNTOUCHED_RENDERER;
    FUZZ_CHECK(tamsel_renderer_create(song, options, nullptr) == TAMSEL_ERR_INVALID_ARGUMENT);
    tamsel_status status = tamsel_renderer_create(song, options, &renderer);
    bool valid = !options || tick_is_valid(options->tick_ms);
    if (!valid) {
        FUZZ_CHECK(status == TAMSEL_ERR_INVALID_ARGUMENT && renderer == UNTOUCHED_RENDERER);
        return false;
    }
    FUZZ_CHECK(status == TAMSEL_OK && renderer != UNTOUCHED_RENDERER && renderer != nullptr);
    // The renderer holds its own reference to the song.
    bool released = (c->flags & 4u) != 0;
    if (released) tamsel_song_free(song);

    int32_t loops = options ? options->loops : 0;
    uint32_t muted = options ? options->muted_tracks : 0;
    uint64_t length = check_length(renderer, c->limit_choice);
    check_wraps(renderer, loops, length, c->wrap_capacity);
    uint64_t rendered = render_twice(renderer, length, c->count);
    uint64_t count = c->count % (WINDOW_FRAMES + 1);
    check_seek(renderer, c->seek_frame % (WINDOW_FRAMES + WINDOW_FRAMES / 2), count, rendered, length);
    check_seek(renderer, c->seek_frame % (rendered + 1) / 2, count, rendered, length);
    check_muting(renderer, muted, c->second_mute, with_notes, rendered, c->seek_frame);
    tamsel_renderer_free(renderer);
    return released;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < CONTROL_BYTES) return -1;
    Controls c = read_controls(data);
    const uint8_t* bytes = data + CONTROL_BYTES;
    size_t song_size = size - CONTROL_BYTES;
    check_texts();
    check_null_song_calls();

    tamsel_song* song = UNTOUCHED_SONG;
    bool from_null = (c.flags & 1u) != 0;
    tamsel_status status = tamsel_song_load_memory(from_null ? nullptr : bytes, song_size, &song);
    if (from_null && song_size > 0) {
        FUZZ_CHECK(status == TAMSEL_ERR_INVALID_ARGUMENT && song == UNTOUCHED_SONG);
        return 0;
    }
    if (!starts_with_tag(bytes, song_size)) {
        FUZZ_CHECK(status == TAMSEL_ERR_NOT_A_SONG && song == UNTOUCHED_SONG);
        return 0;
    }
    FUZZ_CHECK(status == TAMSEL_OK && song != UNTOUCHED_SONG && song != nullptr);
    check_song_fields(song, bytes, song_size, c.instrument);

    // The tracks with notes, found from the file, tell which renders must be
    // silent; the library's own answer is compared last, so that every other
    // check has run on the input by then.
    uint32_t with_notes = tracks_reached_with_notes(bytes, song_size);
    uint32_t reported = tamsel_song_tracks_with_notes(song);
    tamsel_render_options options = options_from(&c);
    if (!play(song, &c, (c.flags & 2u) ? nullptr : &options, with_notes)) tamsel_song_free(song);
    FUZZ_CHECK(reported == with_notes);
    return 0;
}
