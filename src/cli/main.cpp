// tamselexport: renders TSM song files to audio files. Any option on the
// command line selects the option form; otherwise the positional form runs
// exactly as it always has.
#include "cli/option_form.h"
#include "export/positional_form.h"

int main(int argc, char** argv) {
    if (uses_option_form(argc, argv)) return run_option_form(argc, argv);
    return run_positional_form(argc, argv);
}
