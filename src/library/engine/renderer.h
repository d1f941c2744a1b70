// One render of a song: the clock, the sequencer, the 512 sound slots and
// the mixer's scratch, all owned here, so renderers of the same or other
// songs run side by side without sharing anything that changes.
#pragma once

#include <cstdint>

#include "engine/endless_loop.h"
#include "engine/render_clock.h"
#include "engine/sequencer.h"
#include "mixer/sound_table.h"
#include "mixer/steady_mix.h"
#include "song/song.h"
#include "tamsel/tamsel.h"

namespace tamsel::core {

// Frames mixed at most between two looks at the sequencer.
constexpr uint32_t SEGMENT_FRAMES = 1024;

struct Renderer {
    const Song* song;
    int32_t loop_limit;  // extra passes allowed; the render ends at the wrap after them
    bool endless;        // plays on for ever: the limit is never reached
    double tick_ms;
    uint32_t muted_tracks;   // bit t: track t's voices move on without being mixed
    int32_t stereo_width;    // percent, 0..200; 100 leaves the sums as mixed
    bool measure_levels;     // track_peaks are kept by the render calls
    SteadyMixPath mix_path;  // the steady inner loop this renderer uses

    RenderClock clock;
    SequencerState sequencer;
    // The clock and sequencer right after the forced first step: where the
    // render length is measured from.
    RenderClock start_clock;
    SequencerState start_sequencer;

    bool ended;            // the song has wrapped more than loop_limit times
    bool step_pending;     // the clock has already moved over a tick whose step is due
    uint64_t frames_done;  // frames rendered or skipped so far
    LoopAnchor anchor;     // where an endless render starts to repeat; kept through restarts

    SoundTable table;
    // Each slot's samples made so far; kept across restarts, since the
    // song's notes do not change.
    SampleCache caches[SLOT_COUNT];
    uint64_t cache_budget;  // bytes the caches may still take
    alignas(64) int32_t segment[2 * SEGMENT_FRAMES];
    // One track's own sums while levels are measured, and each track's
    // peak magnitude over the frames of the latest render call.
    alignas(64) int32_t track_segment[2 * SEGMENT_FRAMES];
    uint32_t track_peaks[TRACK_COUNT];
    int32_t active_slots[SLOT_COUNT];
    MixScratch scratch;
};

// A new renderer started on song (see renderer_start), its caches empty and
// their budget full, the fastest inner loop chosen: the one way to make
// one. Null when its memory cannot be had.
Renderer* renderer_new(const Song* song, int32_t loops, double tick_ms);
// Frees a renderer from renderer_new and everything it allocated. Null is
// ignored.
void renderer_delete(Renderer* renderer);

// Starts renderer on song: sets up the 96 voices, the clock and the
// sequencer, and takes the forced first step, so that record 0 sounds from
// the very first frame. TAMSEL_LOOPS_FOREVER plays on for ever; another negative
// loop count counts as 0. The tick must be finite and >= 0. The caches are
// kept when the song is the one the renderer had: a song loaded anew at the
// same address needs a new renderer.
void renderer_start(Renderer* renderer, const Song* song, int32_t loops, double tick_ms);

// Makes and fills the cache of every note the song's records can start,
// in slot order while the budget lasts, so that rendering allocates nothing
// afterwards: a note without a cache is read from its source.
void renderer_prepare(Renderer* renderer);

// One sum as the float sample every float output gives: divided by 32768
// in double, then rounded once to float.
inline float float_of_sum(int32_t sum) {
    return (float)((double)sum / 32768.0);
}
// float_of_sum of each of count sums, the same floats by a faster way.
void floats_of_sums(const int32_t* sums, float* out, uint64_t count);

// Renders up to count frames and returns how many it made; fewer than count
// means the song has ended. renderer_render_float stores the sums divided by
// 32768, renderer_render_sums the mixer's 32-bit sums themselves,
// renderer_render_int16 the sums saturated to 16 bits; renderer_skip moves
// on without making audio.
uint64_t renderer_render_float(Renderer* renderer, float* out, uint64_t count);
uint64_t renderer_render_sums(Renderer* renderer, int32_t* out, uint64_t count);
uint64_t renderer_render_int16(Renderer* renderer, int16_t* out, uint64_t count);
uint64_t renderer_skip(Renderer* renderer, uint64_t count);

// Moves to frame: a restart when it lies behind, then a skip.
void renderer_seek(Renderer* renderer, uint64_t frame);

// Bit t set: track t's voices move on without being mixed, from the next
// frame rendered.
void renderer_set_muted_tracks(Renderer* renderer, uint32_t muted_tracks);
// The stereo width, 0..200 percent (see mixer/stereo_width.h), from the
// next frame rendered.
void renderer_set_stereo_width(Renderer* renderer, int32_t percent);
// Whether the render calls keep each track's peak (renderer_track_peaks);
// either way the output is the same. Clears the peaks.
void renderer_set_measure_levels(Renderer* renderer, bool measure);
// Per track, the largest magnitude of the track's own sums (both channels,
// before the stereo width) over the frames the latest render call stored;
// all 0 when levels are not measured, after a seek and for a muted track.
const uint32_t* renderer_track_peaks(const Renderer* renderer);
// Chooses the steady inner loop: one the processor has
// (steady_mix_path_available), not STEADY_MIX_BEST. Every loop gives the
// same bytes; renderer_init chooses the fastest.
void renderer_set_mix_path(Renderer* renderer, SteadyMixPath path);

// Frames rendered or skipped since the start.
uint64_t renderer_position(const Renderer* renderer);
// The wraps to the repeat start among the steps of the frames rendered,
// counting an endless render's returns to its anchor, modulo 2^32.
uint32_t renderer_passes(const Renderer* renderer);
// Where the render stands in the song: the record, the wraps so far and the
// clock reading at the last step rendered (an ended render's sequencer
// stands at its last step, not at the wrap that ended it).
const SequencerState* renderer_sequencer(const Renderer* renderer);

// The render loop in its plainest form: every frame advances the clock,
// offers the sequencer a tick and asks all 512 slots for their voice's
// contribution. The fast renderer must match it byte for byte; tests and
// benchmarks compare the two. It may take over from the fast renderer at
// any frame.
uint64_t renderer_render_reference(Renderer* renderer, float* out, uint64_t count);

// The slot's track, or -1 for a slot outside the tracks.
int32_t track_of_slot(int32_t slot);

}  // namespace tamsel::core
