// The option form's render: the mix in blocks of integer sums, shaped by the
// level plan and the fade, encoded and written through a ByteWriter.
#include "export/audio_render.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "export/mix_source.h"
#include "export/sample_shaper.h"
#include "export/sndfile_encoder.h"
#include "export/wav_encoder.h"

static const size_t BLOCK_FRAMES = 4096;

bool audio_frames(const tamsel::Song& song, const tamsel::RenderOptions& options, const AudioSettings& settings,
                  uint64_t* frames, std::string* error) {
    ExportLength length;
    if (!export_length(song, options, settings, &length, error)) return false;
    *frames = length.total();
    return true;
}

static std::string software_name() {
    return "tamselexport " TAMSEL_VERSION_STRING;
}

// One of the two encoders, chosen by the format, behind one interface.
class Encoder {
public:
    Encoder(const FormatEntry& format, ByteWriter* out)
        : format_(format), own_wav_(format.encoder == FormatEncoder::OWN_WAV), wav_(format.depth, out), coded_(out) {}

    bool begin(const AudioSettings& settings, uint64_t frames, std::string* error) {
        if (own_wav_) return wav_.begin(frames) || failed_write(error);
        SndfileTags tags;
        tags.title = settings.title;
        tags.artist = settings.artist;
        tags.software = software_name();
        return coded_.begin(format_.format, settings.quality, tags, error);
    }
    bool write_float(const float* samples, size_t frames, std::string* error) {
        if (own_wav_) return wav_.write_float(samples, frames) || failed_write(error);
        return coded_.write_float(samples, frames, error);
    }
    bool write_int(const int32_t* samples, size_t frames, std::string* error) {
        if (own_wav_) return wav_.write_int(samples, frames) || failed_write(error);
        return coded_.write_int(samples, frames, error);
    }
    bool finish(std::string* error) {
        if (own_wav_) return true;
        return coded_.finish(error);
    }

private:
    static bool failed_write(std::string* error) {
        *error = "could not write the output";
        return false;
    }
    const FormatEntry& format_;
    bool own_wav_;
    WavEncoder wav_;
    SndfileEncoder coded_;
};

static bool check_settings(const AudioSettings& settings, std::string* error) {
    std::string why;
    if (!output_format_available(settings.format, &why)) {
        *error = why;
        return false;
    }
    if (settings.quality < -1 || settings.quality > 10) {
        *error = "--quality must be a whole number from 0 to 10";
        return false;
    }
    return true;
}

bool render_audio(const tamsel::Song& song, const tamsel::RenderOptions& options, const AudioSettings& settings,
                  const LevelPlan& plan, ByteWriter* out, const AudioProgress& progress, AudioResult* result,
                  std::string* error) {
    if (!check_settings(settings, error)) return false;
    if (!std::isfinite(plan.factor) || plan.factor < 0.0) {
        *error = "the level plan's factor is not a finite positive number";
        return false;
    }
    ExportLength length;
    if (!export_length(song, options, settings, &length, error)) return false;
    MixSource source;
    if (!source.open(song, options, length, error, settings.render_threads)) return false;

    const FormatEntry& format = format_entry(settings.format);
    SampleDepth depth = format.depth;
    bool dither = settings.dither != DitherMode::NONE;
    SampleShaper shaper(depth, plan.factor, length.song_frames, length.fade_frames, dither,
                        dither_seed(options.muted_tracks));
    Encoder encoder(format, out);
    if (!encoder.begin(settings, length.total(), error)) return false;

    std::vector<int32_t> sums(2 * BLOCK_FRAMES);
    std::vector<float> floats(depth == SampleDepth::FLOAT32 ? 2 * BLOCK_FRAMES : 0);
    std::vector<int32_t> ints(depth == SampleDepth::FLOAT32 ? 0 : 2 * BLOCK_FRAMES);
    uint64_t total = length.total();
    while (true) {
        uint64_t first = source.position();
        size_t frames = source.read(sums.data(), BLOCK_FRAMES);
        if (frames == 0) break;
        bool written;
        if (depth == SampleDepth::FLOAT32) {
            shaper.to_float(sums.data(), first, frames, floats.data());
            written = encoder.write_float(floats.data(), frames, error);
        } else {
            shaper.to_int(sums.data(), first, frames, ints.data());
            written = encoder.write_int(ints.data(), frames, error);
        }
        if (!written) return false;
        if (progress && !progress(source.position(), total)) {
            *error = "cancelled";
            return false;
        }
    }
    if (!encoder.finish(error)) return false;

    const SampleCounts& counts = shaper.counts();
    result->frames = total;
    result->peak_dbfs = counts.peak > 0.0 ? 20.0 * std::log10(counts.peak) : -HUGE_VAL;
    result->beyond_full_scale = counts.beyond;
    result->clamped = counts.clamped;
    return true;
}
