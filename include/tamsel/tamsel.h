/*
 * tamsel.h: render TSM tracker songs to audio, exactly.
 *
 * A song file is loaded once into an immutable tamsel_song, which any number
 * of renderers on any number of threads may share. A tamsel_renderer plays
 * one song from its first frame to its end (or on for ever, see
 * TAMSEL_LOOPS_FOREVER): it owns the clock, the sequencer, the 96 voices and
 * all scratch memory, and is used by one thread at a time.
 * The library has no global mutable state; two renderers never touch each
 * other's memory.
 *
 * Audio is 48000 frames per second, stereo, interleaved left then right. The
 * mixer sums every voice into a pair of 32-bit integers per frame; the float
 * samples are those sums divided by 32768, so loud songs exceed +-1.0 (they
 * are never clipped). The same song and options always give the same bytes,
 * on every machine.
 *
 * Errors are values: every function that can fail returns a tamsel_status and
 * writes its result through a pointer only on TAMSEL_OK. Null pointers and
 * bad options give TAMSEL_ERR_INVALID_ARGUMENT; no function crashes on them,
 * prints, or throws.
 *
 * Memory: loading a song and creating a renderer allocate them (a renderer
 * takes under 200 KiB), and the free functions release them. Rendering and
 * seeking allocate too, on the calling thread: the first time a renderer
 * plays a note it keeps a copy of the note's samples (up to 16 MiB per
 * renderer). A real-time caller (an audio callback) calls
 * tamsel_renderer_prepare first, on another thread; from then on rendering
 * and seeking on that renderer neither allocate nor lock. No other function
 * allocates. The library allocates through C++'s operator new alone, so a
 * program that replaces it sees every allocation (but those the C library
 * makes inside fopen, for tamsel_song_load_file).
 *
 *     tamsel_song *song;
 *     if (tamsel_song_load_file("demo.tsm", &song) != TAMSEL_OK) ...
 *     tamsel_render_options options;
 *     tamsel_render_options_init(&options);
 *     tamsel_renderer *renderer;
 *     if (tamsel_renderer_create(song, &options, &renderer) != TAMSEL_OK) ...
 *     float block[2 * 1024];
 *     size_t got;
 *     while ((got = tamsel_render_float(renderer, block, 1024)) > 0) ... use got frames ...
 *     tamsel_renderer_free(renderer);
 *     tamsel_song_free(song);
 */
#ifndef TAMSEL_H
#define TAMSEL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32) && defined(TAMSEL_SHARED)
#ifdef TAMSEL_BUILDING
#define TAMSEL_API __declspec(dllexport)
#else
#define TAMSEL_API __declspec(dllimport)
#endif
#elif defined(__GNUC__) && defined(TAMSEL_BUILDING)
#define TAMSEL_API __attribute__((visibility("default")))
#else
#define TAMSEL_API
#endif

/* TAMSEL_VERSION_MAJOR, _MINOR, _PATCH and TAMSEL_VERSION_STRING. */
#include "tamsel/tamsel_version.h"

/* Compatibility, the rule for every later 1.x version: what an earlier 1.x
 * declares keeps its name, value and meaning, and every struct here keeps
 * its layout, so a program built against an earlier 1.x header runs
 * unchanged with a later library. Additions come as new functions, new
 * constants and new values of existing fields (as TAMSEL_LOOPS_FOREVER for
 * loops), never as new members of a struct: a new render setting gets a
 * setter on the renderer (as tamsel_renderer_set_muted_tracks does), to call
 * before the first render when it must hold from frame 0; a new song value
 * gets a getter of its own; new play-state values come from a new function.
 * TAMSEL_VERSION_MINOR tells which additions a header has. */

/* Frames per second of every render. */
#define TAMSEL_SAMPLE_RATE 48000
/* Tracks of a song: three melodic instruments, then the drums. */
#define TAMSEL_TRACK_COUNT 4
#define TAMSEL_DRUM_TRACK 3
/* A song file: a header of TAMSEL_SONG_HEADER_BYTES, then the tracks'
 * records of TAMSEL_RECORD_BYTES each, all of track 0 first, as many per
 * track as the header's record count says. Of each track only the first
 * TAMSEL_TRACK_RECORDS records are read. */
#define TAMSEL_SONG_HEADER_BYTES 1048
#define TAMSEL_RECORD_BYTES 4
#define TAMSEL_TRACK_RECORDS 1000
/* Most frames a 32-bit float WAV file can describe. */
#define TAMSEL_WAV_MAX_FRAMES 536870907u

