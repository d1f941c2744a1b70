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
    if (dup2(err_fd, 2) < 0) _exit(126);
    if (out_fd >= 0) {
        if (dup2(out_fd, 1) < 0) _exit(126);
    } else {
        close(1);
    }
    execv(TAMSEL_EXE, argv);
    _exit(127);
}

// Reads fd to its end into text, or only limit bytes and then closes it.
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

// A test that stopped early takes its tool down with it.
ToolProcess::~ToolProcess() {
    if (pid_ <= 0 || reaped_) return;
    kill(pid_, SIGKILL);
    finish();
}

bool ToolProcess::start(const ToolSetup& setup) {
    setup_ = setup;
    std::vector<std::string> words;
    words.push_back(TAMSEL_EXE);
    words.insert(words.end(), setup.arguments.begin(), setup.arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    int err_pipe[2];
    int out_pipe[2] = {-1, -1};
    if (pipe2(err_pipe, O_CLOEXEC) != 0) return false;
    if (setup.standard_output != StandardOutput::CLOSED && pipe2(out_pipe, O_CLOEXEC) != 0) return false;
    pid_ = fork();
    if (pid_ == 0) exec_tool(setup_, argv.data(), out_pipe[1], err_pipe[1]);
    close(err_pipe[1]);
    if (out_pipe[1] >= 0) close(out_pipe[1]);
    err_reader_ = std::thread(read_pipe, err_pipe[0], &err_, SIZE_MAX);
    if (out_pipe[0] >= 0) {
        size_t limit = setup.standard_output == StandardOutput::PIPE_CLOSED_EARLY ? setup.bytes_read_before_closing
                                                                                  : SIZE_MAX;
        out_reader_ = std::thread(read_pipe, out_pipe[0], &out_, limit);
    }
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
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (err_reader_.joinable()) err_reader_.join();
    if (out_reader_.joinable()) out_reader_.join();
    if (WIFEXITED(status_)) result.exit_code = WEXITSTATUS(status_);
    if (WIFSIGNALED(status_)) result.signal = WTERMSIG(status_);
    result.out = out_;
    result.err = err_;
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

const char* form_name(Form form) {
    return form == Form::POSITIONAL ? "positional form" : "option form";
}

std::vector<Form> forms_to_test() {
    if (tool_has_option_form()) return {Form::POSITIONAL, Form::OPTIONS};
    static bool said = false;
    if (!said) std::printf("note: the tool has no option form yet (--version fails); its cases are skipped\n");
    said = true;
    return {Form::POSITIONAL};
}

std::vector<std::string> render_arguments(Form form, int32_t loops) {
    if (form == Form::POSITIONAL) return {"song.tsm", std::to_string(loops)};
    return {"--quiet", "--force", "--loops", std::to_string(loops), "-o", "song.wav", "song.tsm"};
}

bool failed_with_one_line(Form form, const ToolResult& result, std::string* line) {
    if (form == Form::POSITIONAL) {
        // The usage lines, what is loaded and written, then the verdict.
        std::vector<std::string> lines = lines_of(result.out);
        if (lines.size() != 11 || lines[8] != "Loading file song.tsm" || lines[9] != "Exporting to file song.wav") {
            *line = "unexpected output: " + result.out;
            return false;
        }
        *line = lines[10];
        return result.err.empty() && *line == "Error!";
    }
    std::vector<std::string> lines = lines_of(result.err);
    *line = result.err;
    if (lines.size() != 1) return false;
    *line = lines[0];
    return line->compare(0, 24, "tamselexport: song.tsm: ") == 0;
}

void place_song(const std::string& folder, const std::string& name) {
    put_file(folder + "/song.tsm", read_file(std::string(TAMSEL_SOURCE_DIR) + "/examples/" + name));
}

std::vector<uint8_t> old_render() {
    std::string text = "RIFF an earlier render that must survive ";
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 2000; i++) bytes.insert(bytes.end(), text.begin(), text.end());
    return bytes;
}
