// The output files' system calls on Windows: wide-character paths, handles
// that allow deletion while open (so an interrupted run can remove its
// temporary file), and replacing renames.
#ifdef _WIN32

#include <cerrno>
#include <cstdio>
#include <system_error>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "output/output_system.h"

// UTF-8 to UTF-16; text that is not UTF-8 is read in the ANSI code page.
static std::wstring wide(const std::string& text) {
    if (text.empty()) return std::wstring();
    UINT page = CP_UTF8;
    DWORD flags = MB_ERR_INVALID_CHARS;
    int length = MultiByteToWideChar(page, flags, text.data(), (int)text.size(), nullptr, 0);
    if (length <= 0) {
        page = CP_ACP;
        flags = 0;
        length = MultiByteToWideChar(page, flags, text.data(), (int)text.size(), nullptr, 0);
        if (length <= 0) return std::wstring();
    }
    std::wstring result((size_t)length, L'\0');
    MultiByteToWideChar(page, flags, text.data(), (int)text.size(), result.data(), length);
    return result;
}

static std::string system_text(DWORD code) {
    char buffer[512];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer, sizeof buffer, nullptr);
    // One line: no trailing line break or full stop.
    while (length > 0 && (buffer[length - 1] == '\r' || buffer[length - 1] == '\n' || buffer[length - 1] == '.' ||
                          buffer[length - 1] == ' ')) {
        length--;
    }
    if (length == 0) return "system error " + std::to_string((unsigned long)code);
    return std::string(buffer, length);
}

static std::string errno_text(int value) {
    return std::generic_category().message(value);
}

PathKind path_kind(const std::string& path) {
    std::wstring name = wide(path);
    DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD code = GetLastError();
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? PathKind::MISSING : PathKind::OTHER;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return PathKind::FOLDER;
    // Devices such as NUL, and pipes, are written as they are, never
    // renamed over.
    HANDLE handle = CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return PathKind::REGULAR;
    DWORD type = GetFileType(handle);
    CloseHandle(handle);
    return type == FILE_TYPE_DISK ? PathKind::REGULAR : PathKind::STREAM;
}

bool name_exists(const std::string& path) {
    return GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string follow_link(const std::string& path) {
    return path;
}

static int descriptor_for(HANDLE handle, std::string* why) {
    int fd = _open_osfhandle((intptr_t)handle, _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        *why = errno_text(errno);
        CloseHandle(handle);
    }
    return fd;
}

int create_new_file(const std::string& path, bool* taken, std::string* why) {
    // FILE_SHARE_DELETE lets the console handler delete the file while it is
    // still open; it goes when the process ends.
    HANDLE handle = CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        *taken = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
        *why = system_text(code);
        return -1;
    }
    return descriptor_for(handle, why);
}

void take_mode_and_owner(int, const std::string&) {}

int open_for_writing(const std::string& path, std::string* why) {
    HANDLE handle = CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        *why = system_text(GetLastError());
        return -1;
    }
    return descriptor_for(handle, why);
}

bool write_all(int fd, const uint8_t* bytes, size_t size, std::string* why, int* errno_value) {
    while (size > 0) {
        unsigned chunk = size < ((size_t)1 << 30) ? (unsigned)size : (1u << 30);
        int written = _write(fd, bytes, chunk);
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
    if (_lseeki64(fd, (__int64)offset, SEEK_SET) == (__int64)offset) return true;
    *why = errno_text(errno);
    return false;
}

bool rewritable_from(int fd, uint64_t* origin) {
    if (GetFileType((HANDLE)_get_osfhandle(fd)) != FILE_TYPE_DISK) return false;
    __int64 at = _lseeki64(fd, 0, SEEK_CUR);
    if (at < 0) return false;
    *origin = (uint64_t)at;
    return true;
}

bool close_file(int fd, std::string* why) {
    if (_close(fd) == 0) return true;
    *why = errno_text(errno);
    return false;
}

bool rename_file(const std::string& from, const std::string& to, bool keep_existing, bool* exists, std::string* why) {
    *exists = false;
    DWORD flags = keep_existing ? 0 : MOVEFILE_REPLACE_EXISTING;
    if (MoveFileExW(wide(from).c_str(), wide(to).c_str(), flags)) return true;
    DWORD code = GetLastError();
    if (keep_existing && (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS)) {
        *exists = true;
        return false;
    }
    *why = system_text(code);
    return false;
}

void remove_file(const std::string& path) {
    DeleteFileW(wide(path).c_str());
}

int prepare_standard_output() {
    std::fflush(stdout);
    int fd = _fileno(stdout);
    _setmode(fd, _O_BINARY);
    return fd;
}

bool standard_output_is_terminal() {
    return _isatty(_fileno(stdout)) != 0;
}

bool is_standard_output_name(const std::string& path) {
    return path == "-";
}

bool is_broken_pipe(int errno_value) {
    return errno_value == EPIPE || errno_value == EINVAL;
}

#endif
