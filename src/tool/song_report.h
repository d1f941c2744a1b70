// --info: what a song is and how long it renders with the given options,
// as text for people or as one JSON object per line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tamsel/tamsel.h"
#include "tool/cli_options.h"

struct SongReport {
    std::string file;
    std::string error;                  // why the song did not load; empty when it did
    std::vector<std::string> warnings;  // what is odd about a song that loaded (a short file)
    tamsel_song_info info = {};
    uint32_t tracks_with_notes = 0;  // bit t: track t starts a note
    bool has_length = false;
    uint64_t frames = 0;          // the whole render, the fade included
    std::string length_problem;   // when !has_length: "never ends", "too long for a WAV file", ...
    std::vector<uint64_t> wraps;  // frames of the wraps to the repeat start
    int32_t loops = 0;
    double tick_ms = 20.0;
    double fade_seconds = 0.0;
    OutputFormat format = OutputFormat::WAV_FLOAT;  // the one frames and length are worked out for
    // The song's loop, S and E, whatever the loop count: where the repeat
    // region starts and one pass of it. With --loopable (loopable) also the
    // crossfade the file would get, measured.
    bool loopable = false;
    bool has_loop = false;
    LoopFigures loop;
};

// Loads path and works out its report under options (loops, tick, fade,
// format, muted tracks).
SongReport make_song_report(const std::string& path, const CliOptions& options);

// A few lines, each ending in '\n'.
std::string song_report_text(const SongReport& report);
// One line of JSON, ending in '\n'.
std::string song_report_json(const SongReport& report);
