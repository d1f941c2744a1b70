#include "cli_runner.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#endif

static std::string read_text(const std::string& path) {
    std::vector<uint8_t> bytes = read_file(path);
    return std::string(bytes.begin(), bytes.end());
}

// Files beside dir (not in it, so the test's folder holds only what the
// tool made) for the two output streams.
static std::string stream_path(const std::string& dir, const char* suffix) {
    std::filesystem::path folder(dir);
    return (folder.parent_path() / (folder.filename().string() + suffix)).string();
}

static CliRun collect(int code, const std::string& out_path, const std::string& err_path) {
    CliRun run;
    run.code = code;
    run.out = read_text(out_path);
    run.err = read_text(err_path);
    std::error_code ignored;
    std::filesystem::remove(out_path, ignored);
    std::filesystem::remove(err_path, ignored);
    return run;
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

CliRun run_shell(const std::string&, const std::string&) {
    return CliRun{"", "", -1};
}

static std::string without_carriage_returns(const std::string& text) {
    std::string plain;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        plain += text[i];
    }
    return plain;
}

CliRun run_cli(const std::string& dir, const std::string& arguments) {
    CliRun run = run_cli_bytes(dir, arguments);
    run.out = without_carriage_returns(run.out);
    run.err = without_carriage_returns(run.err);
    return run;
}

CliRun run_cli_bytes(const std::string& dir, const std::string& arguments) {
    std::string out_path = stream_path(dir, ".stdout");
    std::string err_path = stream_path(dir, ".stderr");
    std::u8string exe = std::filesystem::absolute(TAMSEL_EXE).u8string();
    std::string quoted = arguments;
    std::replace(quoted.begin(), quoted.end(), '\'', '"');
    // cmd /s /c takes the line between the outer quotes as it is.
    std::string line = "cmd /s /c \"cd /d \"" + dir + "\" && \"" + std::string(exe.begin(), exe.end()) + "\" " +
                       quoted + " >\"" + out_path + "\" 2>\"" + err_path + "\" <NUL\"";
    int code = _wsystem(wide_from_utf8(line).c_str());
    return collect(code, out_path, err_path);
}
#else
CliRun run_shell(const std::string& dir, const std::string& command) {
    std::string out_path = stream_path(dir, ".stdout");
    std::string err_path = stream_path(dir, ".stderr");
    std::string line = "cd '" + dir + "' && export T='" TAMSEL_EXE "' && ( " + command + " ) >'" + out_path + "' 2>'" +
                       err_path + "' </dev/null";
    int status = std::system(line.c_str());
    return collect(WIFEXITED(status) ? WEXITSTATUS(status) : -1, out_path, err_path);
}

CliRun run_cli(const std::string& dir, const std::string& arguments) {
    return run_shell(dir, "\"$T\" " + arguments);
}

CliRun run_cli_bytes(const std::string& dir, const std::string& arguments) {
    return run_cli(dir, arguments);
}
#endif

void write_file_in(const std::string& dir, const std::string& relative, const std::vector<uint8_t>& bytes) {
    std::filesystem::path path = std::filesystem::path(dir) / relative;
    std::filesystem::create_directories(path.parent_path());
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    if (!file) return;
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

std::string folder_of_file(const std::string& path) {
    return std::filesystem::path(path).parent_path().string();
}

bool file_exists(const std::string& path) {
    // A dangling link is a name too: nothing may have been left there.
    std::error_code ignored;
    return std::filesystem::symlink_status(path, ignored).type() != std::filesystem::file_type::not_found;
}

std::vector<std::string> files_in(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
