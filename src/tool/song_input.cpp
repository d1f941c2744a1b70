#include "tool/song_input.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "common/utf8_path.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

static std::FILE* open_for_reading(const std::string& input) {
    std::filesystem::path path = path_from_utf8(input);
#ifdef _WIN32
    return _wfopen(path.c_str(), L"rb");
#else
    return std::fopen(path.c_str(), "rb");
#endif
}

static std::string system_reason(int error) {
    return std::generic_category().message(error);
}

// Reads the file to its end; the errno of the read that failed, or 0.
static int read_error(std::FILE* file) {
    uint8_t chunk[65536];
    errno = 0;
    while (std::fread(chunk, 1, sizeof chunk, file) == sizeof chunk) {}
    return std::ferror(file) ? errno : 0;
}

// Why the library could not read input, in the system's words, found by
// doing again what failed: a folder opens on some systems and only fails to
// read, so it is asked first.
static std::string why_unreadable(const std::string& input) {
    std::error_code ignored;
    if (std::filesystem::is_directory(path_from_utf8(input), ignored)) return system_reason(EISDIR);
    errno = 0;
    std::FILE* file = open_for_reading(input);
    if (!file) return system_reason(errno != 0 ? errno : ENOENT);
    int error = read_error(file);
    std::fclose(file);
    return system_reason(error != 0 ? error : EIO);
}

static bool read_standard_input(std::vector<uint8_t>* bytes, std::string* error) {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    uint8_t chunk[65536];
    for (;;) {
        size_t got = std::fread(chunk, 1, sizeof chunk, stdin);
        bytes->insert(bytes->end(), chunk, chunk + got);
        if (got == sizeof chunk) continue;
        if (!std::ferror(stdin)) return true;
        *error = "cannot read standard input: " + system_reason(errno);
        return false;
    }
}

// The header, then each of the four tracks' records of 4 bytes.
static const uint64_t HEADER_BYTES = 1048;

static std::string shortness_warning(const tamsel::Song& song, uint64_t size) {
    int32_t records = song.info().records;
    uint64_t needed = HEADER_BYTES + (records > 0 ? 16u * (uint64_t)records : 0u);
    if (size >= needed) return "";
    return "the file is " + std::to_string(size) + " bytes, shorter than the " + std::to_string(needed) +
           " its header says; the missing bytes play as zeros";
}

static bool load_standard_input(tamsel::Song* song, std::string* error, std::string* warning) {
    std::vector<uint8_t> bytes;
    if (!read_standard_input(&bytes, error)) return false;
    tamsel::Status status = song->load_memory(bytes.data(), bytes.size());
    if (status == TAMSEL_OK) {
        *warning = shortness_warning(*song, bytes.size());
        return true;
    }
    *error = tamsel::message(status);
    return false;
}

bool load_input_song(const std::string& input, tamsel::Song* song, std::string* error, std::string* warning) {
    warning->clear();
    if (input == "-") return load_standard_input(song, error, warning);
    tamsel::Status status = song->load_file(input);
    if (status == TAMSEL_OK) {
        std::error_code failed;
        uint64_t size = (uint64_t)std::filesystem::file_size(path_from_utf8(input), failed);
        if (!failed) *warning = shortness_warning(*song, size);
        return true;
    }
    if (status == TAMSEL_ERR_IO) {
        *error = "cannot read the file: " + why_unreadable(input);
    } else {
        *error = tamsel::message(status);
    }
    return false;
}
