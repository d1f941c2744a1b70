// The renderer settings the player changes while a song plays, in one
// place: which tracks are muted, the stereo width, and the per-track levels
// of the block just rendered. Each call neither allocates nor waits, so the
// audio callback may make it on a renderer it owns.
#pragma once

#include <cstdint>

#include "export/export_limits.h"
#include "tamsel/tamsel.h"

// Stereo width in percent, 0..200 (the export's limits); 100 is the song
// as written.
static const uint32_t PLAYER_STEREO_DEFAULT = TAMSEL_LIMIT_STEREO_DEFAULT;
static const uint32_t PLAYER_STEREO_MAX = TAMSEL_LIMIT_STEREO_MAX;

void apply_muted_tracks(tamsel_renderer* renderer, uint32_t muted);
void apply_stereo_width(tamsel_renderer* renderer, uint32_t percent);

// Has the renderer measure each track's level as it renders (the output
// stays the same).
void measure_track_levels(tamsel_renderer* renderer);

// Each track's peak in the last block rendered, 0..1 and beyond for loud
// songs; false when the renderer cannot tell (the display then shows which
// tracks start notes instead).
bool read_track_levels(const tamsel_renderer* renderer, float levels[TAMSEL_TRACK_COUNT]);
