// Options that do nothing for the chosen output: the run goes on, and the
// user hears about each once, in one line, before anything is written.
#pragma once

#include <string>
#include <vector>

#include "tool/cli_options.h"

// One line each (without the "tamselexport: warning: " prefix), in the
// order the options are listed in --help.
std::vector<std::string> ineffective_option_warnings(const CliOptions& options);
