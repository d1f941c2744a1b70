// tamselexport: renders TSM song files to audio files. Any option on the
// command line selects the option form; otherwise the positional form runs
// exactly as it always has.
#include "tool/option_form.h"
#include "tool/positional_form.h"

static int run(int argc, char** argv) {
    if (uses_option_form(argc, argv)) return run_option_form(argc, argv);
    return run_positional_form(argc, argv);
}

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

// Windows hands the arguments over in UTF-16 (the char argv would be in the
// ANSI code page, losing what it cannot show); the tool reads them, and
// names files, in UTF-8.
int wmain(int argc, wchar_t** wide_argv) {
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; i++) arguments.push_back(utf8_from_wide(wide_argv[i]));
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    return run(argc, argv.data());
}
#else
int main(int argc, char** argv) {
    return run(argc, argv);
}
#endif
