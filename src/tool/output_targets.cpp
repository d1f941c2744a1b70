#include "tool/output_targets.h"

#include "common/path_rules.h"
#include "export/file_names.h"
#include "tamsel/tamsel.h"

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
        targets.push_back({base + stem_suffix(t) + extension, stem_muted_tracks(t)});
    }
    return targets;
}
