// The public C API over the engine: songs shared by reference count,
// renderers owning everything that changes, and errors as values.
#include "tamsel/tamsel.h"

#include <atomic>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "engine/loop_points.h"
#include "engine/render_length.h"
#include "engine/renderer.h"
#include "mixer/stereo_width.h"
#include "song/song.h"
#include "song/song_open.h"

// The C API's own names stay global; everything behind them is the engine's.
using namespace tamsel::core;

struct tamsel_song {
    Song song;  // holds pointers into itself: never copied or moved
    // The caller's reference and one for each renderer.
    std::atomic<uint32_t> references;
};

struct tamsel_renderer {
    Renderer* renderer;
    tamsel_song* song;
};

const char* tamsel_version(void) {
    return TAMSEL_VERSION_STRING;
}

const char* tamsel_status_message(tamsel_status status) {
    switch (status) {
    case TAMSEL_OK: return "success";
    case TAMSEL_ERR_IO: return "cannot read the file";
    case TAMSEL_ERR_NOT_A_SONG: return "not a song file (no TSM signature)";
    case TAMSEL_ERR_NO_MEMORY: return "out of memory";
    case TAMSEL_ERR_TOO_LONG: return "the render is too long or never ends";
    case TAMSEL_ERR_INVALID_ARGUMENT: return "invalid argument";
    case TAMSEL_ERR_NO_LOOP: return "the song never wraps to its repeat start, so it has no loop";
    case TAMSEL_ERR_NEVER_ENDS: return "the render never ends";
    }
    return "unknown error";
}

// ---- Songs

namespace tamsel::core {

// A new song from open, which loads it in place: it holds pointers into
// itself, so it is never copied.
template <typename Open>
static tamsel_status new_song(Open open, tamsel_song** song) {
    tamsel_song* made = new (std::nothrow) tamsel_song();
    if (!made) return TAMSEL_ERR_NO_MEMORY;
    SongOpen opened = open(&made->song);
    if (opened != SongOpen::LOADED) {
        delete made;
        return opened == SongOpen::UNREADABLE ? TAMSEL_ERR_IO : TAMSEL_ERR_NOT_A_SONG;
    }
    made->references.store(1);
    *song = made;
    return TAMSEL_OK;
}

// A record counts when the sequencer can reach it: those before the wrap
// point, and the repeat start, where every wrap lands even when it lies
// past the wrap point.
static bool record_is_reached(const Song* song, int32_t record) {
    int32_t end = song->repeat_end < song->record_count ? song->repeat_end : song->record_count;
    return record < end || record == song->repeat_start;
}

}  // namespace tamsel::core

tamsel_status tamsel_song_load_memory(const void* bytes, size_t size, tamsel_song** song) {
    if ((!bytes && size > 0) || !song) return TAMSEL_ERR_INVALID_ARGUMENT;
    return new_song([=](Song* s) { return open_song_memory(bytes, size, s); }, song);
}

tamsel_status tamsel_song_load_file(const char* path, tamsel_song** song) {
    if (!path || !song) return TAMSEL_ERR_INVALID_ARGUMENT;
    return new_song([=](Song* s) { return open_song_file(path, s); }, song);
}

void tamsel_song_free(tamsel_song* song) {
    if (!song) return;
    if (song->references.fetch_sub(1, std::memory_order_acq_rel) == 1) delete song;
}

void tamsel_song_get_info(const tamsel_song* song, tamsel_song_info* info) {
    if (!song || !info) return;
    const Song* s = &song->song;
    std::memset(info, 0, sizeof *info);
    info->step_ms = s->step_ms;
    info->repeat_start = s->repeat_start;
    info->repeat_end = s->repeat_end;
    info->records = s->record_count;
    info->drum_volume = s->drum_volume;
    for (int32_t i = 0; i < MELODIC_TRACK_COUNT; i++) {
        info->instruments[i].octave = s->instruments[i].octave;
        info->instruments[i].length = s->instruments[i].length;
        info->instruments[i].volume = s->instruments[i].volume;
    }
}

