// What the progress display needs to know about standard error.
#pragma once

#include <cstddef>

// Whether standard error is a terminal (where a redrawn line makes sense).
bool standard_error_is_terminal();
// Columns of the terminal on standard error; 80 when it cannot tell.
size_t terminal_columns();
