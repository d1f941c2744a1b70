// The level options: --gain, --normalize and --loudness, each turned into
// one factor for every sample of the full mix (and so of its stems).
#include <cmath>
#include <cstdio>
#include <vector>

#include "export/audio_render.h"
#include "export/loudness_meter.h"
#include "export/mix_source.h"
#include "export/sample_shaper.h"

static const size_t SURVEY_BLOCK_FRAMES = 4096;
static const double LOUDNESS_PEAK_DBFS = -1.0;

// What a first pass over the full mix finds: its loudest sample, as the
// sum and the fade gain it is written with, and its loudness.
struct MixSurvey {
    double peak = 0.0;  // |sum| * gain, in steps of 1/32768
    int32_t peak_sum = 0;
    bool peak_fading = false;
    double peak_gain = 1.0;
    double lufs = -HUGE_VAL;
    double true_peak = 0.0;  // between samples too, full scale 1.0; measured for lossy formats only
};

static bool lossy(const AudioSettings& settings) {
    return format_entry(settings.format).lossy();
}

// A meter that does not start: in a build without libebur128, loudness is
// a value that cannot be measured at all.
static bool meter_failed(ExportError* error, const std::string& why) {
#ifdef TAMSEL_HAVE_EBUR128
    return failed_with(error, why);
#else
    (void)why;
    *error = ExportError();
    error->fault = ExportFault::NO_METER;
    error->limit = LimitId::LOUDNESS;
    return false;
#endif
}

static bool survey_mix(const tamsel::Song& song, const tamsel::RenderOptions& options, const AudioSettings& settings,
                       const ExportLength& length, bool measure_loudness, MixSurvey* survey, ExportError* error) {
    // The mix as it will be written: a render with tracks muted is leveled
    // for what it holds. Stems pass no mutes here, so all four share the
    // full mix's plan.
    MixSource source;
    if (!source.open(song, options, length, error, settings.render_threads, settings.stereo_width)) return false;
    LoudnessMeter meter;
    bool true_peak = measure_loudness && lossy(settings);
    MeterMode mode = true_peak ? MeterMode::LOUDNESS_AND_TRUE_PEAK : MeterMode::LOUDNESS;
    std::string why;
    if (measure_loudness && !meter.start(&why, mode)) return meter_failed(error, why);

    std::vector<int32_t> sums(2 * SURVEY_BLOCK_FRAMES);
    std::vector<float> samples(2 * SURVEY_BLOCK_FRAMES);
    uint64_t fade_start = length.song_frames;
    while (true) {
        uint64_t first = source.position();
        size_t frames = source.read(sums.data(), SURVEY_BLOCK_FRAMES);
        if (frames == 0) break;
        for (size_t f = 0; f < frames; f++) {
            uint64_t frame = first + f;
            bool fading = frame >= fade_start;
            double gain = fade_gain(frame, fade_start, length.fade_frames);
            for (size_t c = 0; c < 2; c++) {
                int32_t sum = sums[2 * f + c];
                double magnitude = std::fabs((double)sum) * gain;
                if (magnitude > survey->peak) {
                    survey->peak = magnitude;
                    survey->peak_sum = sum;
                    survey->peak_fading = fading;
                    survey->peak_gain = gain;
                }
                samples[2 * f + c] = shaped_float(sum, 1.0 / 32768.0, fading, gain);
            }
        }
        if (measure_loudness && !meter.add(samples.data(), frames))
            return failed_with(error, "the loudness meter failed");
    }
    if (true_peak && !meter.true_peak(&survey->true_peak)) return failed_with(error, "the loudness meter failed");
    if (measure_loudness && !meter.integrated(&survey->lufs)) return failed_with(error, "the loudness meter failed");
    return true;
}

double linear_of_db(double db) {
    return std::pow(10.0, db / 20.0);
}

// The factor that writes the survey's peak sample as exactly
// (float)10^(dbfs/20) in float output. The first guess is nearly always
// right; the loop steps it by the last bit of the double until it is.
static double factor_for_peak(const MixSurvey& survey, double dbfs) {
    double level = linear_of_db(dbfs);
    float target = (float)level;
    double scale = level / survey.peak;
    for (int32_t i = 0; i < 256; i++) {
        float written = std::fabs(shaped_float(survey.peak_sum, scale, survey.peak_fading, survey.peak_gain));
        if (written == target) break;
        scale = std::nextafter(scale, written > target ? 0.0 : HUGE_VAL);
    }
    return scale * 32768.0;
}