typedef struct tamsel_song tamsel_song;         /* immutable after load; shareable across threads */
typedef struct tamsel_renderer tamsel_renderer; /* one render; used by one thread at a time */

typedef enum {
    TAMSEL_OK = 0,
    TAMSEL_ERR_IO,               /* the file could not be opened or read */
    TAMSEL_ERR_NOT_A_SONG,       /* the bytes do not start with "TSM" */
    TAMSEL_ERR_NO_MEMORY,        /* an allocation failed */
    TAMSEL_ERR_TOO_LONG,         /* the render exceeds the limit asked for, or never ends */
    TAMSEL_ERR_INVALID_ARGUMENT, /* a null pointer, or an option out of range */
    TAMSEL_ERR_NO_LOOP,          /* the song never wraps to its repeat start a second time */
    TAMSEL_ERR_NEVER_ENDS        /* the render never ends (from tamsel_renderer_measure alone) */
} tamsel_status;

/* The library's version, "MAJOR.MINOR.PATCH". Static storage. */
TAMSEL_API const char* tamsel_version(void);

/* One short English sentence for a status, without a final full stop, such
 * as "not a song file". Static storage; unknown values get "unknown error". */
TAMSEL_API const char* tamsel_status_message(tamsel_status status);

/* ---- Songs -------------------------------------------------------------- */

/* Loads a song file. Only the header and the first TAMSEL_TRACK_RECORDS
 * records of each track are read; bytes the file does not hold read as 0. On TAMSEL_OK
 * *song is a new song to release with tamsel_song_free; otherwise *song is
 * left unchanged. TAMSEL_ERR_IO: the file cannot be opened or read;
 * TAMSEL_ERR_NOT_A_SONG: it does not start with "TSM". */
TAMSEL_API tamsel_status tamsel_song_load_file(const char* path, tamsel_song** song);

/* The same from bytes in memory, which are copied: the caller may free them
 * on return. */
TAMSEL_API tamsel_status tamsel_song_load_memory(const void* bytes, size_t size, tamsel_song** song);

/* Releases the caller's reference. Renderers made from the song hold their
 * own, so it may be freed while they still play. Null is ignored. */
TAMSEL_API void tamsel_song_free(tamsel_song* song);

typedef struct {
    uint8_t octave; /* taken modulo 32 */
    int32_t length; /* samples per note; notes of 2 .. 2^25 samples sound, others are silent */
    int32_t volume; /* 300 is full level, 0.08 dB less per unit below */
} tamsel_instrument_info;

typedef struct {
    uint32_t step_ms;     /* the song's step time in milliseconds */
    int32_t repeat_start; /* the record play goes on from after a wrap */
    int32_t repeat_end;   /* the record at which the song wraps */
    int32_t records;      /* records per track as stored (at most 1000 are used) */
    uint32_t drum_volume;
    tamsel_instrument_info instruments[3];
} tamsel_song_info;

/* The song's header fields. Does nothing when either pointer is null. */
TAMSEL_API void tamsel_song_get_info(const tamsel_song* song, tamsel_song_info* info);

/* Instrument i's (0..2) 256-point signed waveform and 64-point envelope (128
 * is full level), for drawing. TAMSEL_ERR_INVALID_ARGUMENT for a null
 * pointer or another i. */
TAMSEL_API tamsel_status tamsel_song_get_instrument_shape(const tamsel_song* song, int instrument, int8_t waveform[256],
                                                          uint8_t envelope[64]);

/* Bit t set when track t (0..2 melodic, 3 drums) starts at least one note in
 * the records the sequencer can reach: those before the wrap point, and the
 * repeat start, where every wrap lands (heard when the render loops at
 * least once). 0 for a null song. */
TAMSEL_API uint32_t tamsel_song_tracks_with_notes(const tamsel_song* song);

/* ---- Rendering ---------------------------------------------------------- */

/* tamsel_render_options.loops: play on for ever; other negatives count as 0.
 * For every L an endless render's first frames are exactly those of the
 * render with L loops, up to that render's end; then it plays the repeat
 * region for as long as it is pulled. That holds up to the second loop
 * point at or after frame 2^29 (3 h 6 min, past TAMSEL_WAV_MAX_FRAMES).
 * From the first of those two on, each pass repeats the one before it
 * sample for sample: the render returns to its exact state there, clock
 * included. So the clock stays in range (a finite render's reading stops
 * at 2^31 - 1 ms, day 24.8), the music never drifts (a finite render's
 * passes differ in their notes' sub-sample phase), and a seek to any frame
 * up to 2^64 - 1 costs at most a skip to the second of those loop points
 * and less than a pass. The play state's pass counts on through the
 * returns. A song that stops stepping (a step time the clock never
 * passes), or whose pass lasts over about 24 days, never returns and plays
 * on as its finite renders do: silent once its notes end.
 * tamsel_renderer_length and _wraps answer TAMSEL_ERR_TOO_LONG at once,
 * tamsel_renderer_measure TAMSEL_ERR_NEVER_ENDS. */
