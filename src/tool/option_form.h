// The option form of the command line: tamselexport [options] FILE...
#pragma once

// True when any argument is an option, so the option form applies; other
// arguments that start with '-' (such as -1 or -inf) keep their positional
// meaning.
bool uses_option_form(int argc, char** argv);

// Runs the option form and returns the process's exit code.
int run_option_form(int argc, char** argv);
