// The output files' system calls on POSIX systems.
#ifndef _WIN32

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "output/output_system.h"

static std::string errno_text(int value) {
    return std::generic_category().message(value);
}

PathKind path_kind(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? PathKind::MISSING : PathKind::OTHER;
    }
    if (S_ISREG(info.st_mode)) return PathKind::REGULAR;
    if (S_ISDIR(info.st_mode)) return PathKind::FOLDER;
    if (S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode)) return PathKind::STREAM;
    return PathKind::OTHER;
}

bool name_exists(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

std::string follow_link(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char* target = realpath(path.c_str(), nullptr);
    if (!target) return path;  // a dangling link is replaced like a missing file
    std::string resolved = target;
    std::free(target);
    return resolved;
}

int create_new_file(const std::string& path, bool* taken, std::string* why) {
    // The kernel applies the umask and any default ACL, as for any new file.
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        *taken = errno == EEXIST;
        *why = errno_text(errno);
    }
    return fd;
}

void take_mode_and_owner(int fd, const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return;
    // The owner first: changing it may clear set-user-ID bits the mode
    // then puts back. Only root may give a file away; others keep their own.
    if (fchown(fd, info.st_uid, info.st_gid) != 0) {
        int ignored = fchown(fd, (uid_t)-1, info.st_gid);
        (void)ignored;
    }
    fchmod(fd, info.st_mode & 07777);
}

int open_for_writing(const std::string& path, std::string* why) {
    int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) *why = errno_text(errno);
    return fd;
}

bool write_all(int fd, const uint8_t* bytes, size_t size, std::string* why, int* errno_value) {
    while (size > 0) {
        size_t chunk = size < ((size_t)1 << 30) ? size : ((size_t)1 << 30);
        ssize_t written = write(fd, bytes, chunk);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            *errno_value = written < 0 ? errno : EIO;
            *why = errno_text(*errno_value);
            return false;
        }
        bytes += written;
        size -= (size_t)written;
    }
    return true;
}

bool seek_to(int fd, uint64_t offset, std::string* why) {
    errno = 0;
    if (lseek(fd, (off_t)offset, SEEK_SET) == (off_t)offset) return true;
    // A device may answer with another offset and no error.
    *why = errno != 0 ? errno_text(errno) : "the output cannot go back to offset " + std::to_string(offset);
    return false;
}

bool rewritable_from(int fd, uint64_t* origin) {
    struct stat info;
    if (fstat(fd, &info) != 0 || !(S_ISREG(info.st_mode) || S_ISBLK(info.st_mode))) return false;
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || (flags & O_APPEND) != 0) return false;
    off_t at = lseek(fd, 0, SEEK_CUR);
    if (at < 0) return false;
    *origin = (uint64_t)at;
    return true;
}

bool close_file(int fd, std::string* why) {
    if (close(fd) == 0) return true;
    *why = errno_text(errno);
    return false;
}

// Renames without replacing: the kernel refuses atomically where it can;
// on file systems that cannot, the check and the rename are separate steps.
static bool rename_without_replacing(const std::string& from, const std::string& to, bool* exists, std::string* why) {
#ifdef __linux__
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) {
        *exists = errno == EEXIST;
        if (!*exists) *why = errno_text(errno);
        return false;
    }
#endif
    struct stat info;
    if (lstat(to.c_str(), &info) == 0) {
        *exists = true;
        return false;
    }
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    *why = errno_text(errno);
    return false;
}

bool rename_file(const std::string& from, const std::string& to, bool keep_existing, bool* exists, std::string* why) {
    *exists = false;
    if (keep_existing) return rename_without_replacing(from, to, exists, why);
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    *why = errno_text(errno);
    return false;
}

void remove_file(const std::string& path) {
    unlink(path.c_str());
}

int prepare_standard_output() {
    std::fflush(stdout);
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
    return STDOUT_FILENO;
}

bool standard_output_is_terminal() {
    return isatty(STDOUT_FILENO) == 1;
}

bool is_standard_output_name(const std::string& path) {
    return path == "-" || path == "/dev/stdout" || path == "/dev/fd/1" || path == "/proc/self/fd/1";
}

bool is_broken_pipe(int errno_value) {
    return errno_value == EPIPE;
}

#endif
