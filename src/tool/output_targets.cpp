#include "tool/output_targets.h"

#include "common/path_rules.h"
#include "tamsel/tamsel.h"

static const char* const STEM_SUFFIXES[TAMSEL_TRACK_COUNT] = {".track1", ".track2", ".track3", ".drums"};

// The output's path without its extension.
static std::string output_base(const std::string& input, const CliOptions& options) {
    if (!options.output.empty()) return path_without_extension(options.output);
    std::string base = path_without_extension(input);
    if (options.output_dir.empty()) return base;
    std::string dir = options.output_dir;
    if (path_name_start(dir) != dir.size()) dir += '/';
    return dir + path_last_component(base);
}

std::vector<OutputTarget> output_targets(const std::string& input, const CliOptions& options) {
    std::vector<OutputTarget> targets;
    const char* extension = output_format_extension(options.audio.format);
    if (!options.stems) {
        if (!options.output.empty())
            targets.push_back({options.output, options.muted_tracks});
        else
            targets.push_back({output_base(input, options) + extension, options.muted_tracks});
        return targets;
    }
    std::string base = output_base(input, options);
    for (int32_t t = 0; t < TAMSEL_TRACK_COUNT; t++) {
        uint32_t others = 0xFu & ~(1u << t);
        targets.push_back({base + STEM_SUFFIXES[t] + extension, others});
    }
    return targets;
}
