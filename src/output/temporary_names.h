// Names of temporary output files: ".NAME.partial-XXXXXX" beside the
// destination, so a leftover says what it is and a rename replaces the
// destination within one file system.
#pragma once

#include <string>

// A fresh temporary name beside destination; each call gives another suffix.
std::string temporary_path_for(const std::string& destination);
// Six characters of [A-Za-z0-9], different on each call and in each process.
std::string random_suffix();
