#include "cli_runner.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <sys/wait.h>

static std::string read_text(const std::string& path) {
    std::vector<uint8_t> bytes = read_file(path);
    return std::string(bytes.begin(), bytes.end());
}

CliRun run_shell(const std::string& dir, const std::string& command) {
    std::string out_path = dir + "/../" + std::filesystem::path(dir).filename().string() + ".stdout";
    std::string err_path = dir + "/../" + std::filesystem::path(dir).filename().string() + ".stderr";
    std::string line = "cd '" + dir + "' && export T='" TAMSEL_EXE "' && ( " + command + " ) >'" + out_path + "' 2>'" +
                       err_path + "' </dev/null";
    int status = std::system(line.c_str());
    CliRun run;
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = read_text(out_path);
    run.err = read_text(err_path);
    std::filesystem::remove(out_path);
    std::filesystem::remove(err_path);
    return run;
}

CliRun run_cli(const std::string& dir, const std::string& arguments) {
    return run_shell(dir, "\"$T\" " + arguments);
}

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
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

std::vector<std::string> files_in(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<uint8_t> song_bytes(uint32_t wait, int32_t repeat_start, int32_t repeat_end, int32_t records) {
    SongFile song = make_song(wait, repeat_start, repeat_end, records);
    for (int32_t r = 0; r < records; r++) set_record(&song, 0, r, 1u << (r % 24));
    return song.bytes;
}

std::vector<uint8_t> sounding_song(uint32_t seed, int32_t records) {
    SongFile song = make_song(100, 0, records, records);
    int8_t waveform[256];
    uint8_t envelope[64];
    for (int32_t i = 0; i < 256; i++) waveform[i] = (int8_t)(100.0 * std::sin(i * 2.0 * 3.14159265358979 / 256.0));
    for (int32_t i = 0; i < 64; i++) envelope[i] = (uint8_t)(128 - 2 * i);
    set_instrument(&song, 0, 3, 8000, 300, waveform, envelope);
    for (int32_t r = 0; r < records; r++) {
        set_record(&song, 0, r, 1u << ((seed + (uint32_t)r * 5u) % 24u));
        if (r % 2 == 0) set_record(&song, 3, r, 1u << ((seed + (uint32_t)r) % 6u));
    }
    return song.bytes;
}
