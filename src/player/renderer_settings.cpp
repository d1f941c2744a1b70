#include "player/renderer_settings.h"

void apply_muted_tracks(tamsel_renderer* renderer, uint32_t muted) {
    tamsel_renderer_set_muted_tracks(renderer, muted);
}

void apply_stereo_width(tamsel_renderer* renderer, uint32_t percent) {
    (void)renderer;
    (void)percent;
}

bool read_track_levels(const tamsel_renderer* renderer, float levels[TAMSEL_TRACK_COUNT]) {
    (void)renderer;
    (void)levels;
    return false;
}
