#include "tool/job_runner.h"

#include <atomic>
#include <thread>
#include <vector>

size_t processor_count() {
    unsigned count = std::thread::hardware_concurrency();
    return count == 0 ? 1 : count;
}

void run_jobs(size_t count, size_t jobs, const std::function<void(size_t index, size_t slot)>& task) {
    if (jobs > count) jobs = count;
    if (jobs <= 1) {
        for (size_t i = 0; i < count; i++) task(i, 0);
        return;
    }
    std::atomic<size_t> next{0};
    auto worker = [&](size_t slot) {
        for (size_t i = next.fetch_add(1); i < count; i = next.fetch_add(1)) task(i, slot);
    };
    std::vector<std::thread> threads;
    for (size_t slot = 1; slot < jobs; slot++) threads.emplace_back(worker, slot);
    worker(0);
    for (std::thread& thread : threads) thread.join();
}

size_t render_threads_per_file(size_t jobs, size_t files_at_once) {
    if (files_at_once == 0) return 1;
    size_t each = jobs / files_at_once;
    if (each < 1) return 1;
    return each > 2 ? 2 : each;
}
