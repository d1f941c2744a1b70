// How the command line words what the export layer reports as facts: the
// option that sets each bounded value, its errors and its summary hints.
#pragma once

#include <string>

#include "export/export_error.h"
#include "export/summary_text.h"

// "--loops", "--tick", ... for each bounded value.
const char* option_of_limit(LimitId id);

// An export error in the command line's words ("--gain must be decibels
// from -96 to 96", "never ends").
std::string option_error_text(const ExportError& error);

// An output refused because its name is taken, with how to replace it.
std::string option_taken_text(const std::string& output_error);

// The summary's hints name the level options.
LevelHints option_level_hints();
