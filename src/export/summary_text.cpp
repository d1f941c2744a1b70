#include "export/summary_text.h"

#include <cmath>
#include <cstdio>

#include "tamsel/tamsel.h"

std::string format_duration(uint64_t frames) {
    const uint64_t frames_per_ms = TAMSEL_SAMPLE_RATE / 1000;
    uint64_t ms = (frames + frames_per_ms / 2) / frames_per_ms;
    char text[64];
    if (ms >= 3600000) {
        std::snprintf(text, sizeof text, "%llu:%02llu:%02llu.%03llu", (unsigned long long)(ms / 3600000),
                      (unsigned long long)(ms / 60000 % 60), (unsigned long long)(ms / 1000 % 60),
                      (unsigned long long)(ms % 1000));
        return text;
    }
    std::snprintf(text, sizeof text, "%llu:%02llu.%03llu", (unsigned long long)(ms / 60000),
                  (unsigned long long)(ms / 1000 % 60), (unsigned long long)(ms % 1000));
    return text;
}

std::string format_dbfs(double dbfs) {
    if (std::isnan(dbfs) || (std::isinf(dbfs) && dbfs < 0)) return "-inf dBFS";
    char text[64];
    std::snprintf(text, sizeof text, "%.2f dBFS", dbfs);
    return text;
}

// Stretches that are the same (silence at both wraps, often) have no level
// of difference to show.
static std::string likeness_text(double db) {
    if (std::isinf(db) && db < 0) return "stretches identical";
    char text[64];
    std::snprintf(text, sizeof text, "stretches differ by %.1f dB", db);
    return text;
}

std::string loop_text(const LoopFigures& figures) {
    const tamsel::Loop& loop = figures.loop;
    uint64_t length = loop.end - loop.start;
    return "loop from frame " + std::to_string(loop.start) + ", " + std::to_string(length) + " frames (" +
           format_duration(length) + "), crossfade " + std::to_string(loop.crossfade) + " frames, " +
           likeness_text(figures.difference_db);
}

std::string result_text(const AudioResult& result, const LevelPlan& plan, const LevelHints& hints, bool stem) {
    std::string text = format_duration(result.frames) + ", peak " + format_dbfs(result.peak_dbfs) + ", ";
    text += std::to_string(result.beyond_full_scale) + " samples beyond +-1.0";
    if (result.clamped > 0)
        text += ", " + std::to_string(result.clamped) + " samples clamped (try " + hints.normalize + ")";
    // Lossy files have no clamp of their own: a player clips them as it
    // decodes, so they get the same hint.
    if (result.decoded_may_clip) {
        char peak[64];
        std::snprintf(peak, sizeof peak, "%+.2f dBTP", result.true_peak_dbfs);
        text += std::string(", true peak ") + peak + ": may clip when decoded (try " + hints.normalize_lossy + ")";
    }
    if (!plan.note.empty()) text += std::string(", ") + (stem ? "level of the whole mix: " : "") + plan.note;
    if (result.loopable) text += ", " + loop_text(result.loop);
    return text;
}

std::string summary_line(const std::string& input, const std::string& output, const AudioResult& result,
                         const LevelPlan& plan, const LevelHints& hints, bool stem) {
    return input + " -> " + (output == "-" ? std::string("standard output") : output) + ": " +
           result_text(result, plan, hints, stem);
}
