// Helpers of the output tests: a folder per test, files as bytes, and the
// built tool run as a real process with chosen limits, signals and
// standard output.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

// read_file and file_exists come from the shared helpers.
#include "cli_runner.h"
#include "test_support.h"

// A fresh empty folder for the running test, removed with everything in it
// when the object goes.
class TestFolder {
public:
    // suffix tells apart several folders of one test.
    explicit TestFolder(const std::string& suffix = "");
    ~TestFolder();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void put_file(const std::string& path, const std::vector<uint8_t>& bytes);
void put_file(const std::string& path, const std::string& text);
bool files_equal(const std::string& a, const std::string& b);
// Names in folder that start with prefix.
std::vector<std::string> names_starting(const std::string& folder, const std::string& prefix);
// The hidden temporary files of destination NAME: ".NAME.partial-XXXXXX".
std::vector<std::string> partial_files(const std::string& folder, const std::string& name);

// Standard output read to the end, closed before the tool starts, or a pipe
// whose reader takes a few bytes and goes away (like `| head -c N`).
enum class StandardOutput { CAPTURED, CLOSED, PIPE_CLOSED_EARLY };

struct ToolSetup {
    std::string folder;                   // where the tool runs
    std::vector<std::string> arguments;   // after the program's name
    int64_t file_size_limit = -1;         // RLIMIT_FSIZE with SIGXFSZ ignored; -1: none
    StandardOutput standard_output = StandardOutput::CAPTURED;
    size_t bytes_read_before_closing = 100;  // PIPE_CLOSED_EARLY
};

struct ToolResult {
    int exit_code = -1;   // -1 when ended by a signal
    int signal = 0;       // the signal that ended it, or 0
    bool timed_out = false;
    std::string out;      // standard output as read
    std::string err;      // standard error
};

// A run of the built tool. start() returns at once so a test can act while
// the tool runs; finish() waits (killing it after two minutes). Standard
// output and error are pipes read by threads of their own, so a file-size
// limit never touches them and the tool never blocks on them.
class ToolProcess {
public:
    ~ToolProcess();
    bool start(const ToolSetup& setup);
    pid_t pid() const { return pid_; }
    bool running();
    ToolResult finish();

private:
    ToolSetup setup_;
    pid_t pid_ = -1;
    bool reaped_ = false;
    int status_ = 0;
    std::string out_;
    std::string err_;
    std::thread out_reader_;
    std::thread err_reader_;
};

ToolResult run_tool_process(const ToolSetup& setup);

// Waits until a temporary file of NAME in folder holds at least min_bytes
// (the render is under way) or the tool ends. True when it got there.
bool wait_for_partial_file(ToolProcess* tool, const std::string& folder, const std::string& name, int64_t min_bytes);

// The lines of text, without their line breaks.
std::vector<std::string> lines_of(const std::string& text);
// True when the tool has the option form (it answers --version).
bool tool_has_option_form();

// The two forms of the command line, each told to render song.tsm in the
// tool's folder to song.wav there, replacing what is there.
enum class Form { POSITIONAL, OPTIONS };
const char* form_name(Form form);
// Both forms, or the positional one alone (saying so once) when the tool
// has no option form yet.
std::vector<Form> forms_to_test();
std::vector<std::string> render_arguments(Form form, int32_t loops);
// The one line a failed run gives: the positional form's last line on
// standard output, or the option form's line on standard error.
bool failed_with_one_line(Form form, const ToolResult& result, std::string* line);

// Copies examples/NAME to folder/song.tsm.
void place_song(const std::string& folder, const std::string& name);
// What an earlier run left in song.wav: any bytes that a new render cannot
// have, so a destination touched in any way shows.
std::vector<uint8_t> old_render();
