#include "tool/terminal.h"

#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <stdio.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

static const size_t DEFAULT_COLUMNS = 80;

bool terminal_takes_escapes() {
    const char* term = std::getenv("TERM");
    return !(term && std::strcmp(term, "dumb") == 0);
}

#ifdef _WIN32

bool standard_error_is_terminal() {
    if (!_isatty(_fileno(stderr))) return false;
    // The line is redrawn with escape sequences, which a console obeys
    // once asked to.
    HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(console, &mode)) return false;
    return SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

bool standard_input_is_terminal() {
    return _isatty(_fileno(stdin)) != 0;
}

size_t terminal_columns() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return DEFAULT_COLUMNS;
    int columns = info.srWindow.Right - info.srWindow.Left + 1;
    return columns > 0 ? (size_t)columns : DEFAULT_COLUMNS;
}

#else

bool standard_error_is_terminal() {
    return isatty(STDERR_FILENO) == 1;
}

bool standard_input_is_terminal() {
    return isatty(STDIN_FILENO) == 1;
}

size_t terminal_columns() {
    struct winsize size = {};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return DEFAULT_COLUMNS;
}

#endif
