// libFuzzer target: the public C API as a program would use it, with the
// song, the options and the calls' arguments taken from the input, invalid
// ones included.
//
// Input: the control bytes of fuzz_support.h, then the song. Loops of -1
// play on for ever (TAMSEL_LOOPS_FOREVER). The mute byte's bits 0..3 are
// the render's muted tracks. The flags:
//   bit 0    load from a null pointer (with the input's size)
//   bit 1    create with null options (the defaults) instead of the input's
//   bit 2    free the song as soon as the renderer holds it
//   bit 3    add a mute bit beyond the four tracks to the options (refused)
//   bits 4-6 the loop given for a loop tail: the song's own, or one changed
//            from it by the seek frame (see loop_to_try)
//
// Besides what the sanitizers catch, every input checks the contracts of
// tamsel.h: statuses and untouched outputs on failure (a refused call
// changes nothing), the song's fields as the file holds them, the length
// and loop points against the render, a render that never ends told from
// one too long, float samples equal to the integer sums over 32768 and
// 16-bit samples equal to them saturated, a seek equal to the slice of a
// render from the start, the play state as the file's records say and the
// same after a seek, muting that splits the mix exactly and resumes exactly
// (bad mute bits refused midway), tracks without notes that stay silent,
// the tracks with notes as the file has them, an endless render equal to a
// finite one up to that one's end, the loop as the render's wraps place
// it, and a loop tail given for that loop alone, ending on the render's
// frame before the loop.
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
static int16_t shorts[2 * WINDOW_FRAMES];
static int32_t full_mix[2 * WINDOW_FRAMES];
static int32_t first_part[2 * WINDOW_FRAMES];
static int32_t second_part[2 * WINDOW_FRAMES];
static int32_t scratch[2 * WINDOW_FRAMES];
static int32_t tail[2 * TAMSEL_LOOP_CROSSFADE_FRAMES];
static float float_tail[2 * TAMSEL_LOOP_CROSSFADE_FRAMES];

// The muted-track bits a renderer knows.
static constexpr uint32_t ALL_TRACKS = (1u << TAMSEL_TRACK_COUNT) - 1u;

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
    FUZZ_CHECK(tamsel_renderer_measure(nullptr, 10, &frames) == TAMSEL_ERR_INVALID_ARGUMENT);
    FUZZ_CHECK(tamsel_renderer_wraps(nullptr, 10, nullptr, 0, &count) == TAMSEL_ERR_INVALID_ARGUMENT);
    FUZZ_CHECK(tamsel_render_float(nullptr, floats, 1) == 0);
    FUZZ_CHECK(tamsel_render_int32(nullptr, scratch, 1) == 0);
    FUZZ_CHECK(tamsel_render_int16(nullptr, shorts, 1) == 0);
    FUZZ_CHECK(tamsel_renderer_seek(nullptr, 0) == TAMSEL_ERR_INVALID_ARGUMENT);
    FUZZ_CHECK(tamsel_renderer_position(nullptr) == 0);
    FUZZ_CHECK(tamsel_renderer_set_muted_tracks(nullptr, 0) == TAMSEL_ERR_INVALID_ARGUMENT);
    tamsel_play_state state;
    FUZZ_CHECK(tamsel_renderer_get_state(nullptr, &state) == TAMSEL_ERR_INVALID_ARGUMENT);
    tamsel_loop loop = {5, 7, 9};
    FUZZ_CHECK(tamsel_renderer_find_loop(nullptr, 10, &loop) == TAMSEL_ERR_INVALID_ARGUMENT);
    FUZZ_CHECK(loop.start == 5 && loop.end == 7 && loop.crossfade == 9);
    FUZZ_CHECK(tamsel_renderer_loop_tail_int32(nullptr, &loop, tail, nullptr) == TAMSEL_ERR_INVALID_ARGUMENT);
    FUZZ_CHECK(tamsel_renderer_loop_tail_float(nullptr, &loop, float_tail, nullptr) == TAMSEL_ERR_INVALID_ARGUMENT);
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
    options.muted_tracks = c->muted & ALL_TRACKS;
    if (c->flags & 8u) options.muted_tracks |= 1u << (TAMSEL_TRACK_COUNT + c->second_mute % 28u);
    return options;
}

