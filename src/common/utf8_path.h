// File names are UTF-8 throughout the tool. std::filesystem reads a plain
// char string in the ANSI code page on Windows, so names pass through these
// two on their way in and out; elsewhere they are the bytes as they are.
#pragma once

#include <filesystem>
#include <string>

std::filesystem::path path_from_utf8(const std::string& utf8);
std::string utf8_from_path(const std::filesystem::path& path);
