#include "tool/option_warnings.h"

#include "common/path_rules.h"
#include "export/format_table.h"

static std::string does_nothing(const char* option, const FormatEntry& format, const char* why) {
    return std::string(option) + " does nothing for " + format.name + " (" + why + ")";
}

// An -o whose extension is not one of a format's: the output holds the
// chosen format all the same, which its name does not tell.
static bool names_unknown_extension(const std::string& output) {
    if (output.empty() || output == "-") return false;
    if (path_extension_start(output) == output.size()) return false;
    OutputFormat ignored;
    return !output_format_from_path(output, &ignored);
}

std::vector<std::string> ineffective_option_warnings(const CliOptions& options) {
    const FormatEntry& format = format_entry(options.audio.format);
    std::vector<std::string> warnings;
    if (names_unknown_extension(options.output)) {
        warnings.push_back("the extension of '" + options.output + "' names no format; it is written as " +
                           format.name);
    }
    if (options.audio.quality >= 0 && format.default_quality < 0)
        warnings.push_back(does_nothing("--quality", format, "only ogg, opus and mp3 have a quality"));
    bool own_wav = format.encoder == FormatEncoder::OWN_WAV;
    if (!options.audio.title.empty() && own_wav)
        warnings.push_back(does_nothing("--title", format, "WAV files carry no tags"));
    if (!options.audio.artist.empty() && own_wav)
        warnings.push_back(does_nothing("--artist", format, "WAV files carry no tags"));
    if (options.audio.dither != DitherMode::DEFAULT && !format.integer())
        warnings.push_back(does_nothing("--dither", format, "only integer samples are dithered"));
    return warnings;
}
