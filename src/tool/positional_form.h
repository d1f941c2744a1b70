// The positional form of the command line: tamselexport <file> [loops]
// [timer ms], with its fixed usage text, messages and exit codes.
#pragma once

// Runs the positional form and returns the process's exit code.
int run_positional_form(int argc, char** argv);
