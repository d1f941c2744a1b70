#include "output_test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

static constexpr int64_t TOOL_TIMEOUT_MS = 120000;

TestFolder::TestFolder(const std::string& suffix) {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "outside_a_test";
    name += suffix;
    for (char& c : name) {
        if (c == '/') c = '_';
    }
    fs::path path = fs::temp_directory_path() / "tamsel_output_tests" / std::to_string(getpid()) / name;
    std::error_code ignored;
    fs::remove_all(path, ignored);
    fs::create_directories(path);
    path_ = path.string();
}

TestFolder::~TestFolder() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
    // The process's folder goes with its last test folder.
    fs::remove(fs::path(path_).parent_path(), ignored);
}

std::vector<uint8_t> file_bytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return bytes;
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(file);
    return bytes;
}

void put_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    if (!bytes.empty()) {
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    }
    ASSERT_EQ(std::fclose(file), 0);
}

void put_file(const std::string& path, const std::string& text) {
    put_file(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// Compares in chunks, so renders of hundreds of megabytes need no memory.
bool files_equal(const std::string& a, const std::string& b) {
    std::FILE* first = std::fopen(a.c_str(), "rb");
    std::FILE* second = std::fopen(b.c_str(), "rb");
    bool equal = first && second;
    static uint8_t chunk_a[1 << 16];
    static uint8_t chunk_b[1 << 16];
    while (equal) {
        size_t got_a = std::fread(chunk_a, 1, sizeof chunk_a, first);
        size_t got_b = std::fread(chunk_b, 1, sizeof chunk_b, second);
        equal = got_a == got_b && std::memcmp(chunk_a, chunk_b, got_a) == 0;
        if (got_a == 0) break;
    }
    if (first) std::fclose(first);
    if (second) std::fclose(second);
    return equal;
}

bool file_exists(const std::string& path) {
    std::error_code ignored;
    return fs::symlink_status(path, ignored).type() != fs::file_type::not_found;
}

std::vector<std::string> names_starting(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> names;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        std::string name = entry.path().filename().string();
        if (name.compare(0, prefix.size(), prefix) == 0) names.push_back(name);
    }
    return names;
}

std::vector<std::string> partial_files(const std::string& folder, const std::string& name) {
    return names_starting(folder, "." + name + ".partial-");
}

// Between fork and exec only async-signal-safe calls: limits, signal
// dispositions, descriptors.
[[noreturn]] static void exec_tool(const ToolSetup& setup, char* const* argv, int out_fd, int err_fd) {
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
        // A write past the limit then fails with EFBIG instead of killing.
        action.sa_handler = SIG_IGN;
        sigaction(SIGXFSZ, &action, nullptr);
    }
    int null_fd = open("/dev/null", O_RDONLY);
    if (null_fd < 0 || dup2(null_fd, 0) < 0) _exit(126);
    if (out_fd >= 0) {
        if (dup2(out_fd, 1) < 0) _exit(126);
    } else {
        close(1);
    }
    if (dup2(err_fd, 2) < 0) _exit(126);
    execv(TAMSEL_EXE, argv);
    _exit(127);
}

static std::string read_text(const std::string& path) {
    std::vector<uint8_t> bytes = file_bytes(path);
    return std::string(bytes.begin(), bytes.end());
}

bool ToolProcess::start(const ToolSetup& setup) {
    setup_ = setup;
    std::vector<std::string> words;
    words.push_back(TAMSEL_EXE);
    words.insert(words.end(), setup.arguments.begin(), setup.arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    int err_fd = open((setup.folder + "/.tool-stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int out_fd = -1;
    int pipe_fds[2] = {-1, -1};
    if (setup.standard_output == StandardOutput::TO_FILE) {
        out_fd = open((setup.folder + "/.tool-stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    } else if (setup.standard_output == StandardOutput::PIPE_CLOSED_EARLY) {
        if (pipe2(pipe_fds, O_CLOEXEC) != 0) return false;
        out_fd = pipe_fds[1];
    }
    if (err_fd < 0 || (setup.standard_output == StandardOutput::TO_FILE && out_fd < 0)) return false;

    pid_ = fork();
    if (pid_ == 0) exec_tool(setup_, argv.data(), out_fd, err_fd);
    close(err_fd);
    if (out_fd >= 0) close(out_fd);
    pipe_fd_ = pipe_fds[0];
    reaped_ = false;
    return pid_ > 0;
}

bool ToolProcess::running() {
    if (reaped_) return false;
    pid_t got = waitpid(pid_, &status_, WNOHANG);
    if (got == pid_) reaped_ = true;
    return !reaped_;
}

ToolResult ToolProcess::finish() {
    ToolResult result;
    if (pipe_fd_ >= 0) {
        // Take a few bytes, then go away like `| head -c N` does.
        std::vector<char> chunk(setup_.bytes_read_before_closing + 1);
        size_t taken = 0;
        while (taken < setup_.bytes_read_before_closing) {
            ssize_t got = read(pipe_fd_, chunk.data(), setup_.bytes_read_before_closing - taken);
            if (got <= 0) break;
            taken += (size_t)got;
        }
        close(pipe_fd_);
        pipe_fd_ = -1;
    }
    auto began = std::chrono::steady_clock::now();
    while (running()) {
        auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began);
        if (waited.count() > TOOL_TIMEOUT_MS) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status_, 0);
            reaped_ = true;
            result.timed_out = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(status_)) result.exit_code = WEXITSTATUS(status_);
    if (WIFSIGNALED(status_)) result.signal = WTERMSIG(status_);
    result.out = read_text(setup_.folder + "/.tool-stdout");
    result.err = read_text(setup_.folder + "/.tool-stderr");
    std::remove((setup_.folder + "/.tool-stdout").c_str());
    std::remove((setup_.folder + "/.tool-stderr").c_str());
    return result;
}

ToolResult run_tool_process(const ToolSetup& setup) {
    ToolProcess tool;
    if (!tool.start(setup)) {
        ADD_FAILURE() << "cannot start " << TAMSEL_EXE;
        return ToolResult();
    }
    return tool.finish();
}

bool wait_for_partial_file(ToolProcess* tool, const std::string& folder, const std::string& name, int64_t min_bytes) {
    while (tool->running()) {
        for (const std::string& partial : partial_files(folder, name)) {
            std::error_code error;
            uintmax_t size = fs::file_size(folder + "/" + partial, error);
            if (!error && (int64_t)size >= min_bytes) return true;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return false;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool tool_has_option_form() {
    static int answer = -1;
    if (answer < 0) {
        TestFolder folder(".version");
        ToolSetup setup;
        setup.folder = folder.path();
        setup.arguments = {"--version"};
        ToolResult result = run_tool_process(setup);
        answer = result.exit_code == 0 ? 1 : 0;
    }
    return answer == 1;
}