static uint64_t limit_from_choice(uint8_t choice) {
    static const uint64_t LIMITS[8] = {0, 1, 2, 100, WINDOW_FRAMES / 2, WINDOW_FRAMES - 1, WINDOW_FRAMES, 9999};
    return LIMITS[choice & 7u];
}

// The length up to LENGTH_LIMIT, or LENGTH_LIMIT + 1 when the render is
// longer or never ends (an endless one always never ends); a second limit
// from the input must agree with it. A render found never to end within
// LENGTH_LIMIT is found so within any larger limit; one that goes on past
// LENGTH_LIMIT does so past any smaller.
static uint64_t check_length(const tamsel_renderer* renderer, uint8_t limit_choice, bool endless,
                             tamsel_status* status) {
    uint64_t frames = 12345;
    FUZZ_CHECK(tamsel_renderer_length(renderer, WINDOW_FRAMES, nullptr) == TAMSEL_ERR_INVALID_ARGUMENT);
    FUZZ_CHECK(tamsel_renderer_measure(renderer, WINDOW_FRAMES, nullptr) == TAMSEL_ERR_INVALID_ARGUMENT);
    *status = tamsel_renderer_measure(renderer, LENGTH_LIMIT, &frames);
    FUZZ_CHECK(*status == TAMSEL_OK || *status == TAMSEL_ERR_TOO_LONG || *status == TAMSEL_ERR_NEVER_ENDS);
    if (endless) FUZZ_CHECK(*status == TAMSEL_ERR_NEVER_ENDS);
    if (*status != TAMSEL_OK) FUZZ_CHECK(frames == 12345);
    // tamsel_renderer_length answers TOO_LONG for both failures.
    uint64_t same = 12345;
    tamsel_status length_status = tamsel_renderer_length(renderer, LENGTH_LIMIT, &same);
    FUZZ_CHECK(length_status == (*status == TAMSEL_OK ? TAMSEL_OK : TAMSEL_ERR_TOO_LONG) && same == frames);
    uint64_t length = *status == TAMSEL_OK ? frames : LENGTH_LIMIT + 1;
    FUZZ_CHECK(length <= LENGTH_LIMIT + 1);

    uint64_t limit = limit_from_choice(limit_choice);
    uint64_t again = 12345;
    tamsel_status second = tamsel_renderer_measure(renderer, limit, &again);
    if (length <= LENGTH_LIMIT && length <= limit) {
        FUZZ_CHECK(second == TAMSEL_OK && again == length);
    } else if (*status == TAMSEL_ERR_NEVER_ENDS) {
        FUZZ_CHECK(second == TAMSEL_ERR_NEVER_ENDS || (second == TAMSEL_ERR_TOO_LONG && limit < LENGTH_LIMIT));
    } else if (limit <= LENGTH_LIMIT) {
        FUZZ_CHECK(second == TAMSEL_ERR_TOO_LONG);
    }
    if (second != TAMSEL_OK) FUZZ_CHECK(again == 12345);
    return length;
}

