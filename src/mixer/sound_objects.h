// The table of 512 sound-object slots through which the song engine reaches
// its voices. Every operation on an empty slot (or an index outside the
// table) does nothing.
#pragma once

#include <cstdint>

#include "mixer/tamsel_sound.h"

constexpr int32_t SOUND_OBJECT_COUNT = 512;
constexpr uint32_t MIXER_OUTPUT_RATE = 48000;

extern tamsel_sound* lpSECONDARYBUFFER[SOUND_OBJECT_COUNT];

// Creates a drum sound in slot index from the built-in image called name.
// A name without an image is not a failure: the slot is left unchanged.
uint8_t InitSoundObject(const char* name, int32_t index);
void ReleaseSoundObject(int32_t index);
// mode 0 stops, 1 restarts once from the beginning, -1 loops on from where
// the sound is; any other mode does nothing.
void PlaySoundObject(int32_t index, int32_t mode);
// Engine scales: frequency f plays at 10 f + 100 Hz; volume 300 is full level
// and each unit below is 8 hundredths of a decibel; pan 256 is the centre and
// each unit is 10 hundredths of a decibel.
void ChangeSoundFrequency(int32_t index, int32_t frequency);
void ChangeSoundVolume(int32_t index, int32_t volume);
void ChangeSoundPan(int32_t index, int32_t pan);

// Collects the voices that are playing or flushing into voices (room for
// SOUND_OBJECT_COUNT) and returns how many. The table remembers every slot it
// has started or stopped and forgets those that have fallen silent, so the
// renderer touches only voices that can sound; a voice must be started
// through PlaySoundObject to be found.
int32_t collect_active_voices(tamsel_sound** voices);

// The voice in slot index, or nullptr for an empty slot or a bad index.
tamsel_sound* sound_object_at(int32_t index);
// Releases every slot; lets a test start from an empty table.
void release_all_sound_objects();
