// Exports one input file of the option form to its outputs: loads the song,
// works out its length and level, and renders each output through an
// atomic output file, reporting on the progress display.
#pragma once

#include <string>
#include <vector>

#include "tool/cli_options.h"
#include "tool/output_targets.h"
#include "tool/progress_display.h"

struct FileExport {
    std::string input;
    std::vector<OutputTarget> targets;
    std::string planning_error;  // set before rendering (a name clash): the file fails with it
};

// Exports one file; prints its summary or its one error line through
// display. True when every output was written.
bool export_file(const FileExport& job, const CliOptions& options, ProgressDisplay* display, size_t slot);

// The frames job's outputs will render in all, for the progress line
// before the run starts; 0 when the file will fail (or is standard input,
// which can be read once only).
uint64_t planned_frames(const FileExport& job, const CliOptions& options);

// Checks the outputs of all files before anything is written: an output
// that is an input (of this or another file) or that two files share gets
// a planning error, for the later file.
void check_output_clashes(std::vector<FileExport>* jobs);
