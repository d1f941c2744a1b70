#include "tool_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>

#include "common/utf8_path.h"
#else
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

static constexpr int64_t TOOL_TIMEOUT_MS = 120000;

ToolResult run_tool_process(const ToolSetup& setup) {
    ToolProcess tool;
    if (!tool.start(setup)) {
        ADD_FAILURE() << "cannot start " << TAMSEL_EXE;
        return ToolResult();
    }
    return tool.finish();
}

ToolResult run_tool(const std::string& folder, const std::vector<std::string>& arguments) {
    ToolSetup setup;
    setup.folder = folder;
    setup.arguments = arguments;
    return run_tool_process(setup);
}

std::vector<std::string> words_of(const std::string& line) {
    std::vector<std::string> words;
    size_t start = 0;
    while (start < line.size()) {
        size_t end = line.find(' ', start);
        if (end == std::string::npos) end = line.size();
        if (end > start) words.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

#ifdef _WIN32

static std::wstring wide_from_utf8(const std::string& utf8) {
    int size = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    if (size <= 0) return std::wstring();
    std::wstring wide((size_t)size, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), size);
    wide.resize((size_t)size - 1);
    return wide;
}

// One argument as the C runtime's command-line parser reads it back:
// quoted when it holds blanks or quotes, with the backslashes before a
// quote doubled.
static std::wstring quoted_argument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
    std::wstring text = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            backslashes++;
            continue;
        }
        text.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        text += c;
    }
    text.append(2 * backslashes, L'\\');
    return text + L"\"";
}

static std::string without_carriage_returns(const std::string& text) {
    std::string plain;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        plain += text[i];
    }
    return plain;
}

static void read_handle(HANDLE handle, std::string* text) {
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(handle, chunk, sizeof chunk, &got, nullptr) && got > 0) text->append(chunk, got);
    CloseHandle(handle);
}

// A pipe whose write end the tool inherits and whose read end stays here.
static bool make_pipe(HANDLE* read_end, HANDLE* write_end) {
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    if (!CreatePipe(read_end, write_end, &inherited, 0)) return false;
    SetHandleInformation(*read_end, HANDLE_FLAG_INHERIT, 0);
    return true;
}

ToolProcess::~ToolProcess() {
    if (!started_ || ended_) return;
    if (running()) TerminateProcess(process_, 99);
    finish();
}

bool ToolProcess::start(const ToolSetup& setup) {
    setup_ = setup;
    if (setup.standard_output != StandardOutput::CAPTURED || setup.file_size_limit >= 0 || setup.memory_limit >= 0) {
        ADD_FAILURE() << "Windows runs the tool with its output read and no limits only";
        return false;
    }
    HANDLE out_read, out_write, err_read, err_write;
    if (!make_pipe(&out_read, &out_write)) return false;
    if (!make_pipe(&err_read, &err_write)) {
        CloseHandle(out_read);
        CloseHandle(out_write);
        return false;
    }
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE nothing = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    std::wstring exe = std::filesystem::absolute(TAMSEL_EXE).wstring();
    std::wstring line = quoted_argument(exe);
    for (const std::string& argument : setup.arguments) line += L" " + quoted_argument(wide_from_utf8(argument));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nothing;
    startup.hStdOutput = out_write;
    startup.hStdError = err_write;
    DWORD flags = setup.own_console ? CREATE_NEW_CONSOLE : 0;
    PROCESS_INFORMATION info = {};
    started_ = CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE, flags, nullptr,
                              path_from_utf8(setup.folder).wstring().c_str(), &startup, &info) != 0;
    process_ = info.hProcess;
    thread_ = info.hThread;
    process_id_ = info.dwProcessId;
    CloseHandle(out_write);
    CloseHandle(err_write);
    if (nothing != INVALID_HANDLE_VALUE) CloseHandle(nothing);
    if (!started_) {
        CloseHandle(out_read);
        CloseHandle(err_read);
        return false;
    }
    out_reader_ = std::thread(read_handle, out_read, &out_);
    err_reader_ = std::thread(read_handle, err_read, &err_);
    return true;
}

