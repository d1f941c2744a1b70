#include "library/file_open.h"

#ifdef _WIN32
#include <windows.h>

#include <string>

std::FILE* open_file_for_reading(const char* utf8_path) {
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8_path, -1, nullptr, 0);
    if (length <= 0) return nullptr;
    std::wstring wide((size_t)length, L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8_path, -1, wide.data(), length);
    return _wfopen(wide.c_str(), L"rb");
}
#else
std::FILE* open_file_for_reading(const char* utf8_path) {
    return std::fopen(utf8_path, "rb");
}
#endif
