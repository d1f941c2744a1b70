// Runs numbered tasks on up to N threads at once, each thread taking the
// next task as it finishes one.
#pragma once

#include <cstddef>
#include <functional>

// Calls task(index, slot) once for each index 0..count-1, on at most jobs
// threads; slot (0..jobs-1) tells which thread runs it, so a caller can keep
// per-thread state. Returns when every task is done. jobs 1 runs them in
// order on the calling thread.
void run_jobs(size_t count, size_t jobs, const std::function<void(size_t index, size_t slot)>& task);

// The number of processors, at least 1.
size_t processor_count();

// Render threads each of files_at_once files gets out of a budget of jobs
// threads: what is left over when fewer files than jobs render at once,
// at most 2, since each renderer may keep up to 16 MiB of note samples and
// a render stays within 64 MiB.
size_t render_threads_per_file(size_t jobs, size_t files_at_once);