bool ToolProcess::running() {
    return started_ && !ended_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

// Ctrl-C goes to every process of a console: this one joins the tool's for
// the moment, ignoring the event itself until the tool has ended (tools
// started meanwhile would inherit the ignoring).
bool ToolProcess::send_ctrl_c() {
    FreeConsole();
    if (!AttachConsole(process_id_)) return false;
    SetConsoleCtrlHandler(nullptr, TRUE);
    ignoring_ctrl_c_ = true;
    bool sent = GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != 0;
    FreeConsole();
    return sent;
}

void ToolProcess::end_outright() {
    TerminateProcess(process_, 9);
}

ToolResult ToolProcess::finish() {
    ToolResult result;
    if (!started_ || ended_) return result;
    if (WaitForSingleObject(process_, (DWORD)TOOL_TIMEOUT_MS) != WAIT_OBJECT_0) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, INFINITE);
        result.timed_out = true;
    }
    ended_ = true;
    if (ignoring_ctrl_c_) SetConsoleCtrlHandler(nullptr, FALSE);
    ignoring_ctrl_c_ = false;
    if (out_reader_.joinable()) out_reader_.join();
    if (err_reader_.joinable()) err_reader_.join();
    DWORD code = 0;
    if (GetExitCodeProcess(process_, &code)) result.code = (int)code;
    CloseHandle(process_);
    CloseHandle(thread_);
    result.out = setup_.keep_line_ends ? out_ : without_carriage_returns(out_);
    result.err = setup_.keep_line_ends ? err_ : without_carriage_returns(err_);
    return result;
}

#else

// Between fork and exec only async-signal-safe calls: limits, signal
// dispositions, descriptors.
[[noreturn]] static void exec_tool(const ToolSetup& setup, char* const* argv, char* const* envp, int out_fd,
                                   int err_fd) {
    if (chdir(setup.folder.c_str()) != 0) _exit(126);
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    const int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ};
    for (int signal : signals) sigaction(signal, &action, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (setup.file_size_limit >= 0) {
        struct rlimit limit;
        limit.rlim_cur = (rlim_t)setup.file_size_limit;
        limit.rlim_max = (rlim_t)setup.file_size_limit;
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
    }
    if (setup.memory_limit >= 0) {
        struct rlimit limit;
        limit.rlim_cur = (rlim_t)setup.memory_limit;
        limit.rlim_max = (rlim_t)setup.memory_limit;
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(126);
    }
    const char* input = setup.standard_input.empty() ? "/dev/null" : setup.standard_input.c_str();
    int input_fd = setup.input_from_terminal ? out_fd : open(input, O_RDONLY);
    if (input_fd < 0 || dup2(input_fd, 0) < 0) _exit(126);
    if (dup2(err_fd, 2) < 0) _exit(126);
    if (out_fd >= 0) {
        if (dup2(out_fd, 1) < 0) _exit(126);
    } else {
        close(1);
    }
    execve(argv[0], argv, envp);
    _exit(127);
}

// Reads fd to its end into text, or only limit bytes and then closes it. A
// terminal whose other side has closed reads as EIO: that is its end too.
static void read_pipe(int fd, std::string* text, size_t limit) {
    char chunk[65536];
    while (text->size() < limit) {
        size_t want = limit - text->size() < sizeof chunk ? limit - text->size() : sizeof chunk;
        ssize_t got = read(fd, chunk, want);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        text->append(chunk, (size_t)got);
    }
    close(fd);
}

// A pseudo-terminal: its controlling side (kept here) and the terminal the
// tool gets, opened before the tool starts so its end reads as the end.
static bool open_terminal(int* control, int* terminal) {
    *control = posix_openpt(O_RDWR | O_NOCTTY);
    if (*control < 0) return false;
    fcntl(*control, F_SETFD, FD_CLOEXEC);
    const char* name = grantpt(*control) == 0 && unlockpt(*control) == 0 ? ptsname(*control) : nullptr;
    *terminal = name ? open(name, O_RDWR | O_NOCTTY | O_CLOEXEC) : -1;
    if (*terminal >= 0) return true;
    close(*control);
    return false;
}

// The descriptors the tool's standard output and error write to, and the
// ones read here (-1 where there is none).
struct ToolStreams {
    int out_read = -1, out_write = -1, err_read = -1, err_write = -1;
};

