// Runs the built tool as a user would, in a folder, with its standard
// output and standard error kept apart.
#pragma once

#include <string>
#include <vector>

#include "test_support.h"

struct CliRun {
    std::string out;  // standard output
    std::string err;  // standard error
    int code;         // exit code, or -1 when the tool did not exit
};

// Runs "tamselexport ARGUMENTS" in dir. The arguments are in shell syntax;
// on Windows cmd.exe reads them, with double quotes for single ones.
CliRun run_cli(const std::string& dir, const std::string& arguments);
// The same with standard output kept byte for byte (on Windows run_cli
// reads the tool's CRLF line ends as "\n", as text).
CliRun run_cli_bytes(const std::string& dir, const std::string& arguments);
// Runs a POSIX shell command line in dir, where $T is the tool; its
// standard output and standard error are kept apart like run_cli's. Tests
// that need it start with SKIP_WITHOUT_POSIX_SHELL().
CliRun run_shell(const std::string& dir, const std::string& command);

#ifdef _WIN32
#define SKIP_WITHOUT_POSIX_SHELL() GTEST_SKIP() << "needs a POSIX shell and its tools"
#else
#define SKIP_WITHOUT_POSIX_SHELL() (void)0
#endif

// Writes bytes to dir/relative, making the folders on the way.
void write_file_in(const std::string& dir, const std::string& relative, const std::vector<uint8_t>& bytes);
// The folder of a path written with write_temp_file.
std::string folder_of_file(const std::string& path);
bool file_exists(const std::string& path);
// Names of the files in dir, sorted.
std::vector<std::string> files_in(const std::string& dir);
