// Opens files by UTF-8 name on every platform: Windows needs the wide-char
// call for names outside the ANSI code page.
#pragma once

#include <cstdio>

std::FILE* open_file_for_reading(const char* utf8_path);
