// The live progress line on a terminal, and every message of a run on
// standard error. Render threads report frames done; the line shows the
// share of the run's audio frames done, the files finished of all, each
// file being rendered with its percentage, and the speed in times real
// time, redrawn at most ten times a second. When
// standard error is not a terminal (or with --quiet) nothing of it is drawn,
// and messages are plain lines.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class ProgressDisplay {
public:
    // slots: how many files may render at once; files: how many in all.
    // Without escapes (TERM=dumb) the line is redrawn and cleared with
    // carriage returns and blanks.
    ProgressDisplay(bool live, bool escapes, size_t slots, size_t files);
    ~ProgressDisplay();

    // Before the run: the frames file (0..files-1) is to render, where that
    // is known. A file not planned counts from when it begins.
    void plan_file(size_t file, uint64_t frames);
    // The thread of slot takes file: what its slot reports next is that file's.
    void take_file(size_t slot, size_t file);
    // A render thread starts a file of total frames in its slot.
    void begin_file(size_t slot, const std::string& name, uint64_t total);
    // Frames done so far of the file in slot; draws when it is time to.
    void update(size_t slot, uint64_t done);
    // The file in slot is finished (done or failed); what it did not render
    // leaves the run's total.
    void end_file(size_t slot);
    // Prints one line on standard error, above the progress line.
    void print_line(const std::string& line);
    // Removes the progress line for good.
    void finish();

    bool live() const { return live_; }

private:
    struct Slot {
        std::atomic<uint64_t> done{0};
        std::atomic<uint64_t> total{0};
        std::string name;  // guarded by mutex_
        bool active = false;
        size_t file = SIZE_MAX;  // taken by take_file; SIZE_MAX: none
    };
    // Draws unless the last drawing was less than a tenth of a second ago.
    void try_draw();
    void draw_locked();
    void clear_locked();

    void show_line_locked(const std::string& line);

    bool live_;
    bool escapes_;
    size_t files_;
    size_t files_finished_ = 0;      // guarded by mutex_
    uint64_t frames_finished_ = 0;   // frames of finished files, guarded by mutex_
    std::vector<uint64_t> planned_;  // frames of each file to render, guarded by mutex_
    uint64_t frames_planned_ = 0;    // of the files not finished, guarded by mutex_
    std::unique_ptr<Slot[]> slots_;
    size_t slot_count_;
    std::mutex mutex_;
    std::chrono::steady_clock::time_point start_;
    std::atomic<int64_t> last_draw_ns_;  // since start_; the first drawing may come at once
    bool line_shown_ = false;            // guarded by mutex_
    size_t shown_width_ = 0;             // of the line on the screen, guarded by mutex_
};
