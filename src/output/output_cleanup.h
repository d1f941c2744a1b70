// The process's list of temporary output files still being written, so a
// signal (or Ctrl-C, or closing the console on Windows) can remove them
// before the process exits. install_interrupt_cleanup (output_file.h)
// installs the handlers that use it.
#pragma once

#include <cstdint>
#include <string>

// At most this many outputs are open at once, each path shorter than
// TEMPORARY_PATH_BYTES.
constexpr int32_t TEMPORARY_PATH_SLOTS = 128;
constexpr size_t TEMPORARY_PATH_BYTES = 4096;

// Adds path to the list before the file is created (removing a file that
// was never made is harmless). The slot, or -1 when the list is full or the
// path too long.
int32_t remember_temporary_path(const std::string& path);
// Takes a path off the list once the file is renamed or removed.
void forget_temporary_path(int32_t slot);
// Removes every file on the list; safe in a signal handler.
void remove_temporary_files();

// Whether standard error ends in an unfinished line (a progress line): an
// interruption then ends it, so the shell's prompt starts on a line of its
// own. Safe to call from any thread.
void set_standard_error_line_open(bool open);
