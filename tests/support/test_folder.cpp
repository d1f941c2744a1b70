#include "test_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

#include "common/utf8_path.h"

namespace fs = std::filesystem;

static std::FILE* open_file(const std::string& path, const char* mode) {
#ifdef _WIN32
    std::wstring wide_mode(mode, mode + std::strlen(mode));
    return _wfopen(path_from_utf8(path).wstring().c_str(), wide_mode.c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

// The folders alive now: a second one of the same name would empty the
// first.
static std::set<std::string>& live_folders() {
    static std::set<std::string> folders;
    return folders;
}

TestFolder::TestFolder(const std::string& suffix) {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "outside_a_test";
    name += suffix;
    std::replace(name.begin(), name.end(), '/', '_');
    fs::path path = fs::temp_directory_path() / "tamsel_tests" / std::to_string(getpid()) / path_from_utf8(name);
    path_ = utf8_from_path(path);
    if (!live_folders().insert(path_).second)
        ADD_FAILURE() << "two folders of one test need different suffixes: " << name;
    std::error_code ignored;
    fs::remove_all(path, ignored);
    fs::create_directories(path);
}

TestFolder::~TestFolder() {
    live_folders().erase(path_);
    fs::path path = path_from_utf8(path_);
    std::error_code ignored;
    // A test may have taken its folder's permissions away.
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path, ignored);
    // The process's folder goes with its last test folder.
    fs::remove(path.parent_path(), ignored);
}

std::string TestFolder::write(const std::string& relative, const std::vector<uint8_t>& bytes) const {
    std::string path = file(relative);
    std::error_code ignored;
    fs::create_directories(path_from_utf8(path).parent_path(), ignored);
    put_file(path, bytes);
    return path;
}

std::vector<uint8_t> read_file(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::FILE* file = open_file(path, "rb");
    if (!file) return bytes;
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(file);
    return bytes;
}

void put_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (const char* log = std::getenv("TAMSEL_SONG_LOG")) {
        uint64_t h = 14695981039346656037ull;
        for (uint8_t c : bytes) h = (h ^ c) * 1099511628211ull;
        if (std::FILE* f = std::fopen(log, "a")) {
            std::fprintf(f, "file %016llx %zu\n", (unsigned long long)h, bytes.size());
            std::fclose(f);
        }
    }
    std::FILE* file = open_file(path, "wb");
    ASSERT_NE(file, nullptr) << path;
    if (!bytes.empty()) {
        EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size()) << path;
    }
    EXPECT_EQ(std::fclose(file), 0) << path;
}

void put_file(const std::string& path, const std::string& text) {
    put_file(path, std::vector<uint8_t>(text.begin(), text.end()));
}

bool files_equal(const std::string& a, const std::string& b) {
    std::FILE* first = open_file(a, "rb");
    std::FILE* second = open_file(b, "rb");
    bool equal = first && second;
    static uint8_t chunk_a[1 << 16];
    static uint8_t chunk_b[1 << 16];
    while (equal) {
        size_t got_a = std::fread(chunk_a, 1, sizeof chunk_a, first);
        size_t got_b = std::fread(chunk_b, 1, sizeof chunk_b, second);
        equal = got_a == got_b && std::memcmp(chunk_a, chunk_b, got_a) == 0;
        if (got_a == 0) break;
    }
    if (first) std::fclose(first);
    if (second) std::fclose(second);
    return equal;
}

bool file_exists(const std::string& path) {
    // A name the system refuses (too long, say) names nothing.
    std::error_code error;
    return fs::exists(fs::symlink_status(path_from_utf8(path), error));
}

std::vector<std::string> files_in(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(path_from_utf8(folder), error)) {
        names.push_back(utf8_from_path(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> names_starting(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> names;
    for (const std::string& name : files_in(folder)) {
        if (name.compare(0, prefix.size(), prefix) == 0) names.push_back(name);
    }
    return names;
}
