// The positional form of the command line: tamselexport <file> [loops]
// [timer ms], with its fixed usage text, messages and exit codes.
#pragma once

#include <cstdint>
#include <string>

#include "tamsel/tamsel.hpp"

// Runs the positional form and returns the process's exit code.
int run_positional_form(int argc, char** argv);

// Renders the whole render, frames frames (its length), into path as a
// 32-bit float WAV file, replacing any file there only once the new one is
// complete. False on any failure to create, write, close or rename; the
// incomplete file is then removed and any old file at path kept.
bool write_wav_file(const std::string& path, tamsel::Renderer* renderer, uint64_t frames);
