#include "engine/renderer.h"

#include <cstring>
#include <new>

#include "engine/clock_jump.h"
#include "mixer/cubic.h"
#include "mixer/stereo_width.h"
#include "mixer/voice_block.h"

namespace tamsel::core {

int32_t track_of_slot(int32_t slot) {
    if (slot < FIRST_TRACK_SLOT || slot >= FIRST_TRACK_SLOT + TRACK_COUNT * NOTES_PER_TRACK) return -1;
    return (slot - FIRST_TRACK_SLOT) / NOTES_PER_TRACK;
}

// Puts every note and drum in its slot with its volume. Each odd drum slot is
// a softer variant of the even one before it; the product wraps at 32 bits
// like the rest of the volume arithmetic.
static void set_up_voices(Renderer* renderer, const Song* song) {
    SoundTable* table = &renderer->table;
    sound_table_clear(table);
    for (int32_t k = 0; k < DRUM_SLOT_COUNT; k++) {
        int32_t slot = DRUM_FIRST_SLOT + k;
        sound_table_set_source(table, slot, &song->drums[k], &renderer->caches[slot]);
    }
    for (int32_t i = 0; i < MELODIC_TRACK_COUNT; i++) {
        int32_t first = FIRST_TRACK_SLOT + NOTES_PER_TRACK * i;
        for (int32_t j = 0; j < NOTES_PER_TRACK; j++) {
            sound_table_set_source(table, first + j, &song->notes[i][j], &renderer->caches[first + j]);
            sound_table_set_volume(table, first + j, song->instruments[i].volume);
        }
    }
    uint32_t soft = song->drum_volume * 70u / 100u;
    for (int32_t k = 0; k < DRUM_SLOT_COUNT; k += 2) {
        sound_table_set_volume(table, DRUM_FIRST_SLOT + k, (int32_t)song->drum_volume);
        sound_table_set_volume(table, DRUM_FIRST_SLOT + k + 1, (int32_t)soft);
    }
}

// Frees the samples the caches hold; the renderer can be started again.
static void release_caches(Renderer* renderer) {
    for (int32_t slot = 0; slot < SLOT_COUNT; slot++) sample_cache_release(&renderer->caches[slot]);
}

// Back to frame 0 of the render the renderer was started on.
static void restart(Renderer* renderer) {
    const Song* song = renderer->song;
    set_up_voices(renderer, song);
    clock_start(&renderer->clock, renderer->tick_ms);
    sequencer_start(&renderer->sequencer);
    sequencer_offer_step(song, &renderer->sequencer, &renderer->table, (uint32_t)clock_whole_ms(&renderer->clock));
    renderer->sequencer.last_step_ms = 0;
    renderer->start_clock = renderer->clock;
    renderer->start_sequencer = renderer->sequencer;
    renderer->ended = false;
    renderer->step_pending = false;
    renderer->frames_done = 0;
}

Renderer* renderer_new(const Song* song, int32_t loops, double tick_ms) {
    // Value-initialised: every field zero, every cache empty.
    Renderer* renderer = new (std::nothrow) Renderer();
    if (!renderer) return nullptr;
    renderer->cache_budget = SAMPLE_CACHE_BUDGET;
    for (int32_t slot = 0; slot < SLOT_COUNT; slot++) renderer->caches[slot].budget = &renderer->cache_budget;
    renderer->mix_path = best_steady_mix_path();
    renderer->stereo_width = STEREO_WIDTH_NEUTRAL;
    renderer_start(renderer, song, loops, tick_ms);
    return renderer;
}

void renderer_delete(Renderer* renderer) {
    if (!renderer) return;
    release_caches(renderer);
    delete renderer;
}

void renderer_start(Renderer* renderer, const Song* song, int32_t loops, double tick_ms) {
    // Another song's samples are of no use.
    if (renderer->song != song) release_caches(renderer);
    renderer->song = song;
    renderer->endless = loops == TAMSEL_LOOPS_FOREVER;
    // The limit an endless render never passes: a wrap count is never more.
    renderer->loop_limit = renderer->endless ? INT32_MAX : loops < 0 ? 0 : loops;
    renderer->tick_ms = tick_ms;
    renderer->anchor.set = false;
    renderer->anchor.period = 0;
    restart(renderer);
}

// Bit k of track t set when some loaded record of the track starts note k;
// records beyond them read as 0 and start nothing.
static uint32_t notes_started(const Song* song, int32_t track) {
    uint32_t notes = 0;
    for (int32_t r = 0; r < song->loaded_records; r++) notes |= song->records[track][r];
    return record_notes(notes);
}

void renderer_prepare(Renderer* renderer) {
    for (int32_t t = 0; t < TRACK_COUNT; t++) {
        uint32_t notes = notes_started(renderer->song, t);
        for (int32_t k = 0; k < NOTES_PER_TRACK; k++) {
            Voice* voice = sound_table_voice(&renderer->table, FIRST_TRACK_SLOT + NOTES_PER_TRACK * t + k);
            if (!(notes >> k & 1u) || !voice || !voice->cache) continue;
            sample_cache_cover(voice->cache, voice->source, voice->size - 1);
        }
    }
}

static bool step_is_due(const Renderer* renderer) {
    return sequencer_step_due(renderer->song, &renderer->sequencer, (uint32_t)clock_whole_ms(&renderer->clock));
}

// Offers the sequencer the step of the given frame, whose tick the clock
// has just moved over.
static void offer_step(Renderer* renderer, uint64_t frame) {
    if (renderer->endless && step_is_due(renderer)) endless_before_step(renderer, frame);
    sequencer_offer_step(renderer->song, &renderer->sequencer, &renderer->table,
                         (uint32_t)clock_whole_ms(&renderer->clock));
}

// Starts the given frame: the clock moves over it (unless an earlier call
// already did) and its step, if one is due, is taken.
static void begin_frame(Renderer* renderer, uint64_t frame) {
    if (renderer->step_pending) {
        renderer->step_pending = false;
        offer_step(renderer, frame);
    } else if (advance_clock(&renderer->clock)) {
        offer_step(renderer, frame);
    }
}

// The frame that notices the loop limit is not part of the song, and nor is
// its step: the sequencer goes back to the last step rendered. The voices
// still move through that frame.
static void end_render(Renderer* renderer, const SequencerState* before_frame) {
    renderer->ended = true;
    renderer->sequencer = *before_frame;
}

// The render works in segments: a segment starts at a sequencer step (or
// at the start of a call) and runs until the next step, so the sound slots
// and the loop limit, which only a step can change, are dealt with once per
// segment; ticks at which no step is due change nothing and are passed over.
// Within a segment each sounding voice mixes its whole run into the
// accumulators; integer sums do not depend on their order, so this equals
// mixing every slot frame by frame.

// Whether the sequencer may still take a step: once it cannot, only the
// voices change, and the clock is left where it is, since no step will read
// it again.
static bool steps_may_come(const Renderer* renderer) {
    return sequencer_can_step_again(renderer->song, &renderer->sequencer) && clock_ticks_again(&renderer->clock);
}

// Moves the clock over the frames after a segment's first that cannot change
// the sound slots, at most limit of them, and returns how many. Stops
// before a tick whose step is due, leaving that step pending.
static uint32_t advance_clock_to_step(Renderer* renderer, uint32_t limit) {
    if (!steps_may_come(renderer)) return limit;
    uint32_t frames = 0;
    while (frames < limit) {
        frames += (uint32_t)advance_clock_to_tick(&renderer->clock, limit - frames);
        if (frames == limit) break;
        advance_clock(&renderer->clock);
        if (step_is_due(renderer)) {
            renderer->step_pending = true;
            break;
        }
        frames++;
    }
    return frames;
}

static bool track_is_muted(const Renderer* renderer, int32_t track) {
    return track >= 0 && (renderer->muted_tracks >> track & 1u);
}

static uint32_t magnitude(int32_t sum) {
    return sum < 0 ? 0u - (uint32_t)sum : (uint32_t)sum;
}

// Mixes the given active slots of one track into the track segment, raises
// the track's peak by its sums and adds them into the segment. Integer sums
// wrap, so adding a track's sums at once equals adding its voices one by
// one.
static void mix_track_measured(Renderer* renderer, int32_t track, int32_t count, uint32_t frames) {
    int32_t* own = renderer->track_segment;
    std::memset(own, 0, 2 * (size_t)frames * sizeof own[0]);
    bool mixed = false;
    for (int32_t i = 0; i < count; i++) {
        int32_t slot = renderer->active_slots[i];
        if (track_of_slot(slot) != track) continue;
        voice_mix_block(&renderer->table.voices[slot], own, frames, &renderer->scratch, renderer->mix_path);
        mixed = true;
    }
    if (!mixed) return;
    uint32_t peak = renderer->track_peaks[track];
    for (uint32_t i = 0; i < 2 * frames; i++) {
        uint32_t m = magnitude(own[i]);
        peak = m > peak ? m : peak;
        renderer->segment[i] = add_wrapping(renderer->segment[i], own[i]);
    }
    renderer->track_peaks[track] = peak;
}

// Mixes the sounding voices over frames into the segment, or with mix
// false only moves them on. Muted tracks' voices always only move on. With
// measure, the tracks are mixed one at a time for their peaks.
static void mix_segment(Renderer* renderer, uint32_t frames, bool mix, bool measure) {
    int32_t* acc = mix ? renderer->segment : nullptr;
    if (mix) std::memset(renderer->segment, 0, 2 * (size_t)frames * sizeof renderer->segment[0]);
    int32_t count = sound_table_active_slots(&renderer->table, renderer->active_slots);
    for (int32_t i = 0; i < count; i++) {
        int32_t slot = renderer->active_slots[i];
        int32_t track = track_of_slot(slot);
        bool muted = track_is_muted(renderer, track);
        if (mix && measure && !muted && track >= 0) continue;
        voice_mix_block(&renderer->table.voices[slot], muted ? nullptr : acc, frames, &renderer->scratch,
                        renderer->mix_path);
    }
    if (!mix || !measure) return;
    for (int32_t t = 0; t < TRACK_COUNT; t++) {
        if (!track_is_muted(renderer, t)) mix_track_measured(renderer, t, count, frames);
    }
}

enum OutputKind { OUTPUT_FLOAT, OUTPUT_SUMS, OUTPUT_INT16, OUTPUT_NONE };

static int16_t saturate_to_int16(int32_t sum) {
    return (int16_t)(sum < INT16_MIN ? INT16_MIN : sum > INT16_MAX ? INT16_MAX : sum);
}

// Computed in float: the integer's one rounding to float, then a scaling
// by 2^-15, exact in either type, gives the float that rounding the exact
// quotient gives. The loop vectorises twice as wide as one through double.
void floats_of_sums(const int32_t* sums, float* out, uint64_t count) {
    for (uint64_t i = 0; i < count; i++) out[i] = (float)sums[i] * 0x1p-15f;
}

static void emit_segment(const Renderer* renderer, OutputKind kind, void* out, uint64_t at, uint32_t frames) {
    const int32_t* segment = renderer->segment;
    if (kind == OUTPUT_FLOAT) {
        floats_of_sums(segment, (float*)out + 2 * at, 2 * (uint64_t)frames);
    } else if (kind == OUTPUT_SUMS) {
        std::memcpy((int32_t*)out + 2 * at, segment, 2 * (size_t)frames * sizeof segment[0]);
    } else if (kind == OUTPUT_INT16) {
        int16_t* s = (int16_t*)out + 2 * at;
        for (uint32_t i = 0; i < 2 * frames; i++) s[i] = saturate_to_int16(segment[i]);
    }
}

// Frames one skipped segment may take: nothing is stored, so only the
// voices' 32-bit frame counts bound it.
constexpr uint32_t SKIP_SEGMENT_FRAMES = (uint32_t)1 << 30;

// Nothing can sound again: no step will come and every voice is silent.
static bool silent_for_good(Renderer* renderer) {
    return !steps_may_come(renderer) && sound_table_active_slots(&renderer->table, renderer->active_slots) == 0;
}

static uint64_t render_frames(Renderer* renderer, OutputKind kind, void* out, uint64_t count) {
    uint32_t most = kind == OUTPUT_NONE ? SKIP_SEGMENT_FRAMES : SEGMENT_FRAMES;
    bool measure = renderer->measure_levels && kind != OUTPUT_NONE;
    if (measure) std::memset(renderer->track_peaks, 0, sizeof renderer->track_peaks);
    uint64_t done = 0;
    while (done < count && !renderer->ended) {
        // A skip over silence for good is done at once, however long.
        if (kind == OUTPUT_NONE && silent_for_good(renderer)) {
            done = count;
            break;
        }
        uint64_t left = count - done;
        uint32_t room = left < most ? (uint32_t)left : most;
        SequencerState before_frame = renderer->sequencer;
        begin_frame(renderer, renderer->frames_done + done);
        if (renderer->sequencer.loops_done > renderer->loop_limit) {
            end_render(renderer, &before_frame);
            // The frame that ends the render is not stored, nor measured.
            mix_segment(renderer, 1, kind != OUTPUT_NONE, false);
            break;
        }
        uint32_t frames = 1 + advance_clock_to_step(renderer, room - 1);
        mix_segment(renderer, frames, kind != OUTPUT_NONE, measure);
        if (kind != OUTPUT_NONE && renderer->stereo_width != STEREO_WIDTH_NEUTRAL) {
            widen_frames(renderer->segment, frames, renderer->stereo_width);
        }
        emit_segment(renderer, kind, out, done, frames);
        done += frames;
    }
    renderer->frames_done += done;
    return done;
}

uint64_t renderer_render_float(Renderer* renderer, float* out, uint64_t count) {
    return render_frames(renderer, OUTPUT_FLOAT, out, count);
}

uint64_t renderer_render_sums(Renderer* renderer, int32_t* out, uint64_t count) {
    return render_frames(renderer, OUTPUT_SUMS, out, count);
}

uint64_t renderer_render_int16(Renderer* renderer, int16_t* out, uint64_t count) {
    return render_frames(renderer, OUTPUT_INT16, out, count);
}

uint64_t renderer_skip(Renderer* renderer, uint64_t count) {
    return render_frames(renderer, OUTPUT_NONE, nullptr, count);
}

// An endless render is skipped in pieces of this many frames while the
// pass its anchor repeats may still become known, so that a far seek jumps
// once it is.
constexpr uint64_t ENDLESS_SKIP_FRAMES = (uint64_t)1 << 24;

void renderer_seek(Renderer* renderer, uint64_t frame) {
    std::memset(renderer->track_peaks, 0, sizeof renderer->track_peaks);
    if (frame < renderer->frames_done) restart(renderer);
    while (renderer->frames_done < frame) {
        if (renderer->endless) endless_jump(renderer, frame);
        uint64_t left = frame - renderer->frames_done;
        bool period_may_come = renderer->endless && renderer->anchor.period == 0 && steps_may_come(renderer);
        uint64_t piece = period_may_come && left > ENDLESS_SKIP_FRAMES ? ENDLESS_SKIP_FRAMES : left;
        if (renderer_skip(renderer, piece) < piece) break;
    }
}

void renderer_set_muted_tracks(Renderer* renderer, uint32_t muted_tracks) {
    renderer->muted_tracks = muted_tracks;
}

void renderer_set_stereo_width(Renderer* renderer, int32_t percent) {
    renderer->stereo_width = percent;
}

void renderer_set_measure_levels(Renderer* renderer, bool measure) {
    renderer->measure_levels = measure;
    std::memset(renderer->track_peaks, 0, sizeof renderer->track_peaks);
}

const uint32_t* renderer_track_peaks(const Renderer* renderer) {
    return renderer->track_peaks;
}

void renderer_set_mix_path(Renderer* renderer, SteadyMixPath path) {
    renderer->mix_path = path;
}

uint64_t renderer_position(const Renderer* renderer) {
    return renderer->frames_done;
}

uint32_t renderer_passes(const Renderer* renderer) {
    uint64_t returns = endless_returns(&renderer->anchor, renderer->frames_done);
    return (uint32_t)renderer->sequencer.loops_done + (uint32_t)returns;
}

const SequencerState* renderer_sequencer(const Renderer* renderer) {
    return &renderer->sequencer;
}

uint64_t renderer_render_reference(Renderer* renderer, float* out, uint64_t count) {
    uint64_t i = 0;
    for (; i < count && !renderer->ended; i++) {
        int32_t frame[2] = {0, 0};
        // After a fast render or a seek the clock may already stand on a
        // tick whose step is due: that frame's step comes first.
        SequencerState before_frame = renderer->sequencer;
        begin_frame(renderer, renderer->frames_done + i);
        if (renderer->sequencer.loops_done > renderer->loop_limit) end_render(renderer, &before_frame);
        for (int32_t slot = 0; slot < SLOT_COUNT; slot++) {
            int32_t track = track_of_slot(slot);
            bool muted = track_is_muted(renderer, track);
            voice_generate_sample(&renderer->table.voices[slot], muted ? nullptr : frame);
        }
        if (renderer->ended) break;
        if (renderer->stereo_width != STEREO_WIDTH_NEUTRAL) widen_frames(frame, 1, renderer->stereo_width);
        out[2 * i] = float_of_sum(frame[0]);
        out[2 * i + 1] = float_of_sum(frame[1]);
    }
    renderer->frames_done += i;
    return i;
}

}  // namespace tamsel::core
