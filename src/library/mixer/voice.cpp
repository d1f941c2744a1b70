#include "mixer/voice.h"

#include <cmath>
#include <cstring>

#include "mixer/cubic.h"

namespace tamsel::core {

static constexpr uint64_t FRACTION_MASK = 0xFFFFFFFFu;

static void update_targets(Voice* voice) {
    // Both factors lie in 0..65536, so the products are positive and the
    // shift is a plain division by 65536.
    voice->left_target = (int32_t)(((int64_t)voice->volume_gain * voice->pan_left_gain) >> 16);
    voice->right_target = (int32_t)(((int64_t)voice->volume_gain * voice->pan_right_gain) >> 16);
}

int32_t voice_gain_from_db(int16_t hundredths) {
    double factor = std::pow(10.0, (double)hundredths / 2000.0);
    return (int32_t)(factor * 65536.0);
}

// A gain glides by 144 x unity (65536 in 16.16) per second, so a full swing
// between 0 and unity takes 1/144 s, about 7 ms: short enough to follow a
// pan change at once, long enough not to click.
static constexpr uint32_t GLIDE_PER_SECOND = 144u * 65536u;

uint32_t voice_glide_step(uint32_t output_rate) {
    // Truncated per frame: 196 at 48000 Hz.
    return GLIDE_PER_SECOND / output_rate;
}

int32_t voice_glide(int32_t gain, int32_t target, int32_t glide_step) {
    if (gain > target) {
        gain -= glide_step;
        if (gain < target) gain = target;
    } else if (gain < target) {
        gain += glide_step;
        if (gain > target) gain = target;
    }
    return gain;
}

int32_t voice_interpolate(const int8_t history[4], uint32_t fraction) {
    return cubic_interpolate((double)(history[3] * 256), (double)(history[2] * 256), (double)(history[1] * 256),
                             (double)(history[0] * 256), fraction);
}

bool voice_init(Voice* voice, uint32_t output_rate, const SampleSource* source, SampleCache* cache) {
    std::memset(voice, 0, sizeof *voice);
    if (!source || source->size < 2 || source->size >= VOICE_MAX_SIZE || output_rate == 0) return false;
    voice->source = source;
    voice->cache = cache;
    voice->size = source->size;
    voice->output_rate = output_rate;
    voice->volume_gain = 65536;
    voice->pan_left_gain = 65536;
    voice->pan_right_gain = 65536;
    voice_set_frequency(voice, 22050);
    voice_set_volume(voice, 0);
    voice_set_pan(voice, 0);
    voice->left_gain = voice->left_target;
    voice->right_gain = voice->right_target;
    return true;
}

void voice_set_frequency(Voice* voice, uint32_t frequency) {
    voice->step = ((uint64_t)frequency << 32) / voice->output_rate;
}

void voice_set_volume(Voice* voice, int16_t volume) {
    if (volume < -10000)
        volume = -10000;
    else if (volume > 0)
        volume = 0;
    voice->volume_gain = voice_gain_from_db(volume);
    update_targets(voice);
}

void voice_set_pan(Voice* voice, int16_t pan) {
    if (pan < 0) {
        if (pan < -10000) pan = -10000;
        voice->pan_left_gain = 65536;
        voice->pan_right_gain = voice_gain_from_db(pan);
    } else {
        int16_t far = (int16_t)-pan;
        if (far < -10000) far = -10000;
        voice->pan_left_gain = voice_gain_from_db(far);
        voice->pan_right_gain = 65536;
    }
    update_targets(voice);
}

void voice_play(Voice* voice) {
    if (!voice->source) return;
    if (!voice->playing) {
        // Within a flush the old fraction and window carry over, so a quick
        // restart blends into the new pass instead of clicking.
        voice->position = voice->flush_count != 0 ? (int64_t)((uint64_t)voice->position & FRACTION_MASK) : 0;
    }
    voice->playing = true;
}

void voice_stop(Voice* voice) {
    voice->playing = false;
    voice->flush_count = 4;
}

// Moves the window up by k places (1..4); the k oldest samples drop out.
static void shift_window(int8_t history[4], uint32_t k) {
    for (int32_t j = 3; j >= (int32_t)k; j--) history[j] = history[j - (int32_t)k];
}

// The index is taken as a signed 32-bit value widened to 64 bits, so an
// index past 2^31 is far beyond the data and reads as silence.
static int8_t fetch(const Voice* voice, int32_t index) {
    uint64_t i = (uint64_t)index;
    return i < voice->size ? voice_sample(voice, i) : 0;
}

static void generate_stopped(Voice* voice) {
    if (voice->flush_count == 0) return;
    int64_t old_whole = voice->position >> 32;
    voice->position = (int64_t)((uint64_t)voice->position + voice->step);
    int64_t new_whole = voice->position >> 32;
    if (new_whole > old_whole) {
        voice->flush_count--;
        uint32_t k = new_whole - old_whole > 4 ? 4 : (uint32_t)(new_whole - old_whole);
        shift_window(voice->history, k);
        for (uint32_t i = 0; i < k; i++) voice->history[i] = 0;
    }
    voice->position = (int64_t)((uint64_t)voice->position & FRACTION_MASK);
}

static void generate_playing(Voice* voice, int32_t* frame) {
    if (voice->samples_played == 0) {
        voice->left_gain = voice->left_target;
        voice->right_gain = voice->right_target;
    } else if (voice->left_gain != voice->left_target || voice->right_gain != voice->right_target) {
        // Gains at rest stay put; only a moving glide needs its step.
        int32_t glide_step = (int32_t)voice_glide_step(voice->output_rate);
        voice->left_gain = voice_glide(voice->left_gain, voice->left_target, glide_step);
        voice->right_gain = voice_glide(voice->right_gain, voice->right_target, glide_step);
    }

    if (frame) {
        int32_t s = voice_interpolate(voice->history, (uint32_t)voice->position);
        frame[0] = add_wrapping(frame[0], scale_by_gain(voice->left_gain, s));
        frame[1] = add_wrapping(frame[1], scale_by_gain(voice->right_gain, s));
    }

    int64_t old_whole = voice->position >> 32;
    voice->position = (int64_t)((uint64_t)voice->position + voice->step);
    int64_t new_whole = voice->position >> 32;
    if (new_whole > old_whole) {
        uint32_t k = new_whole - old_whole > 4 ? 4 : (uint32_t)(new_whole - old_whole);
        shift_window(voice->history, k);
        for (uint32_t i = k; i-- > 0;) voice->history[i] = fetch(voice, (int32_t)(new_whole - i));
    }
    voice->samples_played++;

    uint64_t end = voice->size << 32;
    if ((uint64_t)voice->position >= end) {
        voice->playing = false;
        voice->flush_count = 4;
    }
}

void voice_generate_sample(Voice* voice, int32_t* frame) {
    if (!voice->source) return;
    if (voice->playing)
        generate_playing(voice, frame);
    else
        generate_stopped(voice);
}

}  // namespace tamsel::core
