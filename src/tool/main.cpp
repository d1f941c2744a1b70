// tamselexport: renders TSM song files to audio files. Any option on the
// command line selects the option form; otherwise the positional form runs
// exactly as it always has.
#include "frontend/utf8_arguments.h"
#include "tool/option_form.h"
#include "tool/positional_form.h"

static int run(int argc, char** argv) {
    if (uses_option_form(argc, argv)) return run_option_form(argc, argv);
    return run_positional_form(argc, argv);
}

#ifdef _WIN32
int wmain(int argc, wchar_t** wide_argv) {
    return run_with_utf8_arguments(argc, wide_argv, run);
}
#else
int main(int argc, char** argv) {
    return run(argc, argv);
}
#endif
