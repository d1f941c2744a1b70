#include "export/export_service.h"

#include "export/file_names.h"

static void add_targets(const ExportRequest& request, ExportPlan* plan) {
    plan->target_mutes.clear();
    if (!request.stems) {
        plan->target_mutes.push_back(request.options.muted_tracks);
        return;
    }
    for (int32_t track = 0; track < TAMSEL_TRACK_COUNT; track++) plan->target_mutes.push_back(stem_muted_tracks(track));
}

// The bounded values the request sets directly; the fade and the levels
// are checked where their plans are made.
static bool check_request(const ExportRequest& request, ExportError* error) {
    const tamsel::RenderOptions& options = request.options;
    if (!within_limit(LimitId::LOOPS, options.loops)) return out_of_range(error, LimitId::LOOPS, options.loops);
    if (!within_limit(LimitId::TICK, options.tick_ms)) return out_of_range(error, LimitId::TICK, options.tick_ms);
    int quality = request.settings.quality;
    if (quality != -1 && !within_limit(LimitId::QUALITY, quality))
        return out_of_range(error, LimitId::QUALITY, quality);
    int32_t width = request.settings.stereo_width;
    if (!within_limit(LimitId::STEREO, width)) return out_of_range(error, LimitId::STEREO, width);
    if (request.stems && options.muted_tracks != 0) return failed_with(error, "stems leave no room for muted tracks");
    return true;
}

bool plan_export(const tamsel::Song& song, const ExportRequest& request, ExportPlan* plan, ExportError* error) {
    if (!check_request(request, error)) return false;
    ExportPlan planned;
    planned.song = &song;
    planned.options = request.options;
    planned.settings = request.settings;
    if (!export_length(song, planned.options, planned.settings, &planned.length, error)) return false;
    if (!plan_level(song, planned.options, planned.settings, planned.length, &planned.level, error)) return false;
    add_targets(request, &planned);
    *plan = planned;
    return true;
}

bool plan_export_frames(const tamsel::Song& song, const ExportRequest& request, uint64_t* frames, ExportError* error) {
    if (!check_request(request, error)) return false;
    ExportLength length;
    if (!export_length(song, request.options, request.settings, &length, error)) return false;
    *frames = length.total() * (request.stems ? (uint64_t)TAMSEL_TRACK_COUNT : 1u);
    return true;
}

bool write_export_target(const ExportPlan& plan, size_t target, ByteWriter* out, const ExportProgress& progress,
                         AudioResult* result, ExportError* error) {
    if (!plan.song || target >= plan.target_mutes.size()) return failed_with(error, "no such target in the plan");
    tamsel::RenderOptions options = plan.options;
    options.muted_tracks = plan.target_mutes[target];
    uint64_t offset = plan.target_frames() * target;
    uint64_t total = plan.total_frames();
    AudioProgress target_progress;
    if (progress)
        target_progress = [&progress, offset, total](uint64_t done, uint64_t) {
            return progress(offset + done, total);
        };
    return render_audio(*plan.song, options, plan.settings, plan.length, plan.level, out, target_progress, result,
                        error);
}
