#include "export/audio_render.h"

#include <cctype>

#include "common/path_rules.h"
#include "export/sndfile_encoder.h"

struct FormatEntry {
    OutputFormat format;
    const char* name;
    const char* extension;
};

static const FormatEntry FORMATS[] = {
    {OutputFormat::WAV_FLOAT, "wav", ".wav"},  {OutputFormat::WAV16, "wav16", ".wav"},
    {OutputFormat::WAV24, "wav24", ".wav"},    {OutputFormat::FLAC16, "flac", ".flac"},
    {OutputFormat::FLAC24, "flac24", ".flac"}, {OutputFormat::OGG, "ogg", ".ogg"},
    {OutputFormat::OPUS, "opus", ".opus"},     {OutputFormat::MP3, "mp3", ".mp3"},
};
static const size_t FORMAT_COUNT = sizeof(FORMATS) / sizeof(FORMATS[0]);

static const FormatEntry& entry_of(OutputFormat format) {
    for (size_t i = 0; i < FORMAT_COUNT; i++) {
        if (FORMATS[i].format == format) return FORMATS[i];
    }
    return FORMATS[0];
}

bool parse_output_format(const std::string& name, OutputFormat* format) {
    for (size_t i = 0; i < FORMAT_COUNT; i++) {
        if (name == FORMATS[i].name) {
            *format = FORMATS[i].format;
            return true;
        }
    }
    return false;
}

static std::string lower_case(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) c = (char)std::tolower((unsigned char)c);
    return lower;
}

bool output_format_from_path(const std::string& path, OutputFormat* format) {
    std::string extension = lower_case(path.substr(path_extension_start(path)));
    // .wav names the default WAV (32-bit float); the integer WAVs need -f.
    if (extension == ".wav") {
        *format = OutputFormat::WAV_FLOAT;
        return true;
    }
    if (extension == ".flac") {
        *format = OutputFormat::FLAC16;
        return true;
    }
    if (extension == ".ogg" || extension == ".oga") {
        *format = OutputFormat::OGG;
        return true;
    }
    if (extension == ".opus") {
        *format = OutputFormat::OPUS;
        return true;
    }
    if (extension == ".mp3") {
        *format = OutputFormat::MP3;
        return true;
    }
    return false;
}

const char* output_format_extension(OutputFormat format) {
    return entry_of(format).extension;
}

const char* output_format_name(OutputFormat format) {
    return entry_of(format).name;
}

bool output_format_is_integer(OutputFormat format) {
    return format == OutputFormat::WAV16 || format == OutputFormat::WAV24 || format == OutputFormat::FLAC16 ||
           format == OutputFormat::FLAC24;
}

bool output_format_available(OutputFormat format, std::string* why) {
    if (format == OutputFormat::WAV_FLOAT || format == OutputFormat::WAV16 || format == OutputFormat::WAV24) {
        return true;
    }
    return sndfile_can_write(format, why);
}

bool output_format_matches_path(OutputFormat format, const std::string& path) {
    OutputFormat named;
    if (!output_format_from_path(path, &named)) return true;
    return std::string(output_format_extension(named)) == output_format_extension(format);
}
