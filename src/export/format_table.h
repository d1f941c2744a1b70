// The formats the option form writes, one entry each: every question about a
// format (its name, extensions, sample depth, encoder, longest file, default
// quality) is answered from this one table.
#pragma once

#include <cstdint>
#include <span>
#include <string>

enum class OutputFormat { WAV_FLOAT, WAV16, WAV24, FLAC16, FLAC24, OGG, OPUS, MP3 };

// What a format's samples are: 32-bit floats, or 16- or 24-bit integers.
enum class SampleDepth { FLOAT32, INT16, INT24 };

// Who writes the bytes: the export's own WAV writer, or libsndfile.
enum class FormatEncoder { OWN_WAV, SNDFILE };

struct FormatEntry {
    OutputFormat format;
    const char* name;           // as -f takes it: "wav", "flac24", ...
    const char* extensions[2];  // the first is the one outputs get; the second may be null
    SampleDepth depth;
    FormatEncoder encoder;
    int32_t sndfile_format;   // libsndfile's container | codec; 0 for OWN_WAV or without libsndfile
    uint64_t max_frames;      // the most a file may hold
    int32_t default_quality;  // 0..10 when none is asked for (lossy formats); -1: has none
    bool integer() const { return depth != SampleDepth::FLOAT32; }
    // Vorbis, Opus, MP3: what a player decodes is not the samples given.
    bool lossy() const { return !integer() && encoder != FormatEncoder::OWN_WAV; }
};

// Every format, in the order -f lists them. Where two share an extension
// the first is the one the extension names (.wav: wav; .flac: flac).
std::span<const FormatEntry> format_table();
const FormatEntry& format_entry(OutputFormat format);

const char* output_format_name(OutputFormat format);
// The extension outputs of the format get: ".wav", ".flac", ".ogg", ...
const char* output_format_extension(OutputFormat format);

// "wav", "wav16", "wav24", "flac", "flac24", "ogg", "opus", "mp3".
bool parse_output_format(const std::string& name, OutputFormat* format);
// From a path's extension (.wav .flac .ogg .oga .opus .mp3, any case): .wav
// gives wav and .flac gives flac (16-bit); false when there is none or it
// names no format.
bool output_format_from_path(const std::string& path, OutputFormat* format);
// False when path's extension names a format whose extension differs from
// format's (a -o that contradicts -f: "x.mp3" with flac); an extension of
// the same kind ("x.wav" with wav24, "x.oga" with ogg) or none that names a
// format is fine.
bool output_format_matches_path(OutputFormat format, const std::string& path);
// True when this build can write the format; otherwise why holds one line
// saying so (for --help and the error).
bool output_format_available(OutputFormat format, std::string* why);
