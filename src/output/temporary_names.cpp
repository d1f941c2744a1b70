#include "output/temporary_names.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <random>

#ifdef _WIN32
#include <process.h>
#define current_process_id _getpid
#else
#include <unistd.h>
#define current_process_id getpid
#endif

#include "common/path_rules.h"
#include "common/splitmix64.h"

// Long names are shortened so the temporary name stays within the usual
// 255-byte limit of a name.
static constexpr size_t MAX_NAME_BYTES = 200;

// Cuts name to at most MAX_NAME_BYTES without splitting a UTF-8 character.
static std::string shortened(const std::string& name) {
    if (name.size() <= MAX_NAME_BYTES) return name;
    size_t end = MAX_NAME_BYTES;
    while (end > 0 && ((uint8_t)name[end] & 0xC0) == 0x80) end--;
    return name.substr(0, end);
}

std::string temporary_path_for(const std::string& destination) {
    size_t start = path_name_start(destination);
    return destination.substr(0, start) + "." + shortened(destination.substr(start)) + ".partial-" + random_suffix();
}

// One step of splitmix64 from x.
static uint64_t mixed(uint64_t x) {
    return tamsel::splitmix64_next(&x);
}

static uint64_t process_seed() {
    uint64_t seed = (uint64_t)current_process_id();
    seed = mixed(seed ^ (uint64_t)std::chrono::steady_clock::now().time_since_epoch().count());
    seed = mixed(seed ^ (uint64_t)std::chrono::system_clock::now().time_since_epoch().count());
    try {
        std::random_device device;
        seed = mixed(seed ^ device());
    } catch (...) {
        // The clocks and the process number are enough: creation is
        // exclusive anyway, and a taken name just means another try.
    }
    return seed;
}

std::string random_suffix() {
    static const char ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static const uint64_t seed = process_seed();
    static std::atomic<uint64_t> counter{0};
    uint64_t bits = mixed(seed + counter.fetch_add(1));
    std::string suffix(6, 'X');
    for (char& c : suffix) {
        c = ALPHABET[bits % 62];
        bits /= 62;
    }
    return suffix;
}
