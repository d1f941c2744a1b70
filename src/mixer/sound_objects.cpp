#include "mixer/sound_objects.h"

#include "mixer/byte_order.h"
#include "mixer/drum_kit.h"
#include "mixer/voice_block.h"

tamsel_sound* lpSECONDARYBUFFER[SOUND_OBJECT_COUNT];

// Slots that were started or stopped and may still sound, each listed once.
static int32_t listed_slots[SOUND_OBJECT_COUNT];
static uint8_t is_listed[SOUND_OBJECT_COUNT];
static int32_t listed_count;

static void list_slot(int32_t index) {
    if (is_listed[index]) return;
    is_listed[index] = 1;
    listed_slots[listed_count++] = index;
}

int32_t collect_active_voices(tamsel_sound** voices) {
    int32_t kept = 0, found = 0;
    for (int32_t i = 0; i < listed_count; i++) {
        int32_t slot = listed_slots[i];
        tamsel_sound* voice = lpSECONDARYBUFFER[slot];
        if (!voice || !tamsel_sound_is_active(voice)) {
            is_listed[slot] = 0;
            continue;
        }
        listed_slots[kept++] = slot;
        voices[found++] = voice;
    }
    listed_count = kept;
    return found;
}

// Narrows an engine value to the voice's signed 16-bit hundredths of a
// decibel; the scale arithmetic wraps at 32 bits, then keeps the low 16 bits.
static int16_t engine_to_hundredths(int32_t value, uint32_t centre, uint32_t per_unit) {
    uint32_t hundredths = ((uint32_t)value - centre) * per_unit;
    return (int16_t)(uint16_t)hundredths;
}

tamsel_sound* sound_object_at(int32_t index) {
    if (index < 0 || index >= SOUND_OBJECT_COUNT) return nullptr;
    return lpSECONDARYBUFFER[index];
}

uint8_t InitSoundObject(const char* name, int32_t index) {
    if (index < 0 || index >= SOUND_OBJECT_COUNT) return 1;
    const uint8_t* image = get_wave_buffer(name);
    if (!image) return 1;
    ReleaseSoundObject(index);

    uint32_t count = read_u32_le(image + 54);
    tamsel_sound* voice = tamsel_sound_create(MIXER_OUTPUT_RATE, count);
    lpSECONDARYBUFFER[index] = voice;
    if (!voice) return 0;
    // Image samples are unsigned with silence at 128; voices are signed.
    for (uint32_t k = 0; k < count; k++) voice->data[k] = (int8_t)(uint8_t)(image[58 + k] ^ 0x80u);
    return 1;
}

void ReleaseSoundObject(int32_t index) {
    tamsel_sound* voice = sound_object_at(index);
    if (!voice) return;
    tamsel_sound_destroy(voice);
    lpSECONDARYBUFFER[index] = nullptr;
}

void PlaySoundObject(int32_t index, int32_t mode) {
    tamsel_sound* voice = sound_object_at(index);
    if (!voice) return;
    list_slot(index);
    switch (mode) {
    case 0:
        tamsel_sound_stop(voice);
        break;
    case 1:
        tamsel_sound_stop(voice);
        tamsel_sound_play(voice, 0);
        break;
    case -1:
        tamsel_sound_play(voice, 1);
        break;
    default:
        break;
    }
}

void ChangeSoundFrequency(int32_t index, int32_t frequency) {
    tamsel_sound* voice = sound_object_at(index);
    if (!voice) return;
    tamsel_sound_set_frequency(voice, (uint32_t)frequency * 10u + 100u);
}

void ChangeSoundVolume(int32_t index, int32_t volume) {
    tamsel_sound* voice = sound_object_at(index);
    if (!voice) return;
    tamsel_sound_set_volume(voice, engine_to_hundredths(volume, 300, 8));
}

void ChangeSoundPan(int32_t index, int32_t pan) {
    tamsel_sound* voice = sound_object_at(index);
    if (!voice) return;
    tamsel_sound_set_pan(voice, engine_to_hundredths(pan, 256, 10));
}

void release_all_sound_objects() {
    for (int32_t i = 0; i < SOUND_OBJECT_COUNT; i++) ReleaseSoundObject(i);
}
