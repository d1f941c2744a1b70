// The option form's command line, read into one structure. Options and
// input files may come in any order; "--" ends the options.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/audio_render.h"

struct CliOptions {
    std::vector<std::string> inputs;
    std::string output;      // -o: the one output; "-" is standard output; empty: named after the input
    std::string output_dir;  // -d: every output goes there; empty: beside its input
    int32_t loops = 0;       // -l
    double tick_ms = 20.0;   // -t
    uint32_t jobs = 0;       // -j; 0: the number of processors
    bool force = false;
    bool info = false;
    bool json = false;
    bool quiet = false;
    bool stems = false;
    uint32_t muted_tracks = 0;  // from --mute or --solo
    bool format_given = false;  // -f was given (else the -o extension or wav)
    bool title_given = false;   // --title was given, even empty (no title tag); else the input's name
    AudioSettings audio;
};

enum class ParseResult { RUN, HELP, VERSION, USAGE_ERROR };

// Reads argv[1..argc-1]. On USAGE_ERROR, error holds one line naming the
// option and, where there is one, the value. HELP and VERSION win over
// everything after them but not over an error before them.
ParseResult parse_cli_options(int argc, char** argv, CliOptions* options, std::string* error);

// True when arg is an option of this form: anything starting with "--", or
// one of -o -d -l -t -j -f -q -h -V, alone or (for those taking a value)
// with the value attached, like "-j4". "-1", "-inf" and "-" are not.
bool is_option_argument(const char* arg);
