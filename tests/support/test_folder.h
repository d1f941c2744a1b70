// Each test's files: a fresh folder of its own, and files read and written
// as bytes. Paths are UTF-8 on every system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A fresh empty folder for the running test, removed with everything in it
// when the object goes. Each test process keeps its folders under one of
// its own, so suites run side by side (ctest -j, two build trees) never
// touch each other's files.
class TestFolder {
public:
    // suffix tells apart several folders a test holds at once.
    explicit TestFolder(const std::string& suffix = "");
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Writes bytes to the relative path in the folder, making the folders on
    // the way; returns the file's path.
    std::string write(const std::string& relative, const std::vector<uint8_t>& bytes) const;

private:
    std::string path_;
};

// The file's bytes; none when it cannot be read.
std::vector<uint8_t> read_file(const std::string& path);
// Writes the file whole, failing the test when it cannot.
void put_file(const std::string& path, const std::vector<uint8_t>& bytes);
void put_file(const std::string& path, const std::string& text);
// Compares in chunks, so renders of hundreds of megabytes need no memory.
bool files_equal(const std::string& a, const std::string& b);
// Whether anything, a dangling link included, is at path.
bool file_exists(const std::string& path);
// Names of the entries of folder, sorted; those that start with prefix.
std::vector<std::string> files_in(const std::string& folder);
std::vector<std::string> names_starting(const std::string& folder, const std::string& prefix);
