#include "tool/option_form.h"

#include <atomic>
#include <cstdio>
#include <vector>

#include "output/output_file.h"
#include "tool/cli_options.h"
#include "tool/file_export.h"
#include "tool/help_text.h"
#include "tool/job_runner.h"
#include "tool/option_warnings.h"
#include "tool/output_targets.h"
#include "tool/progress_display.h"
#include "tool/song_report.h"
#include "tool/terminal.h"

static const int EXIT_FILE_FAILED = 1;
static const int EXIT_USAGE = 2;

bool uses_option_form(int argc, char** argv) {
    for (int i = 1; i < argc; i++) {
        if (is_option_argument(argv[i])) return true;
    }
    return false;
}

// 130, 143 and 129 for SIGINT, SIGTERM and SIGHUP, as shells report them.
static int interrupted_exit_code(int signal) {
    return 128 + signal;
}

static size_t job_count(const CliOptions& options) {
    return options.jobs != 0 ? options.jobs : processor_count();
}

static int run_info(const CliOptions& options) {
    std::vector<SongReport> reports(options.inputs.size());
    run_jobs(reports.size(), job_count(options),
             [&](size_t i, size_t) { reports[i] = make_song_report(options.inputs[i], options); });
    bool failed = false;
    for (size_t i = 0; i < reports.size(); i++) {
        const SongReport& report = reports[i];
        std::string text = options.json ? song_report_json(report) : song_report_text(report);
        if (!options.json && i > 0) std::fputs("\n", stdout);
        std::fputs(text.c_str(), stdout);
        std::fflush(stdout);
        if (!report.warning.empty())
            std::fprintf(stderr, "tamselexport: warning: %s: %s\n", report.file.c_str(), report.warning.c_str());
        if (report.error.empty()) continue;
        std::fprintf(stderr, "tamselexport: %s: %s\n", report.file.c_str(), report.error.c_str());
        failed = true;
    }
    if (std::ferror(stdout)) failed = true;
    return failed ? EXIT_FILE_FAILED : 0;
}

static int run_export(const CliOptions& options) {
    std::string why;
    if (!output_format_available(options.audio.format, &why)) {
        std::fprintf(stderr, "tamselexport: cannot write %s: %s\n", output_format_name(options.audio.format),
                     why.c_str());
        return EXIT_FILE_FAILED;
    }
    for (const std::string& warning : ineffective_option_warnings(options))
        std::fprintf(stderr, "tamselexport: warning: %s\n", warning.c_str());
    std::vector<FileExport> jobs;
    for (const std::string& input : options.inputs) jobs.push_back({input, output_targets(input, options), ""});
    check_output_clashes(&jobs);

    size_t budget = job_count(options);
    size_t threads = budget < jobs.size() ? budget : jobs.size();
    // Threads that fewer files than -j leave over render within a file.
    CliOptions per_file = options;
    per_file.audio.render_threads = render_threads_per_file(budget, threads);
    bool live = !options.quiet && standard_error_is_terminal();
    ProgressDisplay display(live, terminal_takes_escapes(), threads, jobs.size());
    std::atomic<bool> failed{false};
    run_jobs(jobs.size(), threads, [&](size_t i, size_t slot) {
        if (!export_file(jobs[i], per_file, &display, slot)) failed.store(true);
    });
    display.finish();
    return failed.load() ? EXIT_FILE_FAILED : 0;
}

int run_option_form(int argc, char** argv) {
    install_interrupt_cleanup(interrupted_exit_code);
    CliOptions options;
    std::string error;
    switch (parse_cli_options(argc, argv, &options, &error)) {
    case ParseResult::HELP: print_help(stdout); return 0;
    case ParseResult::VERSION: print_version(stdout); return 0;
    case ParseResult::USAGE_ERROR: print_usage_error(error); return EXIT_USAGE;
    case ParseResult::RUN: break;
    }
    if (options.info) return run_info(options);
    return run_export(options);
}