#define TAMSEL_LOOPS_FOREVER (-1)

typedef struct {
    int32_t loops;         /* extra passes from the repeat point, or TAMSEL_LOOPS_FOREVER */
    double tick_ms;        /* engine tick; finite and >= 0, else TAMSEL_ERR_INVALID_ARGUMENT */
    uint32_t muted_tracks; /* bit t mutes track t: 0..2 melodic, 3 drums; other bits are bad options */
} tamsel_render_options;

/* loops 0, tick 20 ms, nothing muted. Does nothing for null. */
TAMSEL_API void tamsel_render_options_init(tamsel_render_options* options);

/* A renderer at frame 0 of the song, with record 0 already sounding. Null
 * options mean the defaults. On TAMSEL_OK *renderer is new, to release with
 * tamsel_renderer_free; otherwise it is left unchanged. Creating costs no
 * time or memory that depends on the song's note lengths. */
TAMSEL_API tamsel_status tamsel_renderer_create(const tamsel_song* song, const tamsel_render_options* options,
                                                tamsel_renderer** renderer);

/* Releases a renderer. Null is ignored. */
TAMSEL_API void tamsel_renderer_free(tamsel_renderer* renderer);

/* Makes now every allocation the renderer would otherwise make while
 * rendering: a copy of each note the song's records can start, filled with
 * its samples. Afterwards no call on this renderer but tamsel_renderer_free
 * touches the allocator; the copies are kept through seeks. Notes
 * beyond the renderer's 16 MiB, or those whose memory cannot be had, are
 * made from the song as they play, the same samples, without allocating.
 * Takes time that grows with the song's note lengths (a few milliseconds
 * for the demo). TAMSEL_ERR_INVALID_ARGUMENT for null. */
TAMSEL_API tamsel_status tamsel_renderer_prepare(tamsel_renderer* renderer);

/* Exact length of the whole render in frames (from frame 0, wherever the
 * renderer is); TAMSEL_ERR_TOO_LONG when it exceeds limit or never ends.
 * Runs the clock and the sequencer alone, without making audio: a few
 * milliseconds for a typical song. A render that never ends is found out
 * without following it to the limit, however large: it is endless, its
 * tick never comes back, or the steps it still needs cannot fit below the
 * clock's highest reading, 2^31 - 1 ms (24.8 days), at which steps stop. */
TAMSEL_API tamsel_status tamsel_renderer_length(const tamsel_renderer* renderer, uint64_t limit, uint64_t* frames);

/* tamsel_renderer_length, telling the two failures apart:
 * TAMSEL_ERR_NEVER_ENDS for a render found never to end (as above) before
 * limit frames, TAMSEL_ERR_TOO_LONG for one that goes on past limit before
 * that is known. */
TAMSEL_API tamsel_status tamsel_renderer_measure(const tamsel_renderer* renderer, uint64_t limit, uint64_t* frames);

/* The frames at which the song wraps to its repeat start (the loop points),
 * in order, up to the end of the render: up to capacity of them are stored
 * in wraps (which may be null when capacity is 0), and *count receives how
 * many there are in all. TAMSEL_ERR_TOO_LONG as for tamsel_renderer_length,
 * and then neither wraps nor *count is written. The wrap that ends the
 * render is not a loop point and is not listed. */
TAMSEL_API tamsel_status tamsel_renderer_wraps(const tamsel_renderer* renderer, uint64_t limit, uint64_t* wraps,
                                               size_t capacity, size_t* count);

/* Render up to frames frames of interleaved stereo into out (2 x frames
 * values) and return how many were stored: fewer than asked only at the end
 * of the render, 0 after it (or for a null pointer).
 * tamsel_render_float gives exactly the samples the command line writes (the
 * sum divided by 32768); tamsel_render_int32 gives the mixer's integer sums
 * themselves; tamsel_render_int16 gives those sums saturated to -32768 ..
 * 32767 (the float samples times 32768, clamped), for a 16-bit device: loud
 * songs clip there, as they would at full scale. Calls of the three may be
 * mixed. */
TAMSEL_API size_t tamsel_render_float(tamsel_renderer* renderer, float* out, size_t frames);
TAMSEL_API size_t tamsel_render_int32(tamsel_renderer* renderer, int32_t* out, size_t frames);
TAMSEL_API size_t tamsel_render_int16(tamsel_renderer* renderer, int16_t* out, size_t frames);

