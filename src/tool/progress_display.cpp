#include "tool/progress_display.h"

#include <cstdio>

#include "output/output_cleanup.h"
#include "tamsel/tamsel.h"
#include "tool/terminal.h"

static const int64_t REDRAW_INTERVAL_NS = 100 * 1000 * 1000;  // at most ten redraws a second

static int percent(uint64_t done, uint64_t total) {
    if (total == 0) return 100;
    if (done >= total) return 100;
    return (int)(done * 100 / total);
}

ProgressDisplay::ProgressDisplay(bool live, bool escapes, size_t slots, size_t files)
    : live_(live),
      escapes_(escapes),
      files_(files),
      planned_(files, 0),
      slots_(new Slot[slots == 0 ? 1 : slots]),
      slot_count_(slots == 0 ? 1 : slots),
      start_(std::chrono::steady_clock::now()),
      last_draw_ns_(-REDRAW_INTERVAL_NS) {}

ProgressDisplay::~ProgressDisplay() {
    finish();
}

void ProgressDisplay::plan_file(size_t file, uint64_t frames) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (file >= planned_.size()) return;
    frames_planned_ = frames_planned_ - planned_[file] + frames;
    planned_[file] = frames;
}

void ProgressDisplay::take_file(size_t slot, size_t file) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (slot < slot_count_) slots_[slot].file = file;
}

void ProgressDisplay::begin_file(size_t slot, const std::string& name, uint64_t total) {
    if (!live_ || slot >= slot_count_) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Slot& s = slots_[slot];
        // The file's own figure wins over the plan's.
        if (s.file < planned_.size()) {
            frames_planned_ = frames_planned_ - planned_[s.file] + total;
            planned_[s.file] = total;
        }
        s.name = name;
        s.total.store(total);
        s.done.store(0);
        s.active = true;
    }
    try_draw();
}

void ProgressDisplay::update(size_t slot, uint64_t done) {
    if (!live_ || slot >= slot_count_) return;
    slots_[slot].done.store(done, std::memory_order_relaxed);
    try_draw();
}

void ProgressDisplay::try_draw() {
    int64_t now =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start_).count();
    int64_t last = last_draw_ns_.load(std::memory_order_relaxed);
    if (now - last < REDRAW_INTERVAL_NS) return;
    // One thread wins the right to draw this time; the others go on rendering.
    if (!last_draw_ns_.compare_exchange_strong(last, now)) return;
    std::unique_lock<std::mutex> lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock()) return;
    draw_locked();
}

void ProgressDisplay::end_file(size_t slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    files_finished_++;
    if (slot >= slot_count_) return;
    Slot& s = slots_[slot];
    if (s.file < planned_.size()) {
        frames_planned_ -= planned_[s.file];
        planned_[s.file] = 0;
    }
    s.file = SIZE_MAX;
    if (!s.active) return;
    frames_finished_ += s.done.load();
    s.done.store(0);
    s.active = false;
}

void ProgressDisplay::print_line(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    clear_locked();
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

void ProgressDisplay::finish() {
    std::lock_guard<std::mutex> lock(mutex_);
    clear_locked();
}

void ProgressDisplay::clear_locked() {
    if (!line_shown_) return;
    if (escapes_)
        std::fputs("\r\033[K", stderr);
    else
        std::fprintf(stderr, "\r%s\r", std::string(shown_width_, ' ').c_str());
    std::fflush(stderr);
    line_shown_ = false;
    set_standard_error_line_open(false);
}

void ProgressDisplay::show_line_locked(const std::string& line) {
    if (escapes_) {
        std::fprintf(stderr, "\r%s\033[K", line.c_str());
    } else {
        // Blanks cover what is left of a longer line drawn before.
        size_t cover = shown_width_ > line.size() ? shown_width_ - line.size() : 0;
        std::fprintf(stderr, "\r%s%s", line.c_str(), std::string(cover, ' ').c_str());
    }
    std::fflush(stderr);
    shown_width_ = line.size();
    line_shown_ = true;
    set_standard_error_line_open(true);
}

// "all 31% [2/8 files] | song.tsm 52% | other.tsm 12% | 410x real time",
// cut to the terminal's width. The whole run's share is of audio frames:
// those of finished files and those done of the files rendering, out of
// those and the frames still planned; a file that fails takes its frames
// out of the whole, so the share never jumps for it.
void ProgressDisplay::draw_locked() {
    char part[64];
    std::string files_part;
    uint64_t frames = frames_finished_;
    for (size_t i = 0; i < slot_count_; i++) {
        const Slot& s = slots_[i];
        if (!s.active) continue;
        uint64_t done = s.done.load(std::memory_order_relaxed);
        uint64_t total = s.total.load(std::memory_order_relaxed);
        frames += done;
        std::snprintf(part, sizeof part, " %d%% |", percent(done, total));
        files_part += " " + s.name + part;
    }
    std::snprintf(part, sizeof part, "all %d%% [%zu/%zu files] |", percent(frames, frames_finished_ + frames_planned_),
                  files_finished_, files_);
    std::string line = part + files_part;
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    if (seconds > 0.0) {
        std::snprintf(part, sizeof part, " %.0fx real time", (double)frames / TAMSEL_SAMPLE_RATE / seconds);
        line += part;
    }
    size_t columns = terminal_columns();
    if (line.size() >= columns) line.resize(columns - 1);
    show_line_locked(line);
}
