// Opens files by UTF-8 name on every platform: Windows needs the wide-char
// call for names outside the ANSI code page.
#pragma once

#include <cstdint>
#include <cstdio>

namespace tamsel::core {

std::FILE* open_file_for_reading(const char* utf8_path);

// Moves to a byte offset of any size: fseek's long has 32 bits on Windows.
// True on success.
bool seek_file(std::FILE* file, uint64_t offset);

}  // namespace tamsel::core
