// What the progress display needs to know about standard error, and
// whether standard input is a terminal (where no song will come).
#pragma once

#include <cstddef>

// Whether standard error is a terminal (where a redrawn line makes sense).
bool standard_error_is_terminal();
// Whether standard input is a terminal.
bool standard_input_is_terminal();
// Columns of the terminal on standard error; 80 when it cannot tell.
size_t terminal_columns();
// False when TERM says the terminal obeys no escape sequences ("dumb"):
// the line is then redrawn with carriage returns and blanks alone.
bool terminal_takes_escapes();