/* Moves to frame: the renderer then yields exactly the frames a render from
 * the start yields from that frame on. Backwards and forwards both work; a
 * frame at or past the end leaves the renderer at the end. Costs far less
 * than rendering the frames skipped (and in an endless render, at most the
 * skip described with TAMSEL_LOOPS_FOREVER). */
TAMSEL_API tamsel_status tamsel_renderer_seek(tamsel_renderer* renderer, uint64_t frame);

/* The frame the next render call starts at; 0 for null. */
TAMSEL_API uint64_t tamsel_renderer_position(const tamsel_renderer* renderer);

typedef struct {
    uint64_t frame;    /* the renderer's position: frames 0 .. frame-1 are rendered */
    int32_t record;    /* the record of the latest sequencer step taken in those frames
                            (0 at frame 0: the first step comes before the first frame) */
    uint32_t pass;     /* wraps to the repeat start among those steps */
    uint32_t notes[4]; /* per track: the low 24 bits of that record's word, the notes it started */
} tamsel_play_state;

/* What is playing now, for a pattern display, a visualiser or a game that
 * syncs events to the music: exact at every frame, after seeks and in
 * endless renders (whose pass counts on, modulo 2^32). The step of frame f
 * is taken in that frame, so it shows once frame f is rendered. A song
 * whose first step already wraps (an end point of 0) stands at its repeat
 * start with pass 1 at frame 0. At the end of a render the state is that of
 * its last frame: the wrap that ends it is no part of it. A record beyond
 * the file's records has notes 0. Costs a few loads, and rendering does not
 * slow down for it. TAMSEL_ERR_INVALID_ARGUMENT for a null pointer. */
TAMSEL_API tamsel_status tamsel_renderer_get_state(const tamsel_renderer* renderer, tamsel_play_state* state);

/* Changes which tracks are heard from the next frame on (bit t mutes track
 * t); TAMSEL_ERR_INVALID_ARGUMENT, changing nothing, for a null renderer or
 * a bit beyond the TAMSEL_TRACK_COUNT tracks. Muted voices go on playing silently, so unmuting resumes them exactly
 * where a render without the mute would be. A muted track's voices are not
 * mixed and nothing else changes: the four one-track renders of a song add
 * up exactly (as 32-bit integers) to the full mix. */
TAMSEL_API tamsel_status tamsel_renderer_set_muted_tracks(tamsel_renderer* renderer, uint32_t muted_tracks);

/* Changes the stereo width from the next frame on: percent 0..200, 100 on
 * a new renderer. The mixer's sums L and R of each frame become
 *     L' = (L x (100 + percent) + R x (100 - percent)) / 200
 *     R' = (R x (100 + percent) + L x (100 - percent)) / 200
 * computed exactly in 64-bit integers, rounded to the nearest integer
 * (halves up, towards +infinity) and clamped to the int32 range: the mid
 * (L + R) / 2 stays, the side (L - R) / 2 is scaled by percent / 100. 0 is
 * mono (L' = R'), 200 doubles the side, and 100 is the render itself, byte
 * for byte and at full speed. All three render calls, seeks and the loop
 * tails use the widened sums (the float samples are still the int32 ones
 * divided by 32768). TAMSEL_ERR_INVALID_ARGUMENT, changing nothing, for a
 * null renderer or a percent outside 0..200. */
TAMSEL_API tamsel_status tamsel_renderer_set_stereo_width(tamsel_renderer* renderer, int32_t percent);

/* Per-track levels, for a player's meters. Off on a new renderer, and then
 * rendering costs nothing for them. With enable non-zero, each render call
 * (tamsel_render_float, _int32 or _int16) records, per track, the peak of
 * that track's own integer sums over the frames it stored: the largest
 * magnitude |sum| of either channel, in the units of tamsel_render_int32
 * (32768 is full scale; up to 2^31), taken before the stereo width. The
 * four tracks' sums add up (as 32-bit integers) to the mix. The output is
 * the same bytes either way and nothing is allocated. Enabling or disabling
 * clears the levels to 0. TAMSEL_ERR_INVALID_ARGUMENT for a null
 * renderer. */
TAMSEL_API tamsel_status tamsel_renderer_measure_track_levels(tamsel_renderer* renderer, int enable);

/* The levels of the latest render call (see
 * tamsel_renderer_measure_track_levels) into peaks[0..3], track t at index
 * t (3 the drums). All 0 while levels are off, after a seek, after a call
 * that stored no frames, and for a track muted throughout the call; the
 * loop tail calls leave them as they were. TAMSEL_ERR_INVALID_ARGUMENT, and
 * nothing written, for a null pointer. */