// The loop points up to LENGTH_LIMIT: in order, before the end, at most one
// per extra pass, and the same list whatever the capacity.
static void check_wraps(const tamsel_renderer* renderer, int32_t loops, uint64_t length, tamsel_status length_status,
                        uint32_t capacity) {
    uint64_t all[MAX_WRAPS];
    size_t count = 0;
    tamsel_status status = tamsel_renderer_wraps(renderer, LENGTH_LIMIT, all, MAX_WRAPS, &count);
    FUZZ_CHECK(status == (length_status == TAMSEL_OK ? TAMSEL_OK : TAMSEL_ERR_TOO_LONG));
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

// The song file and what the play state must show of it.
struct SongBytes {
    const uint8_t* bytes;
    size_t size;
};

// The play state: at the renderer's position, its notes the low 24 bits of
// its record's words in the file (0 beyond the records held), and the same
// state again when asked twice.
static tamsel_play_state check_state(const tamsel_renderer* renderer, const SongBytes* song) {
    tamsel_play_state state;
    FUZZ_CHECK(tamsel_renderer_get_state(renderer, nullptr) == TAMSEL_ERR_INVALID_ARGUMENT);
    FUZZ_CHECK(tamsel_renderer_get_state(renderer, &state) == TAMSEL_OK);
    FUZZ_CHECK(state.frame == tamsel_renderer_position(renderer));
    int32_t held = records_held((int32_t)word_at(song->bytes, song->size, layout::RECORD_COUNT_AT));
    for (int32_t t = 0; t < TAMSEL_TRACK_COUNT; t++) {
        uint32_t word = state.record >= 0 && state.record < held
                            ? record_in_file(song->bytes, song->size, t, state.record) & 0xFFFFFFu
                            : 0;
        FUZZ_CHECK(state.notes[t] == word);
    }
    tamsel_play_state again;
    FUZZ_CHECK(tamsel_renderer_get_state(renderer, &again) == TAMSEL_OK);
    FUZZ_CHECK(std::memcmp(&state, &again, sizeof state) == 0);
    return state;
}

static bool same_state(const tamsel_play_state& a, const tamsel_play_state& b) {
    return a.frame == b.frame && a.record == b.record && a.pass == b.pass &&
           std::memcmp(a.notes, b.notes, sizeof a.notes) == 0;
}

// Renders the window as floats in two calls split at split frames, then
// again from frame 0 as integer sums and as 16-bit samples; returns the
// frames rendered. The play state where the two calls meet is the state
// after a seek there.
static uint64_t render_twice(tamsel_renderer* renderer, uint64_t length, uint32_t split, const SongBytes* song) {
    FUZZ_CHECK(tamsel_renderer_position(renderer) == 0);
    FUZZ_CHECK(tamsel_render_float(renderer, nullptr, 10) == 0);
    FUZZ_CHECK(tamsel_render_int32(renderer, nullptr, 10) == 0);
    FUZZ_CHECK(tamsel_render_int16(renderer, nullptr, 10) == 0);
    FUZZ_CHECK(tamsel_renderer_position(renderer) == 0);
    check_state(renderer, song);
    uint64_t first = split % (WINDOW_FRAMES + 1);
    uint64_t got = tamsel_render_float(renderer, floats, first);
    tamsel_play_state at_split = check_state(renderer, song);
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

    FUZZ_CHECK(tamsel_renderer_seek(renderer, at_split.frame) == TAMSEL_OK);
    FUZZ_CHECK(same_state(check_state(renderer, song), at_split));
    FUZZ_CHECK(tamsel_renderer_seek(renderer, 0) == TAMSEL_OK);
    uint64_t part = tamsel_render_int16(renderer, shorts, first);
    if (part == first) part += tamsel_render_int16(renderer, shorts + 2 * part, WINDOW_FRAMES - first);
    FUZZ_CHECK(part == got);
    for (uint64_t i = 0; i < 2 * got; i++) {
        int32_t sum = full_mix[i];
        FUZZ_CHECK(shorts[i] == (sum < INT16_MIN ? INT16_MIN : sum > INT16_MAX ? INT16_MAX : sum));
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
// A mute with bits beyond the tracks is refused midway and changes nothing.
static void check_muting(tamsel_renderer* renderer, uint32_t muted, uint32_t mask, uint32_t with_notes,
                         uint64_t rendered, uint64_t split) {
    uint32_t first_mask = muted | (mask & ALL_TRACKS);
    uint32_t second_mask = muted | (~mask & ALL_TRACKS);
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
    uint64_t refused_at = part / 2;
    FUZZ_CHECK(tamsel_renderer_seek(renderer, 0) == TAMSEL_OK);
    FUZZ_CHECK(tamsel_renderer_set_muted_tracks(renderer, first_mask) == TAMSEL_OK);
    FUZZ_CHECK(tamsel_render_int32(renderer, scratch, refused_at) == refused_at);
    FUZZ_CHECK(tamsel_renderer_set_muted_tracks(renderer, mask | (1u << (4 + split % 28))) ==
               TAMSEL_ERR_INVALID_ARGUMENT);
    FUZZ_CHECK(tamsel_render_int32(renderer, scratch + 2 * refused_at, part - refused_at) == part - refused_at);
    FUZZ_CHECK(std::memcmp(scratch, first_part, 2 * (size_t)part * sizeof(int32_t)) == 0);
    FUZZ_CHECK(tamsel_renderer_set_muted_tracks(renderer, muted) == TAMSEL_OK);
    FUZZ_CHECK(tamsel_render_int32(renderer, scratch, rendered - part) == rendered - part);
    FUZZ_CHECK(std::memcmp(scratch, full_mix + 2 * part, 2 * (size_t)(rendered - part) * sizeof(int32_t)) == 0);
}

// An endless render's frames are those of every finite render of the song
// up to that render's end, and it never runs out.
// The other kind of the render (endless for a finite one, a finite one of
// 0 to 3 loops for an endless one), to compare with.
static tamsel_renderer* other_kind(const tamsel_song* song, const tamsel_render_options* options, uint32_t loops_byte) {
    tamsel_render_options other;
    tamsel_render_options_init(&other);
    if (options) other = *options;
    other.loops = other.loops == TAMSEL_LOOPS_FOREVER ? (int32_t)(loops_byte & 3u) : TAMSEL_LOOPS_FOREVER;
    tamsel_renderer* renderer = nullptr;
    FUZZ_CHECK(tamsel_renderer_create(song, &other, &renderer) == TAMSEL_OK);
    return renderer;
}

static void check_endless_agrees(tamsel_renderer* renderer, bool endless, uint64_t rendered) {
    if (endless) FUZZ_CHECK(rendered == WINDOW_FRAMES);
    uint64_t got = tamsel_render_int32(renderer, scratch, WINDOW_FRAMES);
    if (!endless) FUZZ_CHECK(got == WINDOW_FRAMES);
    uint64_t both = got < rendered ? got : rendered;
    FUZZ_CHECK(std::memcmp(scratch, full_mix, 2 * (size_t)both * sizeof(int32_t)) == 0);
    tamsel_renderer_free(renderer);
}

// What the render with one extra pass tells of the song's loop: its one
// loop point S and its end E, when they lie within LENGTH_LIMIT.
struct OnePass {
    tamsel_status length;  // of that render, up to LENGTH_LIMIT
    uint64_t end;          // its end, when length is TAMSEL_OK
    bool has_loop;
    tamsel_loop loop;  // when has_loop
};

static OnePass one_pass_of(const tamsel_song* song, const tamsel_render_options* options) {
    tamsel_render_options one;
    tamsel_render_options_init(&one);
    if (options) one.tick_ms = options->tick_ms;
    one.loops = 1;
    tamsel_renderer* renderer = nullptr;
    FUZZ_CHECK(tamsel_renderer_create(song, &one, &renderer) == TAMSEL_OK);
    OnePass pass = {TAMSEL_OK, 0, false, {0, 0, 0}};
    pass.length = tamsel_renderer_measure(renderer, LENGTH_LIMIT, &pass.end);
    uint64_t end = pass.end;
    uint64_t wraps[2] = {0, 0};
    size_t count = 0;
    if (pass.length == TAMSEL_OK) {
        FUZZ_CHECK(tamsel_renderer_wraps(renderer, LENGTH_LIMIT, wraps, 2, &count) == TAMSEL_OK);
        FUZZ_CHECK(count <= 1);
        pass.has_loop = count == 1 && wraps[0] < end;
    }
    if (pass.has_loop) {
        uint64_t crossfade = TAMSEL_LOOP_CROSSFADE_FRAMES;
        if (wraps[0] < crossfade) crossfade = wraps[0];
        if (end - wraps[0] < crossfade) crossfade = end - wraps[0];
        pass.loop = {wraps[0], end, (uint32_t)crossfade};
    }
    tamsel_renderer_free(renderer);
    return pass;
}

static bool same_loop(const tamsel_loop& a, const tamsel_loop& b) {
    return a.start == b.start && a.end == b.end && a.crossfade == b.crossfade;
}

// find_loop as the one-pass render places the loop, at a limit from the
// input and without one. Only asked when that render's end (or its never
// ending) is known within LENGTH_LIMIT: otherwise the search could follow
// the song for days of audio.
static void check_find_loop(const tamsel_renderer* renderer, const OnePass* pass, uint8_t limit_choice) {
    if (pass->length == TAMSEL_ERR_TOO_LONG) return;
    uint64_t limit = limit_from_choice(limit_choice);
    tamsel_loop loop = {5, 7, 9};
    const tamsel_loop untouched = loop;
    tamsel_status status = tamsel_renderer_find_loop(renderer, limit, &loop);
    if (pass->length == TAMSEL_OK && pass->end > limit) {
        FUZZ_CHECK(status == TAMSEL_ERR_TOO_LONG);
    } else if (pass->has_loop) {
        FUZZ_CHECK(status == TAMSEL_OK && same_loop(loop, pass->loop));
    } else {
        FUZZ_CHECK(status == TAMSEL_ERR_NO_LOOP);
    }
    if (status != TAMSEL_OK) FUZZ_CHECK(same_loop(loop, untouched));
    status = tamsel_renderer_find_loop(renderer, UINT64_MAX, &loop);
    FUZZ_CHECK(status == (pass->has_loop ? TAMSEL_OK : TAMSEL_ERR_NO_LOOP));
    if (pass->has_loop) FUZZ_CHECK(same_loop(loop, pass->loop));
    FUZZ_CHECK(tamsel_renderer_find_loop(renderer, limit, nullptr) == TAMSEL_ERR_INVALID_ARGUMENT);
}

// The loop handed to a loop tail, chosen by flag bits 4-6: the song's own
// (or nothing, when it has none), or one changed from it by amount.
static tamsel_loop loop_to_try(const OnePass* pass, const Controls* c) {
    tamsel_loop loop = pass->loop;
    uint32_t amount = c->seek_frame;
    switch (c->flags >> 4 & 7u) {
    case 0: break;
    case 1: loop.end = UINT64_MAX; break;
    case 2: loop.end += 1 + amount % WINDOW_FRAMES; break;
    case 3: loop.end -= 1 + amount % 16u; break;
    case 4: loop.start += (amount & 1u) ? 1 + amount % 16u : 0 - (uint64_t)(1 + amount % 16u); break;
    case 5: loop.crossfade = amount; break;
    case 6: loop.crossfade += (amount & 1u) ? 1u : 0xFFFFFFFFu; break;
    default:
        loop.start = amount % LENGTH_LIMIT;
        loop.end = loop.start + c->count % LENGTH_LIMIT;
        loop.crossfade = (uint32_t)c->wrap_capacity * 16u;
        break;
    }
    return loop;
}

// A loop tail is made for the song's own loop alone, on a render that
// reaches its end; anything else is refused with nothing written and the
// renderer where it was. A tail's last frame is the render's frame S - 1,
// and each frame lies between the two it fades.
static void check_loop_tail(tamsel_renderer* renderer, const OnePass* pass, bool reaches_end, const Controls* c,
                            uint64_t rendered) {
    tamsel_loop loop = loop_to_try(pass, c);
    // A made-up end is followed up to itself: only within LENGTH_LIMIT
    // unless the render's own end is known.
    if (pass->length == TAMSEL_ERR_TOO_LONG && loop.end > LENGTH_LIMIT) return;
    bool valid = pass->has_loop && reaches_end && same_loop(loop, pass->loop);
    uint64_t position = tamsel_renderer_position(renderer);
    std::memset(tail, 0x5A, sizeof tail);
    std::memset(float_tail, 0x5A, sizeof float_tail);
    double difference = 7.0;
    tamsel_status status = tamsel_renderer_loop_tail_int32(renderer, &loop, tail, &difference);
    FUZZ_CHECK(status == (valid ? TAMSEL_OK : TAMSEL_ERR_INVALID_ARGUMENT));
    FUZZ_CHECK(tamsel_renderer_loop_tail_float(renderer, &loop, float_tail, nullptr) == status);
    FUZZ_CHECK(tamsel_renderer_position(renderer) == position);
    if (!valid) {
        FUZZ_CHECK(difference == 7.0);
        for (size_t i = 0; i < sizeof tail; i++) FUZZ_CHECK(((const uint8_t*)tail)[i] == 0x5A);
        for (size_t i = 0; i < sizeof float_tail; i++) FUZZ_CHECK(((const uint8_t*)float_tail)[i] == 0x5A);
        return;
    }
    uint64_t x = loop.crossfade;
    for (uint64_t i = 0; i < 2 * x; i++) {
        float from_sum = (float)((double)tail[i] / 32768.0);
        FUZZ_CHECK(std::memcmp(&from_sum, &float_tail[i], sizeof from_sum) == 0);
        uint64_t ending = 2 * (loop.end - x) + i, lead_in = 2 * (loop.start - x) + i;
        if (ending >= 2 * rendered || lead_in >= 2 * rendered) continue;
        int32_t low = full_mix[ending] < full_mix[lead_in] ? full_mix[ending] : full_mix[lead_in];
        int32_t high = full_mix[ending] < full_mix[lead_in] ? full_mix[lead_in] : full_mix[ending];
        FUZZ_CHECK(tail[i] >= low && tail[i] <= high);
    }
    if (x > 0 && loop.start <= rendered) {
        FUZZ_CHECK(tail[2 * x - 2] == full_mix[2 * loop.start - 2] && tail[2 * x - 1] == full_mix[2 * loop.start - 1]);
    }
}

// Returns true when it has released the caller's reference to the song.
static bool play(tamsel_song* song, const Controls* c, const tamsel_render_options* options, uint32_t with_notes,
                 const SongBytes* bytes) {
    tamsel_renderer* renderer = UNTOUCHED_RENDERER;
    FUZZ_CHECK(tamsel_renderer_create(song, options, nullptr) == TAMSEL_ERR_INVALID_ARGUMENT);
    tamsel_status status = tamsel_renderer_create(song, options, &renderer);
    bool valid = !options || (tick_is_valid(options->tick_ms) && (options->muted_tracks & ~ALL_TRACKS) == 0);
    if (!valid) {
        FUZZ_CHECK(status == TAMSEL_ERR_INVALID_ARGUMENT && renderer == UNTOUCHED_RENDERER);
        return false;
    }
    FUZZ_CHECK(status == TAMSEL_OK && renderer != UNTOUCHED_RENDERER && renderer != nullptr);
    OnePass pass = one_pass_of(song, options);
    tamsel_renderer* other = other_kind(song, options, c->second_mute);
    // The renderer holds its own reference to the song.
    bool released = (c->flags & 4u) != 0;
    if (released) tamsel_song_free(song);

    int32_t loops = options ? options->loops : 0;
    bool endless = loops == TAMSEL_LOOPS_FOREVER;
    uint32_t muted = options ? options->muted_tracks : 0;
    tamsel_status length_status = TAMSEL_OK;
    uint64_t length = check_length(renderer, c->limit_choice, endless, &length_status);
    check_wraps(renderer, loops, length, length_status, c->wrap_capacity);
    uint64_t rendered = render_twice(renderer, length, c->count, bytes);
    check_endless_agrees(other, endless, rendered);
    uint64_t count = c->count % (WINDOW_FRAMES + 1);
    check_seek(renderer, c->seek_frame % (WINDOW_FRAMES + WINDOW_FRAMES / 2), count, rendered, length);
    check_seek(renderer, c->seek_frame % (rendered + 1) / 2, count, rendered, length);
    check_muting(renderer, muted, c->second_mute, with_notes, rendered, c->seek_frame);
    check_find_loop(renderer, &pass, c->limit_choice);
    check_loop_tail(renderer, &pass, endless || loops >= 1, c, rendered);
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
    SongBytes file = {bytes, song_size};
    if (!play(song, &c, (c.flags & 2u) ? nullptr : &options, with_notes, &file)) tamsel_song_free(song);
    FUZZ_CHECK(reported == with_notes);
    return 0;
}
