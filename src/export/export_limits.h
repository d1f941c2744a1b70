/* The numbers that bound an export's values, each stated here once: the
 * export checks them (value_limits.h gives them names and ranges), the
 * command line, its help and the page take them from there, and the
 * GStreamer element, which is C, bounds its tick-ms with the same one. */
#pragma once

/* Extra passes from the repeat point: a whole number up to INT32_MAX. */
#define TAMSEL_LIMIT_LOOPS_MAX 2147483647
/* A tick of an hour steps a song once an hour; a longer one only makes a
 * render that never ends. */
#define TAMSEL_LIMIT_TICK_MS_MAX 3600000.0
/* Parallel renders; each holds a renderer and its buffers. */
#define TAMSEL_LIMIT_JOBS_MAX 1024
/* Vorbis, Opus and MP3 quality, from 0. */
#define TAMSEL_LIMIT_QUALITY_MAX 10
/* A gain either way, and the lowest level a peak is normalised to. */
#define TAMSEL_LIMIT_GAIN_DB 96.0
#define TAMSEL_LIMIT_NORMALIZE_DBFS_MIN (-TAMSEL_LIMIT_GAIN_DB)
/* The quietest integrated loudness asked for (EBU R 128's gate). */
#define TAMSEL_LIMIT_LOUDNESS_LUFS_MIN (-70.0)
/* Stereo width in percent: 0 is mono, 100 the render itself (the
 * default), 200 the side doubled (see tamsel_renderer_set_stereo_width). */
#define TAMSEL_LIMIT_STEREO_MAX 200
#define TAMSEL_LIMIT_STEREO_DEFAULT 100
/* The longest fade, in seconds. */
#define TAMSEL_LIMIT_FADE_SECONDS_MAX 3600.0
