// The integer sums an export renders: the song for its options, then, with a
// fade, the song playing on from its repeat point as further loops would,
// for the fade's frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "export/audio_render.h"
#include "export/chunked_mix.h"
#include "export/export_error.h"
#include "tamsel/tamsel.hpp"

struct ExportLength {
    uint64_t song_frames = 0;  // the render for the options
    uint64_t fade_frames = 0;  // played on past it while fading
    bool loopable = false;     // song_frames is then the loop's end E
    tamsel::Loop loop = {};
    // The loop count the export renders with: the options' own, more for a
    // fade (see loops_reaching), one for a loopable export.
    int32_t render_loops = 0;
    uint64_t total() const { return song_frames + fade_frames; }
};

// Frames of a fade of seconds (rounded to the nearest frame).
uint64_t fade_frames_of(double seconds);

// The export's length for options, settings.fade_seconds and the format's
// limit (muted tracks change none of it). False with error set when the
// fade is out of its range, or the render never ends (NEVER_ENDS; for a
// loopable file of a song stuck on its first step, NEVER_WRAPS) or ends
// past what a file of the format holds (TOO_LONG: its max_frames in the
// format table, less a loopable WAV file's smpl chunk). A loopable export
// has E frames and no fade.
bool export_length(const tamsel::Song& song, const tamsel::RenderOptions& options, const AudioSettings& settings,
                   ExportLength* length, ExportError* error);

// The loop count whose render reaches at least total frames: a few more
// loops than options.loops at a time, doubling, until it does. A song
// whose loops take no time at all stops the search after 65536 extra
// loops; silence then fills the rest.
int32_t loops_reaching(const tamsel::Song& song, const tamsel::RenderOptions& options, uint64_t total);

// The crossfaded tail of figures->loop for the song with options (muted
// tracks included; the loop count does not matter) into tail, and how alike
// its two stretches were into figures->difference_db. False with error set
// when a renderer cannot be made.
bool make_loop_tail(const tamsel::Song& song, const tamsel::RenderOptions& options, int32_t stereo_width,
                    LoopFigures* figures, std::vector<int32_t>* tail, ExportError* error);

class MixSource {
public:
    // Creates the renderer with length.render_loops: with a fade, enough
    // extra loops to play on for its frames. Frames before the fade are the
    // same either way, since the loop count only decides where the render
    // ends. With threads above 1 that many renderers share the work (see
    // ChunkedMix); the sums are the same. Every renderer (the loop tail's
    // too) plays at stereo_width.
    bool open(const tamsel::Song& song, const tamsel::RenderOptions& options, const ExportLength& length,
              ExportError* error, size_t threads = 1, int32_t stereo_width = TAMSEL_LIMIT_STEREO_DEFAULT);
    // Up to frames frames of interleaved sums; 0 once length.total() frames
    // were read. Silence stands in if the render ends early. A loopable
    // export's last X frames are the loop's crossfaded tail.
    size_t read(int32_t* sums, size_t frames);
    uint64_t position() const { return position_; }
    // A loopable export's figures, measured when it was opened.
    const LoopFigures& loop_figures() const { return figures_; }

private:
    tamsel::Renderer renderer_;
    std::unique_ptr<ChunkedMix> chunked_;  // set when several threads render
    bool open_renderers(const tamsel::Song& song, const tamsel::RenderOptions& options, size_t threads,
                        int32_t stereo_width, ExportError* error);
    void put_loop_tail(int32_t* sums, uint64_t first, size_t frames) const;

    uint64_t total_ = 0;
    uint64_t position_ = 0;
    bool loopable_ = false;
    LoopFigures figures_;
    std::vector<int32_t> tail_;  // the crossfaded frames E-X .. E-1
};
