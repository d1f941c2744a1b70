#include "player/renderer_settings.h"

void apply_muted_tracks(tamsel_renderer* renderer, uint32_t muted) {
    tamsel_renderer_set_muted_tracks(renderer, muted);
}

void apply_stereo_width(tamsel_renderer* renderer, uint32_t percent) {
    tamsel_renderer_set_stereo_width(renderer, (int32_t)percent);
}

void measure_track_levels(tamsel_renderer* renderer) {
    tamsel_renderer_measure_track_levels(renderer, 1);
}

bool read_track_levels(const tamsel_renderer* renderer, float levels[TAMSEL_TRACK_COUNT]) {
    uint32_t peaks[TAMSEL_TRACK_COUNT];
    if (tamsel_renderer_get_track_levels(renderer, peaks) != TAMSEL_OK) return false;
    // The peaks are in the mixer's sums, of which 32768 is full scale.
    for (int t = 0; t < TAMSEL_TRACK_COUNT; t++) levels[t] = (float)peaks[t] / 32768.0f;
    return true;
}
