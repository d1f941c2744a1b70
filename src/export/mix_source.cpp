#include "export/mix_source.h"

#include <cmath>
#include <cstring>

#include "export/loop_tags.h"
#include "export/wav_encoder.h"

static const int64_t MAX_EXTRA_LOOPS = 65536;

uint64_t fade_frames_of(double seconds) {
    return (uint64_t)std::floor(seconds * 48000.0 + 0.5);
}

static bool library_failed(ExportError* error, tamsel::Status status) {
    return failed_with(error, tamsel::message(status));
}

// Why the render has no length that a file of the format holds, from the
// status of the length's search: it never ends (a loopable file of it never
// wraps), or it is too long.
static bool no_length(const AudioSettings& settings, tamsel::Status status, uint64_t max_frames, ExportError* error) {
    *error = ExportError();
    if (status == TAMSEL_ERR_NO_LOOP && settings.loopable) {
        error->fault = ExportFault::NEVER_WRAPS;
        return false;
    }
    if (status == TAMSEL_ERR_NEVER_ENDS) {
        error->fault = ExportFault::NEVER_ENDS;
        return false;
    }
    if (status != TAMSEL_ERR_TOO_LONG) return library_failed(error, status);
    error->fault = ExportFault::TOO_LONG;
    error->format = settings.format;
    error->max_frames = max_frames;
    return false;
}

// The most frames a loopable file of the format holds: a WAV file's smpl
// chunk takes some of the room its size fields leave.
static uint64_t loopable_max_frames(OutputFormat format) {
    const FormatEntry& entry = format_entry(format);
    if (entry.encoder != FormatEncoder::OWN_WAV) return entry.max_frames;
    return wav_max_frames(entry.depth, WAV_SMPL_CHUNK_BYTES);
}

static bool loop_length(const tamsel::Renderer& renderer, const AudioSettings& settings, ExportLength* length,
                        ExportError* error) {
    if (settings.fade_seconds != 0.0) return failed_with(error, "a loopable file has no fade");
    uint64_t max_frames = loopable_max_frames(settings.format);
    tamsel::Loop loop = {};
    tamsel::Status status = renderer.find_loop(max_frames, &loop);
    if (status != TAMSEL_OK) return no_length(settings, status, max_frames, error);
    length->song_frames = loop.end;
    length->fade_frames = 0;
    length->loopable = true;
    length->loop = loop;
    // One extra pass reaches E, and its frames are those of every render.
    length->render_loops = 1;
    return true;
}

bool export_length(const tamsel::Song& song, const tamsel::RenderOptions& options, const AudioSettings& settings,
                   ExportLength* length, ExportError* error) {
    double fade = settings.fade_seconds;
    if (!within_limit(LimitId::FADE, fade)) return out_of_range(error, LimitId::FADE, fade);
    tamsel::Renderer renderer;
    tamsel::Status status = renderer.create(song, options);
    if (status != TAMSEL_OK) return library_failed(error, status);
    if (settings.loopable) return loop_length(renderer, settings, length, error);
    uint64_t max_frames = format_entry(settings.format).max_frames;
    uint64_t fade_frames = fade_frames_of(fade);
    uint64_t song_frames = 0;
    status = renderer.measure(max_frames - fade_frames, &song_frames);
    if (status != TAMSEL_OK) return no_length(settings, status, max_frames, error);
    length->song_frames = song_frames;
    length->fade_frames = fade_frames;
    length->render_loops = options.loops;
    if (fade_frames > 0) length->render_loops = loops_reaching(song, options, length->total());
    return true;
}

int32_t loops_reaching(const tamsel::Song& song, const tamsel::RenderOptions& options, uint64_t total) {
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
                     ExportError* error, size_t threads, int32_t stereo_width) {
    tamsel::RenderOptions render_options = options;
    render_options.loops = length.render_loops;
    total_ = length.total();
    position_ = 0;
    loopable_ = length.loopable;
    if (loopable_) {
        figures_.loop = length.loop;
        if (!make_loop_tail(song, render_options, stereo_width, &figures_, &tail_, error)) return false;
    }
    return open_renderers(song, render_options, threads, stereo_width, error);
}

bool make_loop_tail(const tamsel::Song& song, const tamsel::RenderOptions& options, int32_t stereo_width,
                    LoopFigures* figures, std::vector<int32_t>* tail, ExportError* error) {
    tamsel::RenderOptions reaching = options;
    reaching.loops = 1;
    tamsel::Renderer renderer;
    tamsel::Status status = renderer.create(song, reaching);
    if (status == TAMSEL_OK) status = renderer.set_stereo_width(stereo_width);
    if (status == TAMSEL_OK) status = renderer.loop_tail_int32(figures->loop, tail, &figures->difference_db);
    if (status != TAMSEL_OK) return library_failed(error, status);
    return true;
}

// Frames first .. first + frames - 1 of the export that lie in the tail
// take the tail's frames.
void MixSource::put_loop_tail(int32_t* sums, uint64_t first, size_t frames) const {
    uint64_t tail_start = figures_.loop.end - figures_.loop.crossfade;
    uint64_t last = first + frames;
    if (!loopable_ || last <= tail_start) return;
    uint64_t from = first > tail_start ? first : tail_start;
    std::memcpy(sums + 2 * (from - first), tail_.data() + 2 * (from - tail_start),
                2 * (size_t)(last - from) * sizeof(int32_t));
}

bool MixSource::open_renderers(const tamsel::Song& song, const tamsel::RenderOptions& render_options, size_t threads,
                               int32_t stereo_width, ExportError* error) {
    if (threads > 1) {
        chunked_ = std::make_unique<ChunkedMix>();
        std::string why;
        return chunked_->start(song, render_options, stereo_width, total_, threads, &why) || failed_with(error, why);
    }
    tamsel::Status status = renderer_.create(song, render_options);
    if (status == TAMSEL_OK) status = renderer_.set_stereo_width(stereo_width);
    if (status != TAMSEL_OK) return library_failed(error, status);
    return true;
}

size_t MixSource::read(int32_t* sums, size_t frames) {
    uint64_t left = total_ - position_;
    if (frames > left) frames = (size_t)left;
    if (chunked_) {
        size_t read = chunked_->read(sums, frames);
        put_loop_tail(sums, position_, read);
        position_ += read;
        return read;
    }
    render_sums(&renderer_, sums, frames);
    put_loop_tail(sums, position_, frames);
    position_ += frames;
    return frames;
}
