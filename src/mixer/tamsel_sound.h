// One software voice: a mono signed 8-bit sound resampled with four-point
// cubic interpolation and mixed into a stereo pair of 32-bit accumulators.
#pragma once

#include <cstdint>

struct tamsel_sound {
    uint64_t size;            // samples in data, at least 2
    int8_t* data;             // owned sample data
    int8_t history[4];        // interpolation window, newest first
    int64_t position;         // 32.32 fixed point, never negative
    uint64_t step;            // 32.32 increment per output frame
    uint32_t frequency;       // Hz
    uint8_t playing;
    uint8_t looping;
    int32_t volume_gain;      // 16.16 gains, 65536 is unity
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
constexpr uint64_t TAMSEL_SOUND_MAX_SIZE = (uint64_t)1 << 30;

tamsel_sound* tamsel_sound_create(uint32_t output_rate, uint64_t size);
void tamsel_sound_destroy(tamsel_sound* voice);
void tamsel_sound_set_frequency(tamsel_sound* voice, uint32_t frequency);
void tamsel_sound_set_volume(tamsel_sound* voice, int16_t volume);
void tamsel_sound_set_pan(tamsel_sound* voice, int16_t pan);
void tamsel_sound_play(tamsel_sound* voice, uint8_t looping);
void tamsel_sound_stop(tamsel_sound* voice);
void tamsel_sound_generate_sample(tamsel_sound* voice, int32_t* frame);

// The single steps of the per-frame rule, each on its own: the decibel law,
// the glide and its step, the cubic on a window, and the scaling by a gain.
int32_t tamsel_sound_gain_from_db(int16_t hundredths);
uint32_t tamsel_sound_glide_step(uint32_t output_rate);
int32_t tamsel_sound_glide(int32_t gain, int32_t target, int32_t glide_step);
int32_t tamsel_sound_interpolate(const int8_t history[4], uint32_t fraction);
int32_t tamsel_sound_scale(int32_t gain, int32_t s);
