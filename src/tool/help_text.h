// What --help and --version print, and the hint after a usage error.
#pragma once

#include <cstdio>
#include <string>

void print_help(std::FILE* out);
void print_version(std::FILE* out);
// "tamselexport: MESSAGE" and a line pointing to --help, on standard error.
void print_usage_error(const std::string& message);
