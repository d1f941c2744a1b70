#include "common/path_rules.h"

#include <filesystem>
#include <system_error>

#include "common/utf8_path.h"

#ifdef _WIN32
static bool is_drive_letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

size_t path_name_start(const std::string& path) {
    size_t separator = path.find_last_of("/\\");
    if (separator != std::string::npos) return separator + 1;
    if (path.size() >= 2 && path[1] == ':' && is_drive_letter(path[0])) return 2;
    return 0;
}
#else
size_t path_name_start(const std::string& path) {
    size_t separator = path.find_last_of('/');
    return separator == std::string::npos ? 0 : separator + 1;
}
#endif

std::string output_path_for(const char* input_path) {
    std::string path = input_path;
    size_t name_start = path_name_start(path);
    size_t dot = path.find_last_of('.');
    if (dot != std::string::npos && dot > name_start) path.resize(dot);
    return path + ".wav";
}

bool same_file(const char* a, const char* b) {
    std::error_code error;
    bool same = std::filesystem::equivalent(path_from_utf8(a), path_from_utf8(b), error);
    return !error && same;
}