tamsel_status tamsel_song_get_instrument_shape(const tamsel_song* song, int instrument, int8_t waveform[256],
                                               uint8_t envelope[64]) {
    if (!song || !waveform || !envelope || instrument < 0 || instrument >= MELODIC_TRACK_COUNT) {
        return TAMSEL_ERR_INVALID_ARGUMENT;
    }
    std::memcpy(waveform, song->song.instruments[instrument].waveform, WAVEFORM_SIZE);
    std::memcpy(envelope, song->song.instruments[instrument].envelope, ENVELOPE_SIZE);
    return TAMSEL_OK;
}

uint32_t tamsel_song_tracks_with_notes(const tamsel_song* song) {
    if (!song) return 0;
    const Song* s = &song->song;
    uint32_t tracks = 0;
    for (int32_t t = 0; t < TRACK_COUNT; t++) {
        for (int32_t r = 0; r < s->loaded_records; r++) {
            if (record_notes(s->records[t][r]) != 0 && record_is_reached(s, r)) {
                tracks |= 1u << t;
                break;
            }
        }
    }
    return tracks;
}

// ---- Rendering

namespace tamsel::core {

// The muted-track bits a renderer knows; any other bit is a bad option.
constexpr uint32_t ALL_TRACKS = (1u << TAMSEL_TRACK_COUNT) - 1u;

static bool options_are_valid(const tamsel_render_options* options) {
    return std::isfinite(options->tick_ms) && options->tick_ms >= 0.0 && (options->muted_tracks & ~ALL_TRACKS) == 0;
}

// The status of a measurement: TAMSEL_ERR_TOO_LONG for both failures but
// where the caller asked for them apart.
static tamsel_status status_of_length(RenderLength length, bool tell_never_apart) {
    if (length == RenderLength::MEASURED) return TAMSEL_OK;
    if (length == RenderLength::NEVER_ENDS && tell_never_apart) return TAMSEL_ERR_NEVER_ENDS;
    return TAMSEL_ERR_TOO_LONG;
}

struct WrapList {
    uint64_t* wraps;
    size_t capacity;
    size_t count;
};

static void collect_wrap(void* context, uint64_t frame) {
    WrapList* list = (WrapList*)context;
    if (list->count < list->capacity) list->wraps[list->count] = frame;
    list->count++;
}

}  // namespace tamsel::core

void tamsel_render_options_init(tamsel_render_options* options) {
    if (!options) return;
    options->loops = 0;
    options->tick_ms = 20.0;
    options->muted_tracks = 0;
}

tamsel_status tamsel_renderer_create(const tamsel_song* song, const tamsel_render_options* options,
                                     tamsel_renderer** renderer) {
    tamsel_render_options defaults;
    tamsel_render_options_init(&defaults);
    if (!options) options = &defaults;
    if (!song || !renderer || !options_are_valid(options)) return TAMSEL_ERR_INVALID_ARGUMENT;
    tamsel_renderer* made = new (std::nothrow) tamsel_renderer();
    if (!made) return TAMSEL_ERR_NO_MEMORY;
    made->renderer = renderer_new(&song->song, options->loops, options->tick_ms);
    if (!made->renderer) {
        delete made;
        return TAMSEL_ERR_NO_MEMORY;
    }
    renderer_set_muted_tracks(made->renderer, options->muted_tracks);
    // The renderer keeps the song alive; the song itself does not change.
    made->song = const_cast<tamsel_song*>(song);
    made->song->references.fetch_add(1, std::memory_order_relaxed);
    *renderer = made;
    return TAMSEL_OK;
}

void tamsel_renderer_free(tamsel_renderer* renderer) {
    if (!renderer) return;
    renderer_delete(renderer->renderer);
    tamsel_song_free(renderer->song);
    delete renderer;
}

tamsel_status tamsel_renderer_prepare(tamsel_renderer* renderer) {
    if (!renderer) return TAMSEL_ERR_INVALID_ARGUMENT;
    renderer_prepare(renderer->renderer);
    return TAMSEL_OK;
}

tamsel_status tamsel_renderer_length(const tamsel_renderer* renderer, uint64_t limit, uint64_t* frames) {
    if (!renderer || !frames) return TAMSEL_ERR_INVALID_ARGUMENT;
    return status_of_length(measure_render_length(renderer->renderer, limit, frames, nullptr, nullptr), false);
}

