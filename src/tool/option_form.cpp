#include "tool/option_form.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
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
#include "tool/standard_output.h"
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
        if (!options.json && i > 0) text = "\n" + text;
        errno = 0;
        std::fputs(text.c_str(), stdout);
        if (!standard_output_written()) return EXIT_FILE_FAILED;
        for (const std::string& warning : report.warnings)
            std::fprintf(stderr, "tamselexport: warning: %s: %s\n", report.file.c_str(), warning.c_str());
        if (report.error.empty()) continue;
        std::fprintf(stderr, "tamselexport: %s: %s\n", report.file.c_str(), report.error.c_str());
        failed = true;
    }
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
    // The run's share done is of audio frames, so the line needs every
    // file's length before the first starts; one file tells its own.
    if (live && jobs.size() > 1) {
        run_jobs(jobs.size(), threads,
                 [&](size_t i, size_t) { display.plan_file(i, planned_frames(jobs[i], per_file)); });
    }
    std::atomic<bool> failed{false};
    run_jobs(jobs.size(), threads, [&](size_t i, size_t slot) {
        display.take_file(slot, i);
        if (!export_file(jobs[i], per_file, &display, slot)) failed.store(true);
    });
    display.finish();
    return failed.load() ? EXIT_FILE_FAILED : 0;
}

// --help and --version: their text, or an error when it could not be written.
static int print_text(void (*print)(std::FILE* out)) {
    errno = 0;
    print(stdout);
    return standard_output_written() ? 0 : EXIT_FILE_FAILED;
}

// A terminal on either end of the audio is refused before any work: no
// song comes from one, and audio would only garble one.
static bool check_standard_streams(const CliOptions& options, std::string* error) {
    bool reads_input = std::find(options.inputs.begin(), options.inputs.end(), "-") != options.inputs.end();
    if (reads_input && standard_input_is_terminal()) {
        *error = "standard input ('-') is a terminal; redirect it from a song file or a pipe";
        return false;
    }
    if (options.info || options.output != "-") return true;
    return check_output_path(options.output, ReplacePolicy::REPLACE, error);
}

int run_option_form(int argc, char** argv) {
    install_interrupt_cleanup(interrupted_exit_code, "tamselexport: interrupted");
    CliOptions options;
    std::string error;
    switch (parse_cli_options(argc, argv, &options, &error)) {
    case ParseResult::HELP: return print_text(print_help);
    case ParseResult::VERSION: return print_text(print_version);
    case ParseResult::USAGE_ERROR: print_usage_error(error); return EXIT_USAGE;
    case ParseResult::RUN: break;
    }
    if (!check_standard_streams(options, &error)) {
        print_usage_error(error);
        return EXIT_USAGE;
    }
    if (options.info) return run_info(options);
    return run_export(options);
}
