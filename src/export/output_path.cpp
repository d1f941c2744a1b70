#include "export/output_path.h"

#include <filesystem>
#include <system_error>

std::string output_path_for(const char* input_path) {
    std::string path = input_path;
    size_t slash = path.find_last_of('/');
    size_t name_start = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = path.find_last_of('.');
    if (dot != std::string::npos && dot > name_start) path.resize(dot);
    return path + ".wav";
}

bool same_file(const char* a, const char* b) {
    std::error_code error;
    bool same = std::filesystem::equivalent(a, b, error);
    return !error && same;
}
