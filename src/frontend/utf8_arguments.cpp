#include "frontend/utf8_arguments.h"

#ifdef _WIN32
#include <windows.h>

#include <string>
#include <vector>

static std::string utf8_from_wide(const wchar_t* wide) {
    int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::string();
    std::string utf8((size_t)size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), size, nullptr, nullptr);
    utf8.resize((size_t)size - 1);
    return utf8;
}

int run_with_utf8_arguments(int argc, wchar_t** wide_argv, int (*run)(int, char**)) {
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; i++) arguments.push_back(utf8_from_wide(wide_argv[i]));
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    return run(argc, argv.data());
}
#endif
