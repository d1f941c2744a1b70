// The tool's two command-line forms as the tests drive them: the usage
// text the positional form prints first, the arguments that render
// song.tsm to song.wav, the one line a failed run gives, and the temporary
// files a render leaves beside its output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tool_process.h"

// The eight lines every run of the positional form prints first.
const std::string& usage_text();
// The lines of text, without their line breaks.
std::vector<std::string> lines_of(const std::string& text);

// True when the tool has the option form (it answers --version).
bool tool_has_option_form();

// The two forms of the command line, each told to render song.tsm in the
// tool's folder to song.wav there, replacing what is there.
enum class Form { POSITIONAL, OPTIONS };
const char* form_name(Form form);
// Both forms, or the positional one alone (saying so once) when the tool
// has no option form yet.
std::vector<Form> forms_to_test();
std::vector<std::string> render_arguments(Form form, int32_t loops);
// The one line a failed run gives: the positional form's last line on
// standard output, or the option form's line on standard error.
bool failed_with_one_line(Form form, const ToolResult& result, std::string* line);

// Copies examples/NAME to folder/song.tsm.
void place_song(const std::string& folder, const std::string& name);
// What an earlier run left in song.wav: any bytes that a new render cannot
// have, so a destination touched in any way shows.
std::vector<uint8_t> old_render();
// examples/NAME as folder/song.tsm beside the old render as folder/song.wav.
void place_song_and_old_render(const std::string& folder, const std::string& name);

// The hidden temporary files of destination NAME: ".NAME.partial-XXXXXX".
std::vector<std::string> partial_files(const std::string& folder, const std::string& name);
// Waits until a temporary file of NAME in folder holds at least min_bytes
// (the render is under way). False when the tool ends first or a minute
// passes.
bool wait_for_partial_file(ToolProcess* tool, const std::string& folder, const std::string& name, int64_t min_bytes);
