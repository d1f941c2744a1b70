#include "player/play_list.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "common/utf8_path.h"

namespace fs = std::filesystem;

static std::string lower_extension(const fs::path& path) {
    std::string extension = utf8_from_path(path.extension());
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    return extension;
}

static void add_folder(const std::string& input, std::vector<ListEntry>* list) {
    std::vector<std::string> songs;
    std::error_code failed;
    for (fs::directory_iterator it(path_from_utf8(input), failed), end; !failed && it != end; it.increment(failed)) {
        if (lower_extension(it->path()) == ".tsm" && !it->is_directory()) songs.push_back(utf8_from_path(it->path()));
    }
    if (failed) {
        list->push_back({input, "cannot read the folder: " + failed.message()});
        return;
    }
    if (songs.empty()) {
        list->push_back({input, "the folder holds no .tsm songs"});
        return;
    }
    std::sort(songs.begin(), songs.end());
    for (const std::string& song : songs) list->push_back({song, ""});
}

static void add_playlist(const std::string& input, std::vector<ListEntry>* list) {
    std::ifstream file(path_from_utf8(input));
    if (!file) {
        std::error_code ignored;
        bool exists = fs::exists(path_from_utf8(input), ignored);
        list->push_back({input, exists ? "cannot read the playlist" : "cannot read the playlist: no such file"});
        return;
    }
    fs::path folder = path_from_utf8(input).parent_path();
    std::string line;
    size_t before = list->size();
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // A playlist saved with a byte-order mark starts with it.
        if (list->size() == before && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        if (line.empty() || line[0] == '#') continue;
        fs::path path = path_from_utf8(line);
        if (path.is_relative()) path = folder / path;
        list->push_back({utf8_from_path(path), ""});
    }
    if (list->size() == before) list->push_back({input, "the playlist names no songs"});
}

std::vector<ListEntry> build_play_list(const std::vector<std::string>& inputs) {
    std::vector<ListEntry> list;
    for (const std::string& input : inputs) {
        std::error_code ignored;
        fs::path path = path_from_utf8(input);
        if (input != "-" && fs::is_directory(path, ignored)) {
            add_folder(input, &list);
        } else if (lower_extension(path) == ".m3u" || lower_extension(path) == ".m3u8") {
            add_playlist(input, &list);
        } else {
            list.push_back({input, ""});
        }
    }
    return list;
}

std::string entry_name(const ListEntry& entry) {
    if (entry.path == "-") return "(standard input)";
    return utf8_from_path(path_from_utf8(entry.path).filename());
}
