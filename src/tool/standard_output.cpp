#include "tool/standard_output.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

bool standard_output_written() {
    int flushed = std::fflush(stdout);
    int error = errno;
    if (flushed == 0 && !std::ferror(stdout)) return true;
    std::string reason = std::generic_category().message(error != 0 ? error : EIO);
    std::fprintf(stderr, "tamselexport: cannot write standard output: %s\n", reason.c_str());
    return false;
}
