#include "export/value_limits.h"

#include <cmath>
#include <cstdio>

#include "export/export_limits.h"

static const ValueLimit LIMITS[] = {
    {LimitId::LOOPS, 0.0, TAMSEL_LIMIT_LOOPS_MAX, true, ""},
    {LimitId::TICK, 0.0, TAMSEL_LIMIT_TICK_MS_MAX, false, "milliseconds"},
    {LimitId::JOBS, 1.0, TAMSEL_LIMIT_JOBS_MAX, true, ""},
    {LimitId::QUALITY, 0.0, TAMSEL_LIMIT_QUALITY_MAX, true, ""},
    {LimitId::GAIN, -TAMSEL_LIMIT_GAIN_DB, TAMSEL_LIMIT_GAIN_DB, false, "decibels"},
    {LimitId::NORMALIZE, TAMSEL_LIMIT_NORMALIZE_DBFS_MIN, 0.0, false, "dBFS"},
    {LimitId::LOUDNESS, TAMSEL_LIMIT_LOUDNESS_LUFS_MIN, 0.0, false, "LUFS"},
    {LimitId::FADE, 0.0, TAMSEL_LIMIT_FADE_SECONDS_MAX, false, "seconds"},
    {LimitId::STEREO, 0.0, TAMSEL_LIMIT_STEREO_MAX, true, ""},
};

std::span<const ValueLimit> value_limits() {
    return LIMITS;
}

const ValueLimit& value_limit(LimitId id) {
    return LIMITS[(size_t)id];
}

bool within_limit(LimitId id, double value) {
    const ValueLimit& limit = value_limit(id);
    if (!std::isfinite(value) || value < limit.min || value > limit.max) return false;
    return !limit.whole || std::floor(value) == value;
}

std::string limit_number_text(double bound) {
    char text[64];
    std::snprintf(text, sizeof text, "%.0f", bound);
    return text;
}

std::string limit_range_text(LimitId id) {
    const ValueLimit& limit = value_limit(id);
    std::string min = limit_number_text(limit.min);
    std::string max = limit_number_text(limit.max);
    if (limit.whole) return "a whole number " + min + ".." + max;
    return std::string(limit.unit) + " from " + min + " to " + max;
}
