#include "common/path_rules.h"

#include <filesystem>
#include <system_error>

#include "common/utf8_path.h"

#ifdef _WIN32
static bool starts_with_drive(const std::string& path) {
    if (path.size() < 2 || path[1] != ':') return false;
    char c = path[0];
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

size_t path_name_start(const std::string& path) {
    size_t separator = path.find_last_of("/\\");
    if (separator != std::string::npos) return separator + 1;
    return starts_with_drive(path) ? 2 : 0;
}
#else
size_t path_name_start(const std::string& path) {
    size_t separator = path.find_last_of('/');
    return separator == std::string::npos ? 0 : separator + 1;
}
#endif

size_t path_extension_start(const std::string& path) {
    size_t name_start = path_name_start(path);
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot <= name_start) return path.size();
    return dot;
}

std::string path_folder(const std::string& path) {
    return path.substr(0, path_name_start(path));
}

std::string path_last_component(const std::string& path) {
    return path.substr(path_name_start(path));
}

std::string path_without_extension(const std::string& path) {
    return path.substr(0, path_extension_start(path));
}

std::string path_with_extension(const std::string& path, const std::string& extension) {
    return path_without_extension(path) + extension;
}

bool same_file(const char* a, const char* b) {
    std::error_code error;
    bool same = std::filesystem::equivalent(path_from_utf8(a), path_from_utf8(b), error);
    return !error && same;
}