// The largest factor that writes the survey's peak into an integer format
// without a clamp: the top step is full scale less one, and dither's noise
// of up to one step may push a sample one step further.
static double integer_factor_limit(const AudioSettings& settings, const MixSurvey& survey) {
    const FormatEntry& format = format_entry(settings.format);
    double full_scale = format.depth == SampleDepth::INT24 ? 8388608.0 : 32768.0;
    double margin = settings.dither == DitherMode::NONE ? 1.0 : 2.0;
    return (full_scale - margin) / full_scale * 32768.0 / survey.peak;
}

// A level that shows as 0.0 with one decimal (-0 itself, or -0.04) shows
// without a minus sign.
static double tenths_shown(double level) {
    return std::fabs(level) < 0.05 ? 0.0 : level;
}

static std::string format_note(const char* format, double a, double b) {
    char text[160];
    std::snprintf(text, sizeof(text), format, a, b);
    return text;
}

static bool plan_gain(const AudioSettings& settings, LevelPlan* plan, ExportError* error) {
    if (!within_limit(LimitId::GAIN, settings.gain_db)) return out_of_range(error, LimitId::GAIN, settings.gain_db);
    plan->factor = linear_of_db(settings.gain_db);
    return true;
}

static bool plan_normalize(const tamsel::Song& song, const tamsel::RenderOptions& options,
                           const AudioSettings& settings, const ExportLength& length, LevelPlan* plan,
                           ExportError* error) {
    double dbfs = settings.normalize_dbfs;
    if (!within_limit(LimitId::NORMALIZE, dbfs)) return out_of_range(error, LimitId::NORMALIZE, dbfs);
    MixSurvey survey;
    if (!survey_mix(song, options, settings, length, false, &survey, error)) return false;
    if (survey.peak == 0.0) {
        plan->note = "silent; level unchanged";
        return true;
    }
    plan->factor = factor_for_peak(survey, dbfs);
    if (format_entry(settings.format).integer()) {
        double limit = integer_factor_limit(settings, survey);
        if (plan->factor > limit) plan->factor = limit;
    }
    plan->note =
        format_note("peak brought to %.1f dBFS (%+.2f dB)", tenths_shown(dbfs), 20.0 * std::log10(plan->factor));
    return true;
}

static bool plan_loudness(const tamsel::Song& song, const tamsel::RenderOptions& options, const AudioSettings& settings,
                          const ExportLength& length, LevelPlan* plan, ExportError* error) {
    double target = settings.loudness_lufs;
    if (!within_limit(LimitId::LOUDNESS, target)) return out_of_range(error, LimitId::LOUDNESS, target);
    MixSurvey survey;
    if (!survey_mix(song, options, settings, length, true, &survey, error)) return false;
    if (survey.peak == 0.0 || !std::isfinite(survey.lufs)) {
        plan->note = "too quiet to measure its loudness; level unchanged";
        return true;
    }
    double wanted = linear_of_db(target - survey.lufs);
    double ceiling = factor_for_peak(survey, LOUDNESS_PEAK_DBFS);
    // Lossy files are held by what a player decodes: the true peak, with
    // the encoder's margin.
    const char* held = "the peak at -1 dBFS";
    if (lossy(settings) && survey.true_peak > 0.0) {
        double decoded_ceiling = linear_of_db(LOUDNESS_PEAK_DBFS - LOSSY_PEAK_MARGIN_DB) / survey.true_peak;
        if (decoded_ceiling < ceiling) ceiling = decoded_ceiling;
        held = "the decoded peak under -1 dBFS";
    }
    if (wanted <= ceiling) {
        plan->factor = wanted;
        plan->note =
            format_note("loudness %.1f LUFS brought to %.1f LUFS", tenths_shown(survey.lufs), tenths_shown(target));
        return true;
    }
    plan->factor = ceiling;
    plan->note =
        format_note("loudness %.1f LUFS; lowered %.1f dB from the target to keep ",
                    tenths_shown(survey.lufs + 20.0 * std::log10(ceiling)), 20.0 * std::log10(wanted / ceiling)) +
        held;
    return true;
}

bool plan_level(const tamsel::Song& song, const tamsel::RenderOptions& options, const AudioSettings& settings,
                const ExportLength& length, LevelPlan* plan, ExportError* error) {
    LevelPlan planned;
    bool ok = true;
    if (settings.level == LevelMode::GAIN) ok = plan_gain(settings, &planned, error);
    if (settings.level == LevelMode::NORMALIZE) ok = plan_normalize(song, options, settings, length, &planned, error);
    if (settings.level == LevelMode::LOUDNESS) ok = plan_loudness(song, options, settings, length, &planned, error);
    if (!ok) return false;
    planned.changes_level = planned.factor != 1.0;
    *plan = planned;
    return true;
}
