#include "mixer/sound_table.h"

#include <cstring>

#include "mixer/voice_block.h"

namespace tamsel::core {

void sound_table_clear(SoundTable* table) {
    std::memset(table, 0, sizeof *table);
}

Voice* sound_table_voice(SoundTable* table, int32_t index) {
    if (index < 0 || index >= SLOT_COUNT) return nullptr;
    Voice* voice = &table->voices[index];
    return voice->source ? voice : nullptr;
}

bool sound_table_set_source(SoundTable* table, int32_t index, const SampleSource* source, SampleCache* cache) {
    if (index < 0 || index >= SLOT_COUNT) return false;
    return voice_init(&table->voices[index], MIXER_OUTPUT_RATE, source, cache);
}

static void list_slot(SoundTable* table, int32_t index) {
    if (table->is_listed[index]) return;
    table->is_listed[index] = true;
    table->listed_slots[table->listed_count++] = index;
}

int32_t sound_table_active_slots(SoundTable* table, int32_t* slots) {
    int32_t kept = 0;
    for (int32_t i = 0; i < table->listed_count; i++) {
        int32_t slot = table->listed_slots[i];
        Voice* voice = &table->voices[slot];
        if (!voice->source || !voice_is_active(voice)) {
            table->is_listed[slot] = false;
            continue;
        }
        table->listed_slots[kept] = slot;
        slots[kept] = slot;
        kept++;
    }
    table->listed_count = kept;
    return kept;
}

// Narrows an engine value to the voice's signed 16-bit hundredths of a
// decibel; the scale arithmetic wraps at 32 bits, then keeps the low 16 bits.
static int16_t engine_to_hundredths(int32_t value, uint32_t centre, uint32_t per_unit) {
    uint32_t hundredths = ((uint32_t)value - centre) * per_unit;
    return (int16_t)(uint16_t)hundredths;
}

void sound_table_restart(SoundTable* table, int32_t index) {
    Voice* voice = sound_table_voice(table, index);
    if (!voice) return;
    list_slot(table, index);
    voice_stop(voice);
    voice_play(voice);
}

void sound_table_set_volume(SoundTable* table, int32_t index, int32_t volume) {
    Voice* voice = sound_table_voice(table, index);
    if (!voice) return;
    voice_set_volume(voice, engine_to_hundredths(volume, 300, 8));
}

void sound_table_set_pan(SoundTable* table, int32_t index, int32_t pan) {
    Voice* voice = sound_table_voice(table, index);
    if (!voice) return;
    voice_set_pan(voice, engine_to_hundredths(pan, 256, 10));
}

}  // namespace tamsel::core
