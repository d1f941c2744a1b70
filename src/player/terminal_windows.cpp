#include <io.h>
#include <stdio.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "player/terminal_io.h"

// The console's input mode as found; Ctrl-C, Ctrl-Break and closing the
// window are noted by the handler and acted on by the main loop.
static DWORD saved_mode = 0;
static bool mode_saved = false;
static bool in_key_mode = false;
static volatile LONG quit_signal = 0;

static HANDLE input_handle() {
    return GetStdHandle(STD_INPUT_HANDLE);
}

bool output_is_terminal() {
    if (!_isatty(_fileno(stdout))) return false;
    // The display uses escape sequences, which a console obeys once asked.
    HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(console, &mode)) return false;
    SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    return true;
}

bool input_is_terminal() {
    DWORD mode = 0;
    return _isatty(_fileno(stdin)) && GetConsoleMode(input_handle(), &mode);
}

bool terminal_takes_escapes() {
    const char* term = std::getenv("TERM");
    return !(term && std::strcmp(term, "dumb") == 0);
}

size_t terminal_width() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) return 80;
    int columns = info.srWindow.Right - info.srWindow.Left + 1;
    return columns > 0 ? (size_t)columns : 80;
}

static BOOL WINAPI note_control(DWORD) {
    InterlockedExchange(&quit_signal, 1);
    return TRUE;
}

void install_signal_handlers() {
    SetConsoleCtrlHandler(note_control, TRUE);
}

bool enter_key_mode() {
    if (!mode_saved) {
        if (!GetConsoleMode(input_handle(), &saved_mode)) return false;
        mode_saved = true;
        std::atexit(leave_key_mode);
    }
    DWORD mode = saved_mode & ~(DWORD)(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT);
    if (!SetConsoleMode(input_handle(), mode)) return false;
    in_key_mode = true;
    return true;
}

void leave_key_mode() {
    if (in_key_mode && mode_saved) SetConsoleMode(input_handle(), saved_mode);
    in_key_mode = false;
}

static KeyPress key_of(const KEY_EVENT_RECORD& event) {
    switch (event.wVirtualKeyCode) {
    case VK_LEFT: return {Key::LEFT, 0};
    case VK_RIGHT: return {Key::RIGHT, 0};
    case VK_UP: return {Key::UP, 0};
    case VK_DOWN: return {Key::DOWN, 0};
    case VK_HOME: return {Key::HOME, 0};
    case VK_ESCAPE: return {Key::ESCAPE, 0};
    default: break;
    }
    char c = event.uChar.AsciiChar;
    if (c == 0) return {};
    return {Key::TEXT, c};
}

KeyPress read_key(int timeout_ms) {
    HANDLE input = input_handle();
    if (WaitForSingleObject(input, (DWORD)timeout_ms) != WAIT_OBJECT_0) return {};
    INPUT_RECORD record;
    DWORD count = 0;
    if (!ReadConsoleInputA(input, &record, 1, &count) || count == 0) return {};
    if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) return {};
    return key_of(record.Event.KeyEvent);
}

TerminalSignal take_signal() {
    return InterlockedCompareExchange(&quit_signal, 0, 0) ? TerminalSignal::QUIT : TerminalSignal::NONE;
}

// A console program is not suspended; Ctrl-Z is an ordinary key there.
void suspend_now() {}