static bool open_streams(StandardOutput output, ToolStreams* streams) {
    if (output == StandardOutput::TERMINAL) {
        if (!open_terminal(&streams->out_read, &streams->out_write)) return false;
        streams->err_write = streams->out_write;
        return true;
    }
    int err_pipe[2];
    if (pipe2(err_pipe, O_CLOEXEC) != 0) return false;
    streams->err_read = err_pipe[0];
    streams->err_write = err_pipe[1];
    if (output == StandardOutput::CLOSED) return true;
    if (output == StandardOutput::FULL) {
        streams->out_write = open("/dev/full", O_WRONLY | O_CLOEXEC);
        if (streams->out_write >= 0) return true;
        close(err_pipe[0]);
        close(err_pipe[1]);
        return false;
    }
    int out_pipe[2];
    if (pipe2(out_pipe, O_CLOEXEC) == 0) {
        streams->out_read = out_pipe[0];
        streams->out_write = out_pipe[1];
        return true;
    }
    close(err_pipe[0]);
    close(err_pipe[1]);
    return false;
}

// A test that stopped early takes its tool down with it; the readers end
// with it.
ToolProcess::~ToolProcess() {
    if (started_ && !ended_) kill(pid_, SIGKILL);
    finish();
}

bool ToolProcess::start(const ToolSetup& setup) {
    setup_ = setup;
    std::vector<std::string> words;
    if (!setup.shell_commands.empty()) words = {"/bin/sh", "-c", setup.shell_commands + "; exec \"$0\" \"$@\""};
    words.push_back(TAMSEL_EXE);
    words.insert(words.end(), setup.arguments.begin(), setup.arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    // The test's environment, with setup's TERM in place of its own.
    std::vector<std::string> variables;
    for (char** variable = environ; *variable; variable++) {
        if (!setup.term.empty() && std::strncmp(*variable, "TERM=", 5) == 0) continue;
        variables.push_back(*variable);
    }
    if (!setup.term.empty()) variables.push_back("TERM=" + setup.term);
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);

    ToolStreams streams;
    if (!open_streams(setup.standard_output, &streams)) return false;
    pid_ = fork();
    if (pid_ == 0) exec_tool(setup_, argv.data(), envp.data(), streams.out_write, streams.err_write);
    if (streams.out_write >= 0) close(streams.out_write);
    if (streams.err_write >= 0 && streams.err_write != streams.out_write) close(streams.err_write);
    started_ = pid_ > 0;
    if (streams.err_read >= 0) err_reader_ = std::thread(read_pipe, streams.err_read, &err_, SIZE_MAX);
    if (setup.standard_output == StandardOutput::PIPE_NOT_READ) {
        unread_out_ = streams.out_read;
    } else if (streams.out_read >= 0) {
        size_t limit =
            setup.standard_output == StandardOutput::PIPE_CLOSED_EARLY ? setup.bytes_read_before_closing : SIZE_MAX;
        out_reader_ = std::thread(read_pipe, streams.out_read, &out_, limit);
    }
    return started_;
}

bool ToolProcess::running() {
    if (!started_ || ended_) return false;
    ended_ = waitpid(pid_, &status_, WNOHANG) == pid_;
    return !ended_;
}

ToolResult ToolProcess::finish() {
    ToolResult result;
    if (!started_) {
        if (err_reader_.joinable()) err_reader_.join();
        if (out_reader_.joinable()) out_reader_.join();
        return result;
    }
    auto began = std::chrono::steady_clock::now();
    while (running()) {
        auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began);
        if (waited.count() > TOOL_TIMEOUT_MS) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status_, 0);
            ended_ = true;
            result.timed_out = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (unread_out_ >= 0) close(unread_out_);
    unread_out_ = -1;
    if (err_reader_.joinable()) err_reader_.join();
    if (out_reader_.joinable()) out_reader_.join();
    if (WIFEXITED(status_)) result.code = WEXITSTATUS(status_);
    if (WIFSIGNALED(status_)) result.signal = WTERMSIG(status_);
    result.out = out_;
    result.err = err_;
    return result;
}

#endif
