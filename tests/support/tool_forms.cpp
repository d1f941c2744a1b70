#include "tool_forms.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "common/utf8_path.h"
#include "test_folder.h"

const std::string& usage_text() {
    static const std::string usage =
        "How to use:\n"
        "tamselexport.exe <file> [loops] [timer ms]\n"
        "setting loops to 0 plays the song 1 time\n"
        "timer ms is the engine tps wait, default is 20ms(50fps)\n"
        "This program is super scuffed so like yeah\n"
        "Also a lot of stupid tsms are loud and dumb so\n"
        "you can lower the volume in audacity or something\n"
        "if it clips a lot (floating point samples)\n";
    return usage;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool tool_has_option_form() {
    static int answer = -1;
    if (answer < 0) {
        TestFolder folder(".version");
        answer = run_tool(folder.path(), {"--version"}).code == 0 ? 1 : 0;
    }
    return answer == 1;
}

const char* form_name(Form form) {
    return form == Form::POSITIONAL ? "positional form" : "option form";
}

std::vector<Form> forms_to_test() {
    if (tool_has_option_form()) return {Form::POSITIONAL, Form::OPTIONS};
    static bool said = false;
    if (!said) std::printf("note: the tool has no option form yet (--version fails); its cases are skipped\n");
    said = true;
    return {Form::POSITIONAL};
}

std::vector<std::string> render_arguments(Form form, int32_t loops) {
    if (form == Form::POSITIONAL) return {"song.tsm", std::to_string(loops)};
    return {"--quiet", "--force", "--loops", std::to_string(loops), "-o", "song.wav", "song.tsm"};
}

bool failed_with_one_line(Form form, const ToolResult& result, std::string* line) {
    if (form == Form::POSITIONAL) {
        // The usage lines, what is loaded and written, then the verdict.
        std::vector<std::string> lines = lines_of(result.out);
        if (lines.size() != 11 || lines[8] != "Loading file song.tsm" || lines[9] != "Exporting to file song.wav") {
            *line = "unexpected output: " + result.out;
            return false;
        }
        *line = lines[10];
        return result.err.empty() && *line == "Error!";
    }
    std::vector<std::string> lines = lines_of(result.err);
    *line = result.err;
    if (lines.size() != 1) return false;
    *line = lines[0];
    return line->compare(0, 24, "tamselexport: song.tsm: ") == 0;
}

void place_song(const std::string& folder, const std::string& name) {
    put_file(folder + "/song.tsm", read_file(std::string(TAMSEL_SOURCE_DIR) + "/examples/" + name));
}

std::vector<uint8_t> old_render() {
    std::string text = "RIFF an earlier render that must survive ";
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 2000; i++) bytes.insert(bytes.end(), text.begin(), text.end());
    return bytes;
}

void place_song_and_old_render(const std::string& folder, const std::string& name) {
    place_song(folder, name);
    put_file(folder + "/song.wav", old_render());
}

std::vector<std::string> partial_files(const std::string& folder, const std::string& name) {
    return names_starting(folder, "." + name + ".partial-");
}

bool wait_for_partial_file(ToolProcess* tool, const std::string& folder, const std::string& name, int64_t min_bytes) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (tool->running() && std::chrono::steady_clock::now() < until) {
        for (const std::string& partial : partial_files(folder, name)) {
            std::error_code error;
            uintmax_t size = std::filesystem::file_size(path_from_utf8(folder + "/" + partial), error);
            if (!error && (int64_t)size >= min_bytes) return true;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return false;
}
