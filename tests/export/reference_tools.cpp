#include "reference_tools.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include "common/byte_order.h"

#ifdef _WIN32
bool have_command(const std::string&) {
    return false;
}
int run_command(const std::string&, std::string*) {
    return -1;
}
#else
#include <sys/wait.h>

bool have_command(const std::string& name) {
    return run_command("command -v " + shell_quoted(name) + " >/dev/null 2>&1") == 0;
}

int run_command(const std::string& line, std::string* out) {
    FILE* pipe = popen(line.c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof(buffer), pipe)) > 0) {
        if (out) out->append(buffer, got);
    }
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

std::string shell_quoted(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

int64_t wav_frame_count(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 12) return -1;
    uint32_t frame_bytes = 0;
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        std::string id(bytes.begin() + (ptrdiff_t)at, bytes.begin() + (ptrdiff_t)at + 4);
        uint64_t size = tamsel::read_u32_le(&bytes[at + 4]);
        if (id == "fmt " && at + 24 <= bytes.size()) {
            frame_bytes = (uint32_t)bytes[at + 20] | ((uint32_t)bytes[at + 21] << 8);  // block align
        }
        if (id == "data") {
            if (frame_bytes == 0) return -1;
            uint64_t available = bytes.size() - (at + 8);
            return (int64_t)((size < available ? size : available) / frame_bytes);
        }
        at += 8 + (size_t)size + (size_t)(size & 1u);
    }
    return -1;
}
