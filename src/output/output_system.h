// The few file-system calls the output files need, each with a POSIX and a
// Windows branch. Paths are UTF-8 on every system (wide-character calls on
// Windows). Failures come back as one line of text from the system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum class PathKind { MISSING, REGULAR, FOLDER, STREAM, OTHER };

// What is at path (following links). STREAM is a character device or a
// named pipe (/dev/null, a FIFO; NUL or a console on Windows): written as
// it is, with nothing there to replace. OTHER covers the rest (a disk
// device, a socket); a path that cannot be examined for another reason
// than not existing is OTHER too, and then opening it reports why.
PathKind path_kind(const std::string& path);

// True when anything at all has the name path, a dangling link included.
bool name_exists(const std::string& path);

// The file a link at path points to when path is a link to an existing
// file, so an output replaces the file and keeps the link; otherwise path.
std::string follow_link(const std::string& path);

// Creates path for writing, failing if anything exists there, with the mode
// any new file gets (0666 less the umask, and a folder's default ACL).
// The descriptor, or -1 with why set (and taken set when the name is in use).
int create_new_file(const std::string& path, bool* taken, std::string* why);
// Gives the file open as fd the permissions of the file at path, and its
// owner and group where the system allows it, so a file replaced keeps them.
// Does nothing when there is no file at path (and on Windows, where a new
// file already inherits its folder's permissions).
void take_mode_and_owner(int fd, const std::string& path);
// Opens an existing file that is not a regular file (a device, a pipe) for
// writing as it is. The descriptor, or -1 with why set.
int open_for_writing(const std::string& path, std::string* why);

// Writes every byte, retrying short writes. errno_value receives the
// failure's number (EPIPE tells a closed pipe).
bool write_all(int fd, const uint8_t* bytes, size_t size, std::string* why, int* errno_value);
bool seek_to(int fd, uint64_t offset, std::string* why);
// Whether bytes written to fd can be written over later, and then in
// *origin where the next write lands. Only a regular file (or a disk) not
// opened for appending: every write to a file opened with O_APPEND (>>)
// goes to its end, and a character device such as /dev/null takes any
// offset and keeps none.
bool rewritable_from(int fd, uint64_t* origin);
// Closes fd; a failure here (a delayed write error) fails the output.
bool close_file(int fd, std::string* why);

// Renames from over to. With keep_existing, fails (why empty, exists set)
// when something already exists at to, even if it appeared meanwhile.
bool rename_file(const std::string& from, const std::string& to, bool keep_existing, bool* exists, std::string* why);
void remove_file(const std::string& path);

// Standard output for raw bytes: its descriptor in binary mode, with a
// closed pipe reported as a failed write (EPIPE) instead of a signal.
int prepare_standard_output();
bool standard_output_is_terminal();
// Whether path names standard output: "-", and on POSIX systems the
// names of descriptor 1 (/dev/stdout, /dev/fd/1).
bool is_standard_output_name(const std::string& path);

bool is_broken_pipe(int errno_value);