tamsel_status tamsel_renderer_measure(const tamsel_renderer* renderer, uint64_t limit, uint64_t* frames) {
    if (!renderer || !frames) return TAMSEL_ERR_INVALID_ARGUMENT;
    return status_of_length(measure_render_length(renderer->renderer, limit, frames, nullptr, nullptr), true);
}

tamsel_status tamsel_renderer_wraps(const tamsel_renderer* renderer, uint64_t limit, uint64_t* wraps, size_t capacity,
                                    size_t* count) {
    if (!renderer || !count || (!wraps && capacity > 0)) return TAMSEL_ERR_INVALID_ARGUMENT;
    // Counted first, so that a render that turns out too long leaves the
    // caller's array as it was; stored on a second run, to the known end.
    WrapList list = {nullptr, 0, 0};
    uint64_t frames = 0;
    tamsel_status status =
        status_of_length(measure_render_length(renderer->renderer, limit, &frames, collect_wrap, &list), false);
    if (status != TAMSEL_OK) return status;
    if (capacity > 0 && list.count > 0) {
        list = {wraps, capacity, 0};
        measure_render_length(renderer->renderer, frames, &frames, collect_wrap, &list);
    }
    *count = list.count;
    return TAMSEL_OK;
}

size_t tamsel_render_float(tamsel_renderer* renderer, float* out, size_t frames) {
    if (!renderer || !out) return 0;
    return (size_t)renderer_render_float(renderer->renderer, out, frames);
}

size_t tamsel_render_int32(tamsel_renderer* renderer, int32_t* out, size_t frames) {
    if (!renderer || !out) return 0;
    return (size_t)renderer_render_sums(renderer->renderer, out, frames);
}

size_t tamsel_render_int16(tamsel_renderer* renderer, int16_t* out, size_t frames) {
    if (!renderer || !out) return 0;
    return (size_t)renderer_render_int16(renderer->renderer, out, frames);
}

tamsel_status tamsel_renderer_seek(tamsel_renderer* renderer, uint64_t frame) {
    if (!renderer) return TAMSEL_ERR_INVALID_ARGUMENT;
    renderer_seek(renderer->renderer, frame);
    return TAMSEL_OK;
}

uint64_t tamsel_renderer_position(const tamsel_renderer* renderer) {
    return renderer ? renderer_position(renderer->renderer) : 0;
}

tamsel_status tamsel_renderer_get_state(const tamsel_renderer* renderer, tamsel_play_state* state) {
    if (!renderer || !state) return TAMSEL_ERR_INVALID_ARGUMENT;
    const Renderer* r = renderer->renderer;
    int32_t record = renderer_sequencer(r)->position;
    std::memset(state, 0, sizeof *state);
    state->frame = renderer_position(r);
    state->record = record;
    state->pass = renderer_passes(r);
    for (int32_t t = 0; t < TRACK_COUNT; t++) state->notes[t] = record_notes(song_record_word(r->song, record, t));
    return TAMSEL_OK;
}

tamsel_status tamsel_renderer_set_muted_tracks(tamsel_renderer* renderer, uint32_t muted_tracks) {
    if (!renderer || (muted_tracks & ~ALL_TRACKS) != 0) return TAMSEL_ERR_INVALID_ARGUMENT;
    renderer_set_muted_tracks(renderer->renderer, muted_tracks);
    return TAMSEL_OK;
}

tamsel_status tamsel_renderer_set_stereo_width(tamsel_renderer* renderer, int32_t percent) {
    if (!renderer || percent < 0 || percent > STEREO_WIDTH_MOST) return TAMSEL_ERR_INVALID_ARGUMENT;
    renderer_set_stereo_width(renderer->renderer, percent);
    return TAMSEL_OK;
}

tamsel_status tamsel_renderer_measure_track_levels(tamsel_renderer* renderer, int enable) {
    if (!renderer) return TAMSEL_ERR_INVALID_ARGUMENT;
    renderer_set_measure_levels(renderer->renderer, enable != 0);
    return TAMSEL_OK;
}

