// The terminal as the player uses it, behind one small interface with a
// POSIX and a Windows console implementation: keys read one at a time
// without echo, the size, and the signals that must leave the terminal as
// it was found (quit, hang-up, suspend and resume).
#pragma once

#include <cstddef>

enum class Key {
    NONE,
    TEXT,  // a plain character (KeyPress::c)
    LEFT,
    RIGHT,
    UP,
    DOWN,
    HOME,
    ESCAPE,
};

struct KeyPress {
    Key key = Key::NONE;
    char c = 0;
};

enum class TerminalSignal { NONE, QUIT, SUSPENDED };

// Whether standard output is a terminal that takes escape sequences, and
// whether standard input is a terminal keys can come from.
bool output_is_terminal();
bool input_is_terminal();
// False for TERM=dumb: no cursor movement, one line redrawn with '\r'.
bool terminal_takes_escapes();
// Columns of standard output's terminal; 80 when it cannot tell.
size_t terminal_width();

// Installs the handlers for Ctrl-C, SIGTERM, SIGHUP (and Ctrl-Z) that only
// note the signal; the main loop acts on it.
void install_signal_handlers();

// Key mode: no echo, keys as they are typed. Restored by leave_key_mode,
// at exit and on a crash; safe to call when not entered.
bool enter_key_mode();
void leave_key_mode();

// Waits up to timeout_ms for a key; Key::NONE when none came.
KeyPress read_key(int timeout_ms);

// A signal that came since the last call: QUIT for Ctrl-C, SIGTERM or
// SIGHUP; SUSPENDED for Ctrl-Z, which returns once the shell resumes the
// player (the caller leaves key mode and pauses first, see suspend_now).
TerminalSignal take_signal();
// Stops the process as Ctrl-Z asked; returns when it is continued.
void suspend_now();
