#include "song/file_open.h"

#include <climits>

#ifdef _WIN32
#include <windows.h>

#include <string>
#endif

namespace tamsel::core {

#ifdef _WIN32
std::FILE* open_file_for_reading(const char* utf8_path) {
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8_path, -1, nullptr, 0);
    if (length <= 0) return nullptr;
    std::wstring wide((size_t)length, L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8_path, -1, wide.data(), length);
    return _wfopen(wide.c_str(), L"rb");
}

bool seek_file(std::FILE* file, uint64_t offset) {
    if (offset > (uint64_t)INT64_MAX) return false;
    return _fseeki64(file, (__int64)offset, SEEK_SET) == 0;
}
#else
std::FILE* open_file_for_reading(const char* utf8_path) {
    return std::fopen(utf8_path, "rb");
}

bool seek_file(std::FILE* file, uint64_t offset) {
    // Offsets past what a long can hold lie past the end of any real file.
    if (offset > (uint64_t)LONG_MAX) return false;
    return std::fseek(file, (long)offset, SEEK_SET) == 0;
}
#endif

}  // namespace tamsel::core
