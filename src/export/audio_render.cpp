// The option form's render: the mix in blocks of integer sums, shaped by the
// level plan and the fade, encoded and written through a ByteWriter.
#include "export/audio_render.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "export/loop_tags.h"
#include "export/loudness_meter.h"
#include "export/mix_source.h"
#include "export/sample_shaper.h"
#include "export/sndfile_encoder.h"
#include "export/wav_encoder.h"

static const size_t BLOCK_FRAMES = 4096;

static std::string software_name() {
    return "tamselexport " TAMSEL_VERSION_STRING;
}

// Shapes blocks of sums and hands them to one of the two encoders, chosen
// by the format. Float WAV samples are shaped straight into the output's
// buffer; the others go through a block of samples first.
class Encoder {
public:
    Encoder(const FormatEntry& format, SampleShaper* shaper, ByteWriter* out)
        : format_(format),
          own_wav_(format.encoder == FormatEncoder::OWN_WAV),
          shaper_(shaper),
          wav_(format.depth, out),
          coded_(out) {}

    // With loop set, the file carries the loop points.
    bool begin(const AudioSettings& settings, uint64_t frames, const tamsel::Loop* loop, ExportError* error) {
        if (own_wav_) return wav_.begin(frames, loop) || failed_write(error);
        SndfileTags tags;
        tags.title = settings.title;
        tags.artist = settings.artist;
        tags.software = software_name();
        if (loop) tags.comments = loop_comments(*loop);
        std::string why;
        return coded_.begin(format_.format, settings.quality, tags, frames, &why) || failed_with(error, why);
    }
    // Frames frames of sums, the first of them frame first of the render.
    bool write(const int32_t* sums, uint64_t first, size_t frames, ExportError* error) {
        if (format_.depth == SampleDepth::FLOAT32 && own_wav_) {
            auto shape = [this, sums, first](float* out, size_t at, size_t count) {
                shaper_->to_float(sums + 2 * at, first + at, count, out);
            };
            return wav_.write_float(frames, shape) || failed_write(error);
        }
        if (format_.depth == SampleDepth::FLOAT32) {
            floats_.resize(2 * frames);
            shaper_->to_float(sums, first, frames, floats_.data());
            if (peak_meter_on_ && !peak_meter_.add(floats_.data(), frames)) peak_meter_on_ = false;
            return coded(coded_.write_float(floats_.data(), frames, &why_), error);
        }
        ints_.resize(2 * frames);
        shaper_->to_int(sums, first, frames, ints_.data());
        if (own_wav_) return wav_.write_int(ints_.data(), frames) || failed_write(error);
        return coded(coded_.write_int(ints_.data(), frames, &why_), error);
    }
    bool finish(ExportError* error) {
        if (own_wav_) return wav_.finish() || failed_write(error);
        return coded(coded_.finish(&why_), error);
    }
    // Lossy formats: the true peak of what the encoder is given, measured
    // as it goes where this build can (see true_peak).
    void measure_true_peak() {
        std::string unused;
        peak_meter_on_ = format_.lossy() && peak_meter_.start(&unused, MeterMode::TRUE_PEAK);
    }
    // False when it was not measured.
    bool true_peak(double* peak) { return peak_meter_on_ && peak_meter_.true_peak(peak); }

private:
    static bool failed_write(ExportError* error) { return failed_with(error, OUTPUT_WRITE_FAILED); }
    // The encoder's own line for what failed.
    bool coded(bool ok, ExportError* error) const { return ok || failed_with(error, why_); }
    const FormatEntry& format_;
    bool own_wav_;
    SampleShaper* shaper_;
    WavEncoder wav_;
    SndfileEncoder coded_;
    std::vector<float> floats_;
    std::vector<int32_t> ints_;
    LoudnessMeter peak_meter_;
    bool peak_meter_on_ = false;
    std::string why_;
};

// A lossy file's peak as a player decodes it is, within the encoder's
// margin, its true peak; without a true-peak meter the sample peak stands in.
static void judge_decoded_peak(Encoder* encoder, const FormatEntry& format, AudioResult* result) {
    if (!format.lossy()) return;
    double true_peak = 0.0;
    result->true_peak_dbfs = result->peak_dbfs;
    if (encoder->true_peak(&true_peak)) {
        result->true_peak_dbfs = true_peak > 0.0 ? 20.0 * std::log10(true_peak) : -HUGE_VAL;
    }
    result->decoded_may_clip = result->true_peak_dbfs + LOSSY_PEAK_MARGIN_DB > 0.0;
}

static bool check_settings(const AudioSettings& settings, ExportError* error) {
    std::string why;
    if (!output_format_available(settings.format, &why)) return failed_with(error, why);
    if (settings.quality != -1 && !within_limit(LimitId::QUALITY, settings.quality))
        return out_of_range(error, LimitId::QUALITY, settings.quality);
    return true;
}

bool render_audio(const tamsel::Song& song, const tamsel::RenderOptions& options, const AudioSettings& settings,
                  const ExportLength& length, const LevelPlan& plan, ByteWriter* out, const AudioProgress& progress,
                  AudioResult* result, ExportError* error) {
    if (!check_settings(settings, error)) return false;
    if (!std::isfinite(plan.factor) || plan.factor < 0.0)
        return failed_with(error, "the level plan's factor is not a finite positive number");
    MixSource source;
    if (!source.open(song, options, length, error, settings.render_threads, settings.stereo_width)) return false;

    const FormatEntry& format = format_entry(settings.format);
    bool dither = settings.dither != DitherMode::NONE;
    SampleShaper shaper(format.depth, plan.factor, length.song_frames, length.fade_frames, dither,
                        dither_seed(options.muted_tracks));
    Encoder encoder(format, &shaper, out);
    const tamsel::Loop* loop = length.loopable ? &source.loop_figures().loop : nullptr;
    if (!encoder.begin(settings, length.total(), loop, error)) return false;
    encoder.measure_true_peak();

    std::vector<int32_t> sums(2 * BLOCK_FRAMES);
    uint64_t total = length.total();
    while (true) {
        uint64_t first = source.position();
        size_t frames = source.read(sums.data(), BLOCK_FRAMES);
        if (frames == 0) break;
        if (!encoder.write(sums.data(), first, frames, error)) return false;
        if (progress && !progress(source.position(), total)) {
            *error = ExportError();
            error->fault = ExportFault::CANCELLED;
            return false;
        }
    }
    if (!encoder.finish(error)) return false;

    const SampleCounts& counts = shaper.counts();
    result->frames = total;
    result->peak_dbfs = counts.peak > 0.0 ? 20.0 * std::log10(counts.peak) : -HUGE_VAL;
    result->beyond_full_scale = counts.beyond;
    result->clamped = counts.clamped;
    judge_decoded_peak(&encoder, format, result);
    result->loopable = length.loopable;
    result->loop = source.loop_figures();
    return true;
}
