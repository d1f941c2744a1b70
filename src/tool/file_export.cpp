#include "tool/file_export.h"

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <system_error>

#include "common/path_rules.h"
#include "common/utf8_path.h"
#include "export/export_service.h"
#include "export/file_names.h"
#include "export/summary_text.h"
#include "frontend/song_input.h"
#include "output/output_file.h"
#include "tamsel/tamsel.hpp"
#include "tool/option_words.h"

static bool file_failed(ProgressDisplay* display, const std::string& input, const std::string& reason) {
    display->print_line("tamselexport: " + input + ": " + reason);
    return false;
}

// Refuses, before anything is written, an output that exists (without
// --force), that is a folder, or that is the input itself (always).
static bool check_targets(const FileExport& job, const CliOptions& options, ProgressDisplay* display) {
    for (const OutputTarget& target : job.targets) {
        if (target.path == "-") continue;
        if (same_file(job.input.c_str(), target.path.c_str()))
            return file_failed(display, job.input, "the output " + target.path + " is the input itself");
        ReplacePolicy policy = options.force ? ReplacePolicy::REPLACE : ReplacePolicy::KEEP_EXISTING;
        std::string error;
        bool taken = false;
        if (!check_output_path(target.path, policy, &error, &taken))
            return file_failed(display, job.input, taken ? option_taken_text(error) : error);
    }
    return true;
}

// Makes the -d folder (and the folders on its way) when the first output is
// about to be written into it, so a run that writes nothing leaves none.
// Files rendering at once may race to make it; it is there for all of them.
static bool make_output_dir(const std::string& dir, ProgressDisplay* display) {
    if (dir.empty()) return true;
    std::error_code error;
    std::filesystem::create_directories(path_from_utf8(dir), error);
    std::error_code ignored;
    if (std::filesystem::is_directory(path_from_utf8(dir), ignored)) return true;
    return file_failed(display, dir, "cannot make the output folder: " + (error ? error.message() : "not a folder"));
}

static bool write_target(const FileExport& job, const ExportPlan& plan, size_t index, const CliOptions& options,
                         ProgressDisplay* display, size_t slot) {
    const OutputTarget& target = job.targets[index];
    std::string error;
    ReplacePolicy policy = options.force ? ReplacePolicy::REPLACE : ReplacePolicy::KEEP_EXISTING;
    bool taken = false;
    std::unique_ptr<OutputFile> out = open_output(target.path, policy, &error, &taken);
    if (!out) return file_failed(display, job.input, taken ? option_taken_text(error) : error);
    ExportProgress progress = [display, slot](uint64_t done, uint64_t) {
        display->update(slot, done);
        return true;
    };
    AudioResult result;
    ExportError failure;
    bool written = write_export_target(plan, index, out.get(), progress, &result, &failure);
    if (!written) error = option_error_text(failure);
    written = written && out->commit(&error);
    if (!written) {
        // A reader that went away (| head) wants no more: the run ends
        // without a word about it.
        bool quiet = out->broken_pipe();
        // The system's own words for a failed write ("No space left on
        // device") say more than the encoder's.
        std::string reason = out->error().empty() ? error : out->error();
        if (out->name_taken()) reason = option_taken_text(reason);
        out->abort();
        if (quiet) return false;
        return file_failed(display, job.input, target.path == "-" ? reason : target.path + ": " + reason);
    }
    if (!options.quiet)
        display->print_line(
            summary_line(job.input, target.path, result, plan.level, option_level_hints(), options.stems));
    return true;
}

// The export the options ask for; each target's mutes come from its own
// entry (a stem's, or the options' --mute/--solo).
static ExportRequest request_of(const FileExport& job, const CliOptions& options) {
    ExportRequest request;
    request.options.loops = options.loops;
    request.options.tick_ms = options.tick_ms;
    request.options.muted_tracks = options.muted_tracks;
    request.settings = options.audio;
    request.stems = options.stems;
    if (!options.title_given) request.settings.title = title_from_song_path(job.input);
    return request;
}

uint64_t planned_frames(const FileExport& job, const CliOptions& options) {
    if (!job.planning_error.empty() || job.input == "-") return 0;
    tamsel::Song song;
    std::string error;
    std::vector<std::string> warnings;
    if (!load_input_song(job.input, &song, &error, &warnings)) return 0;
    uint64_t frames = 0;
    ExportError failure;
    if (!plan_export_frames(song, request_of(job, options), &frames, &failure)) return 0;
    return frames;
}

static bool export_outputs(const FileExport& job, const CliOptions& options, ProgressDisplay* display, size_t slot) {
    if (!job.planning_error.empty()) return file_failed(display, job.input, job.planning_error);
    tamsel::Song song;
    std::string error;
    std::vector<std::string> warnings;
    if (!load_input_song(job.input, &song, &error, &warnings)) return file_failed(display, job.input, error);
    for (const std::string& warning : warnings)
        display->print_line("tamselexport: warning: " + job.input + ": " + warning);
    if (!check_targets(job, options, display)) return false;

    ExportPlan plan;
    ExportError failure;
    if (!plan_export(song, request_of(job, options), &plan, &failure))
        return file_failed(display, job.input, option_error_text(failure));
    if (plan.target_mutes.size() != job.targets.size())
        return file_failed(display, job.input, "the outputs do not match the export's targets");

    if (!make_output_dir(options.output_dir, display)) return false;
    display->begin_file(slot, job.input, plan.total_frames());
    for (size_t i = 0; i < job.targets.size(); i++) {
        if (!write_target(job, plan, i, options, display, slot)) return false;
    }
    return true;
}

bool export_file(const FileExport& job, const CliOptions& options, ProgressDisplay* display, size_t slot) {
    bool ok = export_outputs(job, options, display, slot);
    display->end_file(slot);
    return ok;
}

static std::string normal_path(const std::string& path) {
    return utf8_from_path(path_from_utf8(path).lexically_normal());
}

void check_output_clashes(std::vector<FileExport>* jobs) {
    std::set<std::string> inputs;
    for (const FileExport& job : *jobs) inputs.insert(normal_path(job.input));
    std::map<std::string, std::string> claimed;  // output path -> the input that writes it
    for (FileExport& job : *jobs) {
        for (const OutputTarget& target : job.targets) {
            if (target.path == "-") continue;
            std::string path = normal_path(target.path);
            if (path == normal_path(job.input)) {
                job.planning_error = "the output " + target.path + " is the input itself";
                break;
            }
            if (inputs.count(path)) {
                job.planning_error = "the output " + target.path + " is an input file";
                break;
            }
            auto earlier = claimed.find(path);
            if (earlier != claimed.end()) {
                job.planning_error = "the output " + target.path + " is also the output of " + earlier->second;
                break;
            }
        }
        if (!job.planning_error.empty()) continue;
        for (const OutputTarget& target : job.targets) claimed[normal_path(target.path)] = job.input;
    }
}
