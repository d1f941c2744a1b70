// The rules for taking paths apart and naming files after other files, the
// same for every part of the tool. A path's last component (its name) starts
// after the last '/'; on Windows also after the last '\', or after a drive
// "X:" at the very start ("C:song.tsm" names song.tsm in drive C's current
// folder). Everything else, ':' and '\' on POSIX included, is part of a name.
#pragma once

#include <cstddef>
#include <string>

// Where the last component of path starts.
size_t path_name_start(const std::string& path);

// Where the extension of the last component starts (at its last '.'), or
// path.size() when it has none. A dot that starts the name does not begin an
// extension, and dots in folder names are never one: ".hidden" and
// "dir.old/song" have none, "song." has the extension ".".
size_t path_extension_start(const std::string& path);

// The folder part of path, its last separator (or the drive) included:
// "out/dir.old/" for "out/dir.old/song.wav", "" for a bare name.
std::string path_folder(const std::string& path);

// The last component: "song.wav" for "out/dir.old/song.wav".
std::string path_last_component(const std::string& path);

// path without the extension of its last component.
std::string path_without_extension(const std::string& path);

// path with the extension of its last component replaced by extension (".wav"),
// or extension appended when it has none: "dir.old/song" gives
// "dir.old/song.wav", ".hidden" ".hidden.wav".
std::string path_with_extension(const std::string& path, const std::string& extension);

// True when both paths (UTF-8) name one existing file.
bool same_file(const char* a, const char* b);
