// One software voice: a mono signed 8-bit sound resampled with four-point
// cubic interpolation and mixed into a stereo pair of 32-bit accumulators.
#pragma once

#include <cstdint>

#include "mixer/sample_cache.h"
#include "mixer/sample_source.h"

namespace tamsel::core {

struct Voice {
    const SampleSource* source;  // what it plays; null for no voice
    SampleCache* cache;          // the renderer's copy of its samples, or null
    uint64_t size;               // samples in the source, at least 2
    int8_t history[4];           // interpolation window, newest first
    int64_t position;            // 32.32 fixed point, never negative
    uint64_t step;               // 32.32 increment per output frame
    bool playing;
    int32_t volume_gain;  // 16.16 gains, 65536 is unity
    int32_t pan_left_gain;
    int32_t pan_right_gain;
    int32_t left_gain;
    int32_t right_gain;
    int32_t left_target;
    int32_t right_target;
    uint64_t samples_played;  // frames produced while playing; never reset
    uint8_t flush_count;      // zero-flush crossings left after a stop or end
    uint32_t output_rate;     // Hz
};

// Largest sample count a voice accepts: keeps position + step inside a signed
// 64-bit value and every fetch index inside 32 bits.
constexpr uint64_t VOICE_MAX_SIZE = (uint64_t)1 << 30;

// Sample k (k < size) of the voice's source, from the cache where it can.
// Inline: the per-frame voice reads one on each whole step.
inline int8_t voice_sample(const Voice* voice, uint64_t k) {
    SampleCache* cache = voice->cache;
    if (cache && (k < cache->filled || sample_cache_cover(cache, voice->source, k))) return cache->samples[k];
    return source_sample(voice->source, k);
}

// Makes voice a silent, stopped voice over source at 22050 Hz, unity gain
// and centre pan. False (and voice left empty) when the source has fewer
// than 2 or VOICE_MAX_SIZE or more samples, or the rate is 0.
bool voice_init(Voice* voice, uint32_t output_rate, const SampleSource* source, SampleCache* cache = nullptr);
void voice_set_frequency(Voice* voice, uint32_t frequency);
void voice_set_volume(Voice* voice, int16_t volume);
void voice_set_pan(Voice* voice, int16_t pan);
// Starts the voice once through its samples; a voice already playing goes on
// where it is. A restart within a stop's flush keeps the old fraction and
// window, so it blends into the new pass instead of clicking.
void voice_play(Voice* voice);
// Stops the voice; four zero samples then flush its window.
void voice_stop(Voice* voice);
// Moves the voice on by one frame, adding its output into frame[0] (left)
// and frame[1] (right); a null frame moves it on without mixing.
void voice_generate_sample(Voice* voice, int32_t* frame);

// The single steps of the per-frame rule, each on its own: the decibel law,
// the glide and its step, the cubic on a window, and the scaling by a gain.
int32_t voice_gain_from_db(int16_t hundredths);
uint32_t voice_glide_step(uint32_t output_rate);
int32_t voice_glide(int32_t gain, int32_t target, int32_t glide_step);
int32_t voice_interpolate(const int8_t history[4], uint32_t fraction);

}  // namespace tamsel::core
