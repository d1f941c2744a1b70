// The export, as every front end runs it: a plan worked out once per song
// and set of options, then one call per target that writes it. The plan
// holds everything the targets share: the length, the loop points, the
// level plan and the tracks each target mutes, all checked against their
// limits before a byte is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/byte_writer.h"
#include "export/audio_render.h"
#include "export/export_error.h"
#include "export/mix_source.h"
#include "tamsel/tamsel.hpp"

struct ExportRequest {
    tamsel::RenderOptions options;  // loops, tick and the mix's muted tracks
    AudioSettings settings;
    // One target per track, each with every other track muted and leveled
    // as the whole mix, so they add up to it; options.muted_tracks must
    // then be 0.
    bool stems = false;
};

struct ExportPlan {
    const tamsel::Song* song = nullptr;  // the song planned for; it must outlive the plan
    tamsel::RenderOptions options;
    AudioSettings settings;
    ExportLength length;  // frames each target writes, loop points, render loops
    LevelPlan level;
    std::vector<uint32_t> target_mutes;  // the muted tracks of each target
    // Frames each target writes, and the whole export's (every target's).
    uint64_t target_frames() const { return length.total(); }
    uint64_t total_frames() const { return length.total() * target_mutes.size(); }
};

// Plans the export of song for request. False with error set when a value
// is out of its range, the render has no length a file of the format
// holds, or the level cannot be planned. May render the song once (the
// level options that measure it).
bool plan_export(const tamsel::Song& song, const ExportRequest& request, ExportPlan* plan, ExportError* error);

// The frames the whole export of song for request writes, every target's,
// without planning its level (which may render the song): a progress
// total worked out before the export. False with error set as plan_export
// would be for the length.
bool plan_export_frames(const tamsel::Song& song, const ExportRequest& request, uint64_t* frames, ExportError* error);

// Progress: frames done of the whole export (every target before this one
// counted as done) and its total; returning false cancels.
using ExportProgress = std::function<bool(uint64_t done, uint64_t total)>;

// Writes target (0 .. target_mutes.size() - 1) of plan to out, header
// first, as render_audio does. False with error set on any failure,
// CANCELLED when progress returned false.
bool write_export_target(const ExportPlan& plan, size_t target, ByteWriter* out, const ExportProgress& progress,
                         AudioResult* result, ExportError* error);
