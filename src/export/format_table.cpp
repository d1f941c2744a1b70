#include "export/format_table.h"

#include <cctype>

#include "common/path_rules.h"
#include "export/sndfile_encoder.h"
#include "export/wav_encoder.h"

#ifdef TAMSEL_HAVE_SNDFILE
#include <sndfile.h>
#define SNDFILE_FORMAT(container, codec) (SF_FORMAT_##container | SF_FORMAT_##codec)
#else
#define SNDFILE_FORMAT(container, codec) 0
#endif

// The encoded formats get a day's worth, about 24.8 hours.
static const uint64_t ENCODED_MAX_FRAMES = UINT32_MAX;

// Vorbis q0.7 (about 224 kbit/s nominal), Opus at about 180 kbit/s and MP3
// VBR V2 (about 190 kbit/s) are transparent for almost all music.
static const FormatEntry FORMATS[] = {
    {OutputFormat::WAV_FLOAT,
     "wav",
     {".wav", nullptr},
     SampleDepth::FLOAT32,
     FormatEncoder::OWN_WAV,
     0,
     wav_max_frames(SampleDepth::FLOAT32),
     -1},
    {OutputFormat::WAV16,
     "wav16",
     {".wav", nullptr},
     SampleDepth::INT16,
     FormatEncoder::OWN_WAV,
     0,
     wav_max_frames(SampleDepth::INT16),
     -1},
    {OutputFormat::WAV24,
     "wav24",
     {".wav", nullptr},
     SampleDepth::INT24,
     FormatEncoder::OWN_WAV,
     0,
     wav_max_frames(SampleDepth::INT24),
     -1},
    {OutputFormat::FLAC16,
     "flac",
     {".flac", nullptr},
     SampleDepth::INT16,
     FormatEncoder::SNDFILE,
     SNDFILE_FORMAT(FLAC, PCM_16),
     ENCODED_MAX_FRAMES,
     -1},
    {OutputFormat::FLAC24,
     "flac24",
     {".flac", nullptr},
     SampleDepth::INT24,
     FormatEncoder::SNDFILE,
     SNDFILE_FORMAT(FLAC, PCM_24),
     ENCODED_MAX_FRAMES,
     -1},
    {OutputFormat::OGG,
     "ogg",
     {".ogg", ".oga"},
     SampleDepth::FLOAT32,
     FormatEncoder::SNDFILE,
     SNDFILE_FORMAT(OGG, VORBIS),
     ENCODED_MAX_FRAMES,
     7},
    {OutputFormat::OPUS,
     "opus",
     {".opus", nullptr},
     SampleDepth::FLOAT32,
     FormatEncoder::SNDFILE,
     SNDFILE_FORMAT(OGG, OPUS),
     ENCODED_MAX_FRAMES,
     5},
    {OutputFormat::MP3,
     "mp3",
     {".mp3", nullptr},
     SampleDepth::FLOAT32,
     FormatEncoder::SNDFILE,
     SNDFILE_FORMAT(MPEG, MPEG_LAYER_III),
     ENCODED_MAX_FRAMES,
     8},
};

std::span<const FormatEntry> format_table() {
    return FORMATS;
}

const FormatEntry& format_entry(OutputFormat format) {
    for (const FormatEntry& entry : FORMATS) {
        if (entry.format == format) return entry;
    }
    return FORMATS[0];
}

const char* output_format_name(OutputFormat format) {
    return format_entry(format).name;
}

const char* output_format_extension(OutputFormat format) {
    return format_entry(format).extensions[0];
}

bool parse_output_format(const std::string& name, OutputFormat* format) {
    for (const FormatEntry& entry : FORMATS) {
        if (name == entry.name) {
            *format = entry.format;
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
    for (const FormatEntry& entry : FORMATS) {
        for (const char* own : entry.extensions) {
            if (own && extension == own) {
                *format = entry.format;
                return true;
            }
        }
    }
    return false;
}

bool output_format_matches_path(OutputFormat format, const std::string& path) {
    OutputFormat named;
    if (!output_format_from_path(path, &named)) return true;
    return std::string(output_format_extension(named)) == output_format_extension(format);
}

bool output_format_available(OutputFormat format, std::string* why) {
    const FormatEntry& entry = format_entry(format);
    if (entry.encoder == FormatEncoder::OWN_WAV) return true;
    return sndfile_can_write(format, why);
}
