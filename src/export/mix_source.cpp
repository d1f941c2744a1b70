#include "export/mix_source.h"

#include <cmath>

static const int64_t MAX_EXTRA_LOOPS = 65536;

uint64_t fade_frames_of(double seconds) {
    return (uint64_t)std::floor(seconds * 48000.0 + 0.5);
}

bool export_length(const tamsel::Song& song, const tamsel::RenderOptions& options, const AudioSettings& settings,
                   ExportLength* length, std::string* error) {
    double fade = settings.fade_seconds;
    if (!std::isfinite(fade) || fade < 0.0 || fade > MAX_FADE_SECONDS) {
        *error = "the fade must be a number of seconds from 0 to 3600";
        return false;
    }
    tamsel::Renderer renderer;
    tamsel::Status status = renderer.create(song, options);
    if (status != TAMSEL_OK) {
        *error = tamsel::message(status);
        return false;
    }
    uint64_t max_frames = format_entry(settings.format).max_frames;
    uint64_t fade_frames = fade_frames_of(fade);
    uint64_t song_frames = 0;
    status = renderer.length(max_frames - fade_frames, &song_frames);
    if (status == TAMSEL_ERR_TOO_LONG) {
        *error = std::string("the render never ends or is too long for ") + output_format_name(settings.format) +
                 " (at most " + std::to_string(max_frames) + " frames)";
        return false;
    }
    if (status != TAMSEL_OK) {
        *error = tamsel::message(status);
        return false;
    }
    length->song_frames = song_frames;
    length->fade_frames = fade_frames;
    return true;
}

// The loop count whose render reaches at least total frames: a few more
// loops at a time, doubling, until it does. A song whose loops take no time
// at all stops the search; silence then fills the fade.
static int32_t loops_reaching(const tamsel::Song& song, const tamsel::RenderOptions& options, uint64_t total) {
    int64_t base = options.loops < 0 ? 0 : options.loops;
    int64_t extra = 1;
    while (true) {
        int64_t loops = base + extra;
        if (loops >= INT32_MAX) return INT32_MAX;
        tamsel::RenderOptions longer = options;
        longer.loops = (int32_t)loops;
        tamsel::Renderer renderer;
        if (renderer.create(song, longer) != TAMSEL_OK) return (int32_t)loops;
        uint64_t frames = 0;
        tamsel::Status status = renderer.length(total, &frames);
        if (status != TAMSEL_OK || frames >= total) return (int32_t)loops;
        if (extra >= MAX_EXTRA_LOOPS) return (int32_t)loops;
        extra *= 2;
    }
}

bool MixSource::open(const tamsel::Song& song, const tamsel::RenderOptions& options, const ExportLength& length,
                     std::string* error, size_t threads) {
    tamsel::RenderOptions render_options = options;
    if (length.fade_frames > 0) render_options.loops = loops_reaching(song, options, length.total());
    total_ = length.total();
    position_ = 0;
    if (threads > 1) {
        chunked_ = std::make_unique<ChunkedMix>();
        return chunked_->start(song, render_options, total_, threads, error);
    }
    tamsel::Status status = renderer_.create(song, render_options);
    if (status != TAMSEL_OK) {
        *error = tamsel::message(status);
        return false;
    }
    return true;
}

size_t MixSource::read(int32_t* sums, size_t frames) {
    uint64_t left = total_ - position_;
    if (frames > left) frames = (size_t)left;
    if (chunked_) {
        size_t read = chunked_->read(sums, frames);
        position_ += read;
        return read;
    }
    render_sums(&renderer_, sums, frames);
    position_ += frames;
    return frames;
}
