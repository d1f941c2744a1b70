#include "frontend/song_input.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "common/utf8_path.h"
#include "export/song_warnings.h"

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

// Reads standard input until *bytes holds keep bytes, then counts (without
// keeping) what follows until *size reaches count, or until it ends. False
// with error set when a read fails.
static bool read_standard_input(uint64_t keep, uint64_t count, std::vector<uint8_t>* bytes, uint64_t* size,
                                std::string* error) {
    uint8_t chunk[65536];
    while (*size < count) {
        uint64_t left = count - *size;
        size_t want = left < sizeof chunk ? (size_t)left : sizeof chunk;
        size_t got = std::fread(chunk, 1, want, stdin);
        uint64_t kept = *size < keep ? keep - *size : 0u;
        bytes->insert(bytes->end(), chunk, chunk + (got < kept ? got : (size_t)kept));
        *size += got;
        if (got == want) continue;
        if (!std::ferror(stdin)) return true;
        *error = "cannot read standard input: " + system_reason(errno);
        return false;
    }
    return true;
}

// Standard input is read as a file is: the header first, then only as far
// as the song's records reach (and on to the size its header gives, only to
// tell whether it is shorter); whatever follows is left unread.
static bool load_standard_input(tamsel::Song* song, std::string* error, std::vector<std::string>* warnings) {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    std::vector<uint8_t> bytes;
    uint64_t size = 0;
    if (!read_standard_input(TAMSEL_SONG_HEADER_BYTES, TAMSEL_SONG_HEADER_BYTES, &bytes, &size, error)) return false;
    tamsel::Status status = song->load_memory(bytes.data(), bytes.size());
    if (status == TAMSEL_OK) {
        tamsel_song_info info = song->info();
        if (!read_standard_input(song_bytes_read(info), song_file_size(info), &bytes, &size, error)) return false;
        status = song->load_memory(bytes.data(), bytes.size());
    }
    if (status != TAMSEL_OK) {
        *error = tamsel::message(status);
        return false;
    }
    *warnings = song_warnings(song->info(), size);
    return true;
}

bool load_input_song(const std::string& input, tamsel::Song* song, std::string* error,
                     std::vector<std::string>* warnings) {
    warnings->clear();
    if (input == "-") return load_standard_input(song, error, warnings);
    tamsel::Status status = song->load_file(input);
    if (status == TAMSEL_OK) {
        std::error_code failed;
        uint64_t size = (uint64_t)std::filesystem::file_size(path_from_utf8(input), failed);
        if (!failed) *warnings = song_warnings(song->info(), size);
        return true;
    }
    if (status == TAMSEL_ERR_IO) {
        *error = "cannot read the file: " + why_unreadable(input);
    } else {
        *error = tamsel::message(status);
    }
    return false;
}
