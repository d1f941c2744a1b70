// Pieces of JSON text for --info --json: strings and numbers.
#pragma once

#include <cstdint>
#include <string>

// Appends text as a JSON string, quotes included. Control characters,
// quotes and backslashes are escaped; bytes that are not valid UTF-8 become
// U+FFFD, so any file name gives valid JSON.
void append_json_string(std::string* out, const std::string& text);

// Appends the shortest decimal that reads back as exactly value (finite
// values only; others give null).
void append_json_number(std::string* out, double value);
void append_json_number(std::string* out, uint64_t value);
void append_json_number(std::string* out, int64_t value);
