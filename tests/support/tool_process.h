// The built tool run as a real process: in a folder, with its arguments
// passed as they are (no shell reads them), its standard output and
// standard error read apart. On Linux with chosen limits and standard
// outputs; on Windows in a console of its own when it is to get Ctrl-C.
#pragma once

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <sys/types.h>
#endif

// What the tool's standard output is: a pipe read to its end, closed
// before the tool starts, a pipe whose reader takes a few bytes and goes
// away (like `| head -c N`), a pipe nobody reads (the tool blocks on it), a
// pseudo-terminal that standard error shares, or /dev/full (every write
// fails: no space left). Windows has the first only.
enum class StandardOutput { CAPTURED, CLOSED, PIPE_CLOSED_EARLY, PIPE_NOT_READ, TERMINAL, FULL };

struct ToolSetup {
    std::string folder;                  // where the tool runs
    std::vector<std::string> arguments;  // after the program's name
    std::string term;                    // Linux: TERM for the tool; empty: the test's own
    std::string standard_input;          // Linux: a file read as standard input; empty: /dev/null
    int64_t file_size_limit = -1;        // Linux: RLIMIT_FSIZE, SIGXFSZ at its default; -1: none
    // Linux: shell commands run first by a real shell, which then becomes
    // the tool: sh -c 'COMMANDS; exec "$0" "$@"' TOOL ARGUMENTS. Empty: the
    // tool is started directly.
    std::string shell_commands;
    int64_t memory_limit = -1;  // Linux: RLIMIT_AS, bytes of address space; -1: none
    StandardOutput standard_output = StandardOutput::CAPTURED;
    bool input_from_terminal = false;        // Linux, with TERMINAL: standard input is that terminal too
    size_t bytes_read_before_closing = 100;  // PIPE_CLOSED_EARLY
    // Windows writes text lines with "\r\n"; they are read as "\n" unless
    // the bytes matter (audio on standard output).
    bool keep_line_ends = false;
    bool own_console = false;  // Windows: a console of its own, for Ctrl-C
};

struct ToolResult {
    int code = -1;   // exit code; -1 when ended by a signal
    int signal = 0;  // the signal that ended it, or 0
    bool timed_out = false;
    std::string out;  // standard output as read
    std::string err;  // standard error (in out with TERMINAL)
};

// A run of the built tool. start() returns at once so a test can act while
// the tool runs; finish() waits (killing it after two minutes). Standard
// output and error are read by threads of their own, so a file-size limit
// never touches them and the tool never blocks on them.
class ToolProcess {
public:
    ToolProcess() = default;
    ToolProcess(const ToolProcess&) = delete;
    ToolProcess& operator=(const ToolProcess&) = delete;
    ~ToolProcess();
    bool start(const ToolSetup& setup);
    bool running();
    ToolResult finish();
#ifdef _WIN32
    // Ctrl-C to the tool's console (own_console), as a person presses it.
    bool send_ctrl_c();
    // Ends the process outright with exit code 9, as Task Manager does.
    void end_outright();
#else
    pid_t pid() const {
        return pid_;
    }
#endif

private:
    ToolSetup setup_;
    std::string out_;
    std::string err_;
    std::thread out_reader_;
    std::thread err_reader_;
    bool started_ = false;
    bool ended_ = false;  // reaped (Linux), or waited for to the end (Windows)
#ifdef _WIN32
    void* process_ = nullptr;  // the process's and its thread's handles
    void* thread_ = nullptr;
    unsigned long process_id_ = 0;
    bool ignoring_ctrl_c_ = false;
#else
    pid_t pid_ = -1;
    int status_ = 0;
    int unread_out_ = -1;  // PIPE_NOT_READ: closed once the tool has ended
#endif
};

// Starts the tool and waits for it; a tool that cannot start fails the test.
ToolResult run_tool_process(const ToolSetup& setup);
// The common case: the tool in folder with these arguments, its output read.
ToolResult run_tool(const std::string& folder, const std::vector<std::string>& arguments);
// The words of a command line written with blanks between them and no
// quoting, for tables of simple cases: "song.tsm 0 inf" is three words.
std::vector<std::string> words_of(const std::string& line);

// Tests that need what Windows lacks (a pseudo-terminal, a pipe left
// unread, signals) say so and stop there.
#ifdef _WIN32
#define SKIP_ON_WINDOWS(what) GTEST_SKIP() << "needs " << what << ", which Windows lacks"
#else
#define SKIP_ON_WINDOWS(what) (void)0
#endif
