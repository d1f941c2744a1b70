#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "player/terminal_io.h"

// The terminal's settings as found, for the signal handlers too: written
// once before any handler is installed, then only read.
static struct termios saved_settings;
static volatile sig_atomic_t settings_saved = 0;
static volatile sig_atomic_t in_key_mode = 0;
static volatile sig_atomic_t quit_signal = 0;
static volatile sig_atomic_t suspend_signal = 0;

bool output_is_terminal() {
    return isatty(STDOUT_FILENO) == 1;
}

bool input_is_terminal() {
    return isatty(STDIN_FILENO) == 1;
}

bool terminal_takes_escapes() {
    const char* term = std::getenv("TERM");
    return !(term && std::strcmp(term, "dumb") == 0);
}

size_t terminal_width() {
    struct winsize size = {};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

static void restore_settings() {
    if (in_key_mode && settings_saved) tcsetattr(STDIN_FILENO, TCSANOW, &saved_settings);
    in_key_mode = 0;
}

static void note_signal(int number) {
    if (number == SIGTSTP) {
        suspend_signal = 1;
    } else {
        quit_signal = 1;
    }
}

// A crash leaves the terminal as it was found, then dies of the signal.
static void crash_signal(int number) {
    restore_settings();
    signal(number, SIG_DFL);
    raise(number);
}

void install_signal_handlers() {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = note_signal;
    sigemptyset(&action.sa_mask);
    for (int number : {SIGINT, SIGTERM, SIGHUP, SIGTSTP}) sigaction(number, &action, nullptr);
    action.sa_handler = crash_signal;
    for (int number : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) sigaction(number, &action, nullptr);
}

bool enter_key_mode() {
    if (!settings_saved) {
        if (tcgetattr(STDIN_FILENO, &saved_settings) != 0) return false;
        settings_saved = 1;
        std::atexit(leave_key_mode);
    }
    struct termios raw = saved_settings;
    // Keys arrive one by one and unechoed; Ctrl-C and Ctrl-Z still signal.
    raw.c_lflag &= ~(tcflag_t)(ICANON | ECHO);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) return false;
    in_key_mode = 1;
    return true;
}

void leave_key_mode() {
    restore_settings();
}

static int read_byte(int timeout_ms) {
    struct pollfd ready = {STDIN_FILENO, POLLIN, 0};
    if (poll(&ready, 1, timeout_ms) <= 0) return -1;
    unsigned char byte = 0;
    if (read(STDIN_FILENO, &byte, 1) != 1) return -1;
    return byte;
}

// After ESC: "[C", "OC", "[1~", "[H" and the like; a lone ESC is Escape.
static KeyPress read_escape() {
    int first = read_byte(30);
    if (first != '[' && first != 'O') return {Key::ESCAPE, 0};
    int code = read_byte(30);
    switch (code) {
    case 'A': return {Key::UP, 0};
    case 'B': return {Key::DOWN, 0};
    case 'C': return {Key::RIGHT, 0};
    case 'D': return {Key::LEFT, 0};
    case 'H': return {Key::HOME, 0};
    default: break;
    }
    // "[1~" and "[7~" are Home on some terminals; other sequences are read
    // to their end and ignored.
    int last = code;
    while (last >= '0' && last <= '9') last = read_byte(30);
    if (last == '~' && (code == '1' || code == '7')) return {Key::HOME, 0};
    return {};
}

KeyPress read_key(int timeout_ms) {
    int byte = read_byte(timeout_ms);
    if (byte < 0) return {};
    if (byte == 27) return read_escape();
    return {Key::TEXT, (char)byte};
}

TerminalSignal take_signal() {
    if (quit_signal) return TerminalSignal::QUIT;
    if (suspend_signal) {
        suspend_signal = 0;
        return TerminalSignal::SUSPENDED;
    }
    return TerminalSignal::NONE;
}

void suspend_now() {
    signal(SIGTSTP, SIG_DFL);
    raise(SIGTSTP);
    // Continued: Ctrl-Z is noted again.
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = note_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTSTP, &action, nullptr);
}
