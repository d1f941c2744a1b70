#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <filesystem>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#define getpid _getpid
#else
#include <sys/wait.h>
#include <unistd.h>
#endif


#include "mixer/steady_mix.h"

// Each test process keeps its files under its own folder, so runs of the
// suite side by side (ctest -j, two build trees) never touch each other's
// files; the folder goes when the process ends.
static const std::filesystem::path& process_folder() {
    struct Folder {
        std::filesystem::path path;
        ~Folder() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    static Folder folder{std::filesystem::temp_directory_path() / "tamsel_tests" / std::to_string(getpid())};
    return folder.path;
}

std::string write_temp_file(const std::string& name, const std::vector<uint8_t>& bytes) {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    std::filesystem::path dir = process_folder() / (std::string(info->test_suite_name()) + "." + info->name());
    // Each test starts from an empty folder.
    static std::filesystem::path prepared;
    if (dir != prepared) {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
        prepared = dir;
    }
    std::filesystem::create_directories(dir);
    std::string path = (dir / name).string();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file) {
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    return path;
}

std::vector<uint8_t> read_file(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return bytes;
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(file);
    return bytes;
}

static size_t read_vector_at(void* context, uint64_t offset, uint8_t* out, size_t size) {
    const std::vector<uint8_t>* bytes = (const std::vector<uint8_t>*)context;
    if (offset >= bytes->size()) return 0;
    size_t count = std::min(size, bytes->size() - (size_t)offset);
    std::memcpy(out, bytes->data() + offset, count);
    return count;
}

Engine start_engine(const std::vector<uint8_t>& bytes, int32_t loops, double timer_ms) {
    Engine engine;
    auto song = std::make_unique<Song>();
    if (load_song(read_vector_at, (void*)&bytes, song.get()) != SONG_LOADED) return engine;
    std::unique_ptr<Renderer, RendererRelease> renderer(new Renderer);
    std::memset(renderer.get(), 0, sizeof *renderer);
    renderer_init(renderer.get());
    renderer_start(renderer.get(), song.get(), loops, timer_ms);
    engine.song = std::move(song);
    engine.renderer = std::move(renderer);
    return engine;
}

std::vector<float> render_to_end(Renderer* renderer, uint64_t max_frames) {
    std::vector<float> out;
    std::vector<float> block(2 * 1024);
    while (out.size() / 2 < max_frames) {
        uint64_t got = renderer_render_float(renderer, block.data(), 1024);
        out.insert(out.end(), block.begin(), block.begin() + (ptrdiff_t)(2 * got));
        if (got < 1024) break;
    }
    return out;
}

const std::string& usage_text() {
    static const std::string usage =
        "How to use:\n"
        "tamselexport.exe <file> [loops] [timer ms]\n"
        "setting loops to 0 plays the song 1 time\n"
        "timer ms is the engine tps wait, default is 20ms(50fps)\n"
        "This program is super scuffed so like yeah\n"
        "Also a lot of stupid tsms are loud and dumb so\n"
        "you can lower the volume in audacity or something\n"
        "if it clips a lot (floating point samples)\n";
    return usage;
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

// cmd.exe runs the command: double quotes where the tests write single
// ones, "cd /d" to change the drive too, the tool's path made absolute
// (with its drive) before that, and the whole line in UTF-16 so UTF-8 names
// arrive whole. The pipe is read as text, so the tool's CRLF lines read as
// "\n" ones.
static std::FILE* open_tool_pipe(const std::string& dir, const std::string& arguments) {
    std::u8string exe = std::filesystem::absolute(TAMSEL_EXE).u8string();
    std::string quoted = arguments;
    std::replace(quoted.begin(), quoted.end(), '\'', '"');
    std::string command = "cd /d \"" + dir + "\" && \"" + std::string(exe.begin(), exe.end()) + "\" " + quoted + " 2>&1";
    return _wpopen(wide_from_utf8(command).c_str(), L"rt");
}

static int close_tool_pipe(std::FILE* pipe) {
    return _pclose(pipe);
}
#else
static std::FILE* open_tool_pipe(const std::string& dir, const std::string& arguments) {
    std::string command = "cd '" + dir + "' && '" TAMSEL_EXE "' " + arguments + " 2>&1";
    return popen(command.c_str(), "r");
}

static int close_tool_pipe(std::FILE* pipe) {
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

ToolRun run_tool(const std::string& dir, const std::string& arguments) {
    ToolRun run{"", -1};
    std::FILE* pipe = open_tool_pipe(dir, arguments);
    if (!pipe) return run;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) run.out.append(chunk, got);
    run.code = close_tool_pipe(pipe);
    return run;
}

uint64_t fnv1a(const void* bytes, size_t size) {
    const uint8_t* p = (const uint8_t*)bytes;
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < size; i++) hash = (hash ^ p[i]) * 1099511628211ull;
    return hash;
}
