#include "output/output_cleanup.h"

#include <atomic>
#include <cstring>

#include "output/output_file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#include <csignal>
#endif

// A slot is FREE, being FILLED by the thread that claimed it, or holds a
// LIVE path. The handler reads only LIVE slots, whose text no longer changes.
enum : int32_t { SLOT_FREE = 0, SLOT_FILLED = 1, SLOT_LIVE = 2 };

static_assert(std::atomic<int32_t>::is_always_lock_free, "slot states are read in signal handlers");
static std::atomic<int32_t> slot_states[TEMPORARY_PATH_SLOTS];
static char slot_paths[TEMPORARY_PATH_SLOTS][TEMPORARY_PATH_BYTES];

static_assert(std::atomic<bool>::is_always_lock_free, "read in signal handlers");
static std::atomic<bool> standard_error_line_open{false};

// Set once when the handlers are installed, so the handler only reads.
static char interrupted_text[256];
static size_t interrupted_text_size = 0;

static void remember_interrupted_line(const char* line) {
    if (!line) return;
    size_t size = std::strlen(line);
    if (size + 1 >= sizeof interrupted_text) return;
    std::memcpy(interrupted_text, line, size);
    interrupted_text[size] = '\n';
    interrupted_text_size = size + 1;
}

void set_standard_error_line_open(bool open) {
    standard_error_line_open.store(open);
}

int32_t remember_temporary_path(const std::string& path) {
    if (path.size() >= TEMPORARY_PATH_BYTES) return -1;
    for (int32_t slot = 0; slot < TEMPORARY_PATH_SLOTS; slot++) {
        int32_t expected = SLOT_FREE;
        if (!slot_states[slot].compare_exchange_strong(expected, SLOT_FILLED)) continue;
        std::memcpy(slot_paths[slot], path.c_str(), path.size() + 1);
        slot_states[slot].store(SLOT_LIVE);
        return slot;
    }
    return -1;
}

void forget_temporary_path(int32_t slot) {
    if (slot >= 0 && slot < TEMPORARY_PATH_SLOTS) slot_states[slot].store(SLOT_FREE);
}

#ifdef _WIN32

void remove_temporary_files() {
    for (int32_t slot = 0; slot < TEMPORARY_PATH_SLOTS; slot++) {
        if (slot_states[slot].load() != SLOT_LIVE) continue;
        wchar_t name[TEMPORARY_PATH_BYTES];
        if (MultiByteToWideChar(CP_UTF8, 0, slot_paths[slot], -1, name, (int)TEMPORARY_PATH_BYTES) > 0) {
            DeleteFileW(name);
        }
    }
}

// Exit codes for Ctrl-C, closing the console and logging off or shutting
// down, as for SIGINT, SIGHUP and SIGTERM elsewhere.
static int32_t exit_code_on_interrupt = 1;
static int32_t exit_code_on_close = 1;
static int32_t exit_code_on_shutdown = 1;

// Runs on a thread of its own; the files are open with delete sharing, so
// they go once the process ends, which TerminateProcess does at once.
static BOOL WINAPI on_console_event(DWORD event) {
    int32_t code = exit_code_on_shutdown;
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) code = exit_code_on_interrupt;
    if (event == CTRL_CLOSE_EVENT) code = exit_code_on_close;
    remove_temporary_files();
    DWORD written = 0;
    if (standard_error_line_open.load()) WriteFile(GetStdHandle(STD_ERROR_HANDLE), "\r\n", 2, &written, nullptr);
    if (interrupted_text_size > 0)
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), interrupted_text, (DWORD)interrupted_text_size, &written, nullptr);
    TerminateProcess(GetCurrentProcess(), (UINT)code);
    return TRUE;
}

void install_interrupt_cleanup(int (*exit_code_for_signal)(int signal), const char* interrupted_line) {
    remember_interrupted_line(interrupted_line);
    exit_code_on_interrupt = exit_code_for_signal(2);
    exit_code_on_close = exit_code_for_signal(1);
    exit_code_on_shutdown = exit_code_for_signal(15);
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

#else

void remove_temporary_files() {
    for (int32_t slot = 0; slot < TEMPORARY_PATH_SLOTS; slot++) {
        if (slot_states[slot].load() == SLOT_LIVE) unlink(slot_paths[slot]);
    }
}

static const int CLEANUP_SIGNALS[3] = {SIGINT, SIGTERM, SIGHUP};
// Worked out when the handlers are installed, so the handler only reads.
static int exit_codes[3] = {1, 1, 1};

static void on_signal(int signal) {
    int code = 1;
    for (int i = 0; i < 3; i++) {
        if (CLEANUP_SIGNALS[i] == signal) code = exit_codes[i];
    }
    remove_temporary_files();
    ssize_t ignored = 0;
    if (standard_error_line_open.load()) ignored = write(STDERR_FILENO, "\n", 1);
    if (interrupted_text_size > 0) ignored = write(STDERR_FILENO, interrupted_text, interrupted_text_size);
    (void)ignored;
    _exit(code);
}

void install_interrupt_cleanup(int (*exit_code_for_signal)(int signal), const char* interrupted_line) {
    remember_interrupted_line(interrupted_line);
    struct sigaction action = {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 3; i++) sigaddset(&action.sa_mask, CLEANUP_SIGNALS[i]);
    for (int i = 0; i < 3; i++) {
        exit_codes[i] = exit_code_for_signal(CLEANUP_SIGNALS[i]);
        // A signal ignored when the process started (nohup, a background
        // job) stays ignored.
        struct sigaction previous;
        if (sigaction(CLEANUP_SIGNALS[i], nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        sigaction(CLEANUP_SIGNALS[i], &action, nullptr);
    }
    // A write beyond the file-size limit (ulimit -f) then fails with EFBIG
    // and the output is cleaned up as after a full disk, instead of the
    // signal ending the process with its temporary file left behind.
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, nullptr);
}

#endif