tamsel_status tamsel_renderer_get_track_levels(const tamsel_renderer* renderer, uint32_t peaks[TAMSEL_TRACK_COUNT]) {
    if (!renderer || !peaks) return TAMSEL_ERR_INVALID_ARGUMENT;
    std::memcpy(peaks, renderer_track_peaks(renderer->renderer), TAMSEL_TRACK_COUNT * sizeof peaks[0]);
    return TAMSEL_OK;
}

// ---- Seamless loops

tamsel_status tamsel_renderer_find_loop(const tamsel_renderer* renderer, uint64_t limit, tamsel_loop* loop) {
    if (!renderer || !loop) return TAMSEL_ERR_INVALID_ARGUMENT;
    LoopPoints found = {};
    switch (find_loop_points(renderer->renderer, limit, &found)) {
    case LoopSearch::TOO_LONG: return TAMSEL_ERR_TOO_LONG;
    case LoopSearch::NEVER_WRAPS: return TAMSEL_ERR_NO_LOOP;
    case LoopSearch::FOUND: break;
    }
    loop->start = found.start;
    loop->end = found.end;
    loop->crossfade = found.crossfade;
    return TAMSEL_OK;
}

namespace tamsel::core {

// Renders count frames from frame into out; frames before 0 or past the
// end of the render are silence.
static void render_stretch(Renderer* renderer, uint64_t frame, uint32_t count, int32_t* out) {
    std::memset(out, 0, 2 * (size_t)count * sizeof(int32_t));
    renderer_seek(renderer, frame);
    renderer_render_sums(renderer, out, count);
}

// The loop is the one find_loop gives for the renderer's song and tick,
// and the render reaches its end.
static bool loop_is_usable(const tamsel_renderer* renderer, const tamsel_loop* loop) {
    const Renderer* r = renderer->renderer;
    if (!r->endless && r->loop_limit < 1) return false;
    LoopPoints points = {loop->start, loop->end, loop->crossfade};
    return is_the_loop(r, &points);
}

}  // namespace tamsel::core

tamsel_status tamsel_renderer_loop_tail_int32(tamsel_renderer* renderer, const tamsel_loop* loop, int32_t* tail,
                                              double* difference_db) {
    if (!renderer || !loop || (!tail && loop->crossfade > 0)) return TAMSEL_ERR_INVALID_ARGUMENT;
    if (!loop_is_usable(renderer, loop)) return TAMSEL_ERR_INVALID_ARGUMENT;
    Renderer* r = renderer->renderer;
    uint32_t x = loop->crossfade;
    uint64_t was_at = renderer_position(r);
    // The tail's renders are not the caller's: the levels stay those of
    // the caller's latest render.
    uint32_t peaks[TRACK_COUNT];
    std::memcpy(peaks, r->track_peaks, sizeof peaks);
    int32_t lead_in[2 * TAMSEL_LOOP_CROSSFADE_FRAMES];
    if (x > 0) {
        render_stretch(r, loop->end - x, x, tail);
        render_stretch(r, loop->start - x, x, lead_in);
        renderer_seek(r, was_at);
    }
    std::memcpy(r->track_peaks, peaks, sizeof peaks);
    if (difference_db) *difference_db = stretch_difference_db(tail, lead_in, x);
    crossfade_frames(tail, lead_in, 0, x, x, tail);
    return TAMSEL_OK;
}

tamsel_status tamsel_renderer_loop_tail_float(tamsel_renderer* renderer, const tamsel_loop* loop, float* tail,
                                              double* difference_db) {
    if (!renderer || !loop || (!tail && loop->crossfade > 0)) return TAMSEL_ERR_INVALID_ARGUMENT;
    int32_t sums[2 * TAMSEL_LOOP_CROSSFADE_FRAMES];
    tamsel_status status = tamsel_renderer_loop_tail_int32(renderer, loop, sums, difference_db);
    if (status != TAMSEL_OK) return status;
    floats_of_sums(sums, tail, 2 * (uint64_t)loop->crossfade);
    return TAMSEL_OK;
}
