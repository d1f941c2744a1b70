#include "mixer/tamsel_sound.h"

#include "mixer/cubic.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

static constexpr uint64_t FRACTION_MASK = 0xFFFFFFFFu;

static void update_targets(tamsel_sound* voice) {
    // Both factors lie in 0..65536, so the products are positive and the
    // shift is a plain division by 65536.
    voice->left_target = (int32_t)(((int64_t)voice->volume_gain * voice->pan_left_gain) >> 16);
    voice->right_target = (int32_t)(((int64_t)voice->volume_gain * voice->pan_right_gain) >> 16);
}

int32_t tamsel_sound_gain_from_db(int16_t hundredths) {
    double factor = std::pow(10.0, (double)hundredths / 2000.0);
    return (int32_t)(factor * 65536.0);
}

uint32_t tamsel_sound_glide_step(uint32_t output_rate) {
    return 9437184u / output_rate;
}

int32_t tamsel_sound_glide(int32_t gain, int32_t target, int32_t glide_step) {
    if (gain > target) {
        gain -= glide_step;
        if (gain < target) gain = target;
    } else if (gain < target) {
        gain += glide_step;
        if (gain > target) gain = target;
    }
    return gain;
}

int32_t tamsel_sound_interpolate(const int8_t history[4], uint32_t fraction) {
    return cubic_interpolate((double)(history[3] * 256), (double)(history[2] * 256), (double)(history[1] * 256),
                             (double)(history[0] * 256), fraction);
}

int32_t tamsel_sound_scale(int32_t gain, int32_t s) {
    return scale_by_gain(gain, s);
}

tamsel_sound* tamsel_sound_create(uint32_t output_rate, uint64_t size) {
    if (size < 2 || size >= TAMSEL_SOUND_MAX_SIZE || output_rate == 0) return nullptr;
    tamsel_sound* voice = (tamsel_sound*)std::calloc(1, sizeof(tamsel_sound));
    if (!voice) return nullptr;
    voice->size = size;
    voice->output_rate = output_rate;
    voice->data = (int8_t*)std::calloc((size_t)size, 1);
    if (!voice->data) {
        std::free(voice);
        return nullptr;
    }
    voice->frequency = 22050;
    voice->volume_gain = 65536;
    voice->pan_left_gain = 65536;
    voice->pan_right_gain = 65536;
    tamsel_sound_set_frequency(voice, 22050);
    tamsel_sound_set_volume(voice, 0);
    tamsel_sound_set_pan(voice, 0);
    voice->left_gain = voice->left_target;
    voice->right_gain = voice->right_target;
    return voice;
}

void tamsel_sound_destroy(tamsel_sound* voice) {
    if (!voice) return;
    std::free(voice->data);
    std::free(voice);
}

void tamsel_sound_set_frequency(tamsel_sound* voice, uint32_t frequency) {
    if (!voice) return;
    voice->frequency = frequency;
    voice->step = ((uint64_t)frequency << 32) / voice->output_rate;
}

void tamsel_sound_set_volume(tamsel_sound* voice, int16_t volume) {
    if (!voice) return;
    if (volume < -10000) volume = -10000;
    else if (volume > 0) volume = 0;
    voice->volume_gain = tamsel_sound_gain_from_db(volume);
    update_targets(voice);
}

void tamsel_sound_set_pan(tamsel_sound* voice, int16_t pan) {
    if (!voice) return;
    if (pan < 0) {
        if (pan < -10000) pan = -10000;
        voice->pan_left_gain = 65536;
        voice->pan_right_gain = tamsel_sound_gain_from_db(pan);
    } else {
        int16_t far = (int16_t)-pan;
        if (far < -10000) far = -10000;
        voice->pan_left_gain = tamsel_sound_gain_from_db(far);
        voice->pan_right_gain = 65536;
    }
    update_targets(voice);
}

void tamsel_sound_play(tamsel_sound* voice, uint8_t looping) {
    if (!voice || !voice->data) return;
    if (voice->playing != 1) {
        // Within a flush the old fraction and window carry over, so a quick
        // restart blends into the new pass instead of clicking.
        voice->position = voice->flush_count != 0 ? (int64_t)((uint64_t)voice->position & FRACTION_MASK) : 0;
    }
    voice->playing = 1;
    voice->looping = looping;
}

void tamsel_sound_stop(tamsel_sound* voice) {
    if (!voice) return;
    voice->playing = 0;
    voice->flush_count = 4;
}

// Moves the window up by k places (1..4); the k oldest samples drop out.
static void shift_window(int8_t history[4], uint32_t k) {
    for (int32_t j = 3; j >= (int32_t)k; j--) history[j] = history[j - (int32_t)k];
}

static int8_t fetch(const tamsel_sound* voice, int32_t index) {
    uint64_t i = (uint64_t)index;
    if (voice->looping) {
        if (i >= voice->size) i %= voice->size;
        return voice->data[i];
    }
    return i < voice->size ? voice->data[i] : 0;
}

static void generate_stopped(tamsel_sound* voice) {
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

static void generate_playing(tamsel_sound* voice, int32_t* frame) {
    if (voice->samples_played == 0) {
        voice->left_gain = voice->left_target;
        voice->right_gain = voice->right_target;
    } else if (voice->left_gain != voice->left_target || voice->right_gain != voice->right_target) {
        // Gains at rest stay put; only a moving glide needs its step.
        int32_t glide_step = (int32_t)tamsel_sound_glide_step(voice->output_rate);
        voice->left_gain = tamsel_sound_glide(voice->left_gain, voice->left_target, glide_step);
        voice->right_gain = tamsel_sound_glide(voice->right_gain, voice->right_target, glide_step);
    }

    int32_t s = tamsel_sound_interpolate(voice->history, (uint32_t)voice->position);
    frame[0] = add_wrapping(frame[0], scale_by_gain(voice->left_gain, s));
    frame[1] = add_wrapping(frame[1], scale_by_gain(voice->right_gain, s));

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
        if (voice->looping) {
            voice->position = (int64_t)((uint64_t)voice->position % end);
        } else {
            voice->playing = 0;
            voice->flush_count = 4;
        }
    }
}

void tamsel_sound_generate_sample(tamsel_sound* voice, int32_t* frame) {
    if (!voice || !frame) return;
    if (voice->playing == 1) generate_playing(voice, frame);
    else generate_stopped(voice);
}
