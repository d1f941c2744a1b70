// tamselplay's command line. The song options (-l, -t, --mute, --solo,
// --gain) are read as tamselexport reads them, with its limits and words.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PlayerOptions {
    std::vector<std::string> inputs;  // songs, folders, playlists, "-"
    int32_t loops = 0;
    double tick_ms = 20.0;
    uint32_t muted_tracks = 0;
    double gain_db = 0.0;
    bool loop_forever = false;
    bool shuffle = false;
    double start_seconds = 0.0;  // where the first song starts
    uint32_t volume = 100;       // percent, 0..100
    uint32_t stereo = 100;       // percent, 0..200
};

enum class PlayerParse { RUN, HELP, VERSION, USAGE_ERROR };

// Reads argv[1..argc-1]; on USAGE_ERROR *error is one line.
PlayerParse parse_player_options(int argc, char** argv, PlayerOptions* options, std::string* error);

// "SECONDS", "M:SS" or "H:MM:SS", each part a plain decimal number.
bool parse_time(const std::string& text, double* seconds);
