// The table of 512 sound slots through which the song engine reaches its
// voices: 400..471 hold the melodic notes, 472..495 the drums, the rest stay
// empty. Every operation on an empty slot (or an index outside the table)
// does nothing. Each renderer has a table of its own.
#pragma once

#include <cstdint>

#include "mixer/voice.h"

namespace tamsel::core {

constexpr int32_t SLOT_COUNT = 512;
constexpr uint32_t MIXER_OUTPUT_RATE = 48000;

struct SoundTable {
    Voice voices[SLOT_COUNT];  // a voice with no source is an empty slot
    // Slots that were started or stopped and may still sound, each listed
    // once, so the renderer touches only voices that can sound.
    int32_t listed_slots[SLOT_COUNT];
    bool is_listed[SLOT_COUNT];
    int32_t listed_count;
};

// Empties every slot.
void sound_table_clear(SoundTable* table);
// The voice in slot index, or null for an empty slot or a bad index.
Voice* sound_table_voice(SoundTable* table, int32_t index);
// Puts a new voice over source in slot index, replacing what was there, and
// reading through cache when given. An unusable source (see voice_init)
// leaves the slot empty and returns false.
bool sound_table_set_source(SoundTable* table, int32_t index, const SampleSource* source, SampleCache* cache = nullptr);

// Stops the sound in slot index and starts it again once from its
// beginning, blending out of the flush of the stop (see voice_play).
void sound_table_restart(SoundTable* table, int32_t index);
// Engine scales: volume 300 is full level and each unit below is 8
// hundredths of a decibel; pan 256 is the centre and each unit is 10
// hundredths of a decibel.
void sound_table_set_volume(SoundTable* table, int32_t index, int32_t volume);
void sound_table_set_pan(SoundTable* table, int32_t index, int32_t pan);

// Collects the slots whose voices are playing or flushing into slots (room
// for SLOT_COUNT) and returns how many. The table forgets slots that have
// fallen silent; a voice must be started through sound_table_restart to be
// found.
int32_t sound_table_active_slots(SoundTable* table, int32_t* slots);

}  // namespace tamsel::core
