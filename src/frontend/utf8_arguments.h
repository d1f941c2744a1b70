// Windows hands a program's arguments over in UTF-16 (the char argv would
// be in the ANSI code page, losing what it cannot show); the command lines
// read them, and name files, in UTF-8. Their wmain calls this.
#pragma once

#ifdef _WIN32
#include <wchar.h>

// Calls run with the arguments in UTF-8 and returns what it returns.
int run_with_utf8_arguments(int argc, wchar_t** wide_argv, int (*run)(int, char**));
#endif