TAMSEL_API tamsel_status tamsel_renderer_get_track_levels(const tamsel_renderer* renderer,
                                                          uint32_t peaks[TAMSEL_TRACK_COUNT]);

/* ---- Seamless loops ------------------------------------------------------ */

/* Frames of a loop's crossfade: 1440, 30 ms. A jump from the end of a pass
 * back to its start changes every note's sub-sample phase at once, and the
 * crossfade spreads that change out. 30 ms puts what is left of it below
 * about 35 Hz, where the ear hears no click, and stays within the last step
 * of the pass for every step time above 30 ms, so both faded stretches play
 * the same notes. */
#define TAMSEL_LOOP_CROSSFADE_FRAMES 1440

typedef struct {
    uint64_t start;     /* S: the first wrap to the repeat start; the loop's first frame */
    uint64_t end;       /* E: the second wrap; the loop is S .. E - 1 */
    uint32_t crossfade; /* X: frames E - X .. E - 1 are the crossfaded tail */
} tamsel_loop;

/* The loop a game engine plays the song with: the intro, frames 0 .. S - 1,
 * once, then S .. E - 1 for ever, where S is the first wrap and E the
 * second (one pass of the repeat region). X is TAMSEL_LOOP_CROSSFADE_FRAMES,
 * or S or E - S when either is shorter (0 for a song that wraps at frame 0).
 * Answered for the renderer's song and tick whatever its loop count, from
 * the clock and the sequencer alone, as tamsel_renderer_length is.
 * TAMSEL_ERR_TOO_LONG when E lies beyond limit; TAMSEL_ERR_NO_LOOP when the
 * song never wraps a second time (its step time is never reached); *loop is
 * written only on TAMSEL_OK.
 *
 * No two passes are alike sample for sample (see TAMSEL_LOOPS_FOREVER), so
 * frames 0 .. E - 1 of the render, looped as they are, jump at the seam.
 * The recipe for a seamless loop in memory:
 *   1. render frames 0 .. E - X - 1 as usual (with any loop count);
 *   2. append the X frames of tamsel_renderer_loop_tail_int32 (or _float);
 *   3. play those E frames, and after frame E - 1 go on at frame S.
 * Every frame before E - X is exactly the render; the tail fades from the
 * render's frames E - X .. E - 1 into its frames S - X .. S - 1, the ones
 * that lead into S from the intro, so the jump to S goes on as the song
 * itself enters the loop. */
TAMSEL_API tamsel_status tamsel_renderer_find_loop(const tamsel_renderer* renderer, uint64_t limit, tamsel_loop* loop);

/* The crossfaded tail of loop (from tamsel_renderer_find_loop on a renderer
 * of the same song and tick): loop->crossfade frames, interleaved stereo,
 * into tail. Tail frame i is ending + (lead_in - ending) x (i + 1) / X per
 * channel, rounded to the nearest integer, where ending is the render's
 * frame E - X + i and lead_in its frame S - X + i: linear gains, which suit
 * two stretches of the same notes (they add in phase, so equal-power gains
 * would swell by up to 3 dB mid-way) and keep every sample between two the
 * render holds, so the tail is never louder than the file around it. The
 * last tail frame is exactly the render's frame S - 1. The renderer's muted
 * tracks count. When difference_db is not null it gets how alike the two
 * stretches were: 10 log10 of the energy of (ending - lead_in) over their
 * mean energy, -inf when they are the same (or silent). The renderer seeks
 * and renders to make the tail and is then back where it was. The loop
 * must be the one tamsel_renderer_find_loop gives for the renderer's song
 * and tick, and the render must reach its E (loops of 1 or more, or
 * TAMSEL_LOOPS_FOREVER). Any other loop (one whose E lies past the render's
 * end included), a render that ends before E, or a null pointer gives
 * TAMSEL_ERR_INVALID_ARGUMENT, and then nothing is written and the renderer
 * has not moved. The _float tail is the _int32 one divided by 32768, as
 * tamsel_render_float is. */
TAMSEL_API tamsel_status tamsel_renderer_loop_tail_int32(tamsel_renderer* renderer, const tamsel_loop* loop,
                                                         int32_t* tail, double* difference_db);
TAMSEL_API tamsel_status tamsel_renderer_loop_tail_float(tamsel_renderer* renderer, const tamsel_loop* loop,
                                                         float* tail, double* difference_db);

#ifdef __cplusplus
}
#endif

#endif /* TAMSEL_H */
