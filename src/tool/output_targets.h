// Where the option form writes each input's output: beside the input, in
// the -d folder, or at the -o path; one file, or four stems.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tool/cli_options.h"

struct OutputTarget {
    std::string path;       // "-" is standard output
    uint32_t muted_tracks;  // the tracks this output leaves out
};

// The outputs of input under options: one target, or with --stems four
// (NAME.track1.EXT, NAME.track2.EXT, NAME.track3.EXT, NAME.drums.EXT), each
// muting every other track.
std::vector<OutputTarget> output_targets(const std::string& input, const CliOptions& options);
