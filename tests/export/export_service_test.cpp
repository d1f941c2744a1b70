// The export service: its plan refuses what no file can hold, saying which
// value and which range or which kind of length as data, and its targets
// share one plan.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "export/file_names.h"
#include "memory_writer.h"
#include "renders.h"
#include "test_songs.h"

namespace {

const char* row_name(LimitId id) {
    return id == LimitId::TICK ? "Tick (ms)" : "the value";
}

TEST(ExportService, AValueOutOfRangeNamesTheValueAndItsRange) {
    struct Row {
        LimitId limit;
        double value;
        void (*change)(ExportRequest*, double);
    };
    const Row rows[] = {
        {LimitId::LOOPS, -1.0, [](ExportRequest* r, double v) { r->options.loops = (int32_t)v; }},
        {LimitId::TICK, 3600000.5, [](ExportRequest* r, double v) { r->options.tick_ms = v; }},
        {LimitId::TICK, -0.5, [](ExportRequest* r, double v) { r->options.tick_ms = v; }},
        {LimitId::QUALITY, 11.0, [](ExportRequest* r, double v) { r->settings.quality = (int)v; }},
        {LimitId::QUALITY, -2.0, [](ExportRequest* r, double v) { r->settings.quality = (int)v; }},
        {LimitId::FADE, -1.0, [](ExportRequest* r, double v) { r->settings.fade_seconds = v; }},
        {LimitId::STEREO, 201.0, [](ExportRequest* r, double v) { r->settings.stereo_width = (int32_t)v; }},
        {LimitId::STEREO, -1.0, [](ExportRequest* r, double v) { r->settings.stereo_width = (int32_t)v; }},
        {LimitId::FADE, 3600.5, [](ExportRequest* r, double v) { r->settings.fade_seconds = v; }},
        {LimitId::FADE, HUGE_VAL, [](ExportRequest* r, double v) { r->settings.fade_seconds = v; }},
        {LimitId::GAIN, 96.5,
         [](ExportRequest* r, double v) { r->settings.level = LevelMode::GAIN, r->settings.gain_db = v; }},
        {LimitId::GAIN, -96.5,
         [](ExportRequest* r, double v) { r->settings.level = LevelMode::GAIN, r->settings.gain_db = v; }},
        {LimitId::NORMALIZE, 0.5,
         [](ExportRequest* r, double v) { r->settings.level = LevelMode::NORMALIZE, r->settings.normalize_dbfs = v; }},
        {LimitId::NORMALIZE, -HUGE_VAL,
         [](ExportRequest* r, double v) { r->settings.level = LevelMode::NORMALIZE, r->settings.normalize_dbfs = v; }},
        {LimitId::LOUDNESS, 3.0,
         [](ExportRequest* r, double v) { r->settings.level = LevelMode::LOUDNESS, r->settings.loudness_lufs = v; }},
        {LimitId::LOUDNESS, -70.5,
         [](ExportRequest* r, double v) { r->settings.level = LevelMode::LOUDNESS, r->settings.loudness_lufs = v; }},
    };
    tamsel::Song song = example_song("short.tsm");
    for (const Row& row : rows) {
        ExportRequest request;
        row.change(&request, row.value);
        ExportPlan plan;
        ExportError error;
        ASSERT_FALSE(plan_export(song, request, &plan, &error)) << row.value;
        EXPECT_EQ(error.fault, ExportFault::OUT_OF_RANGE) << row.value;
        EXPECT_EQ(error.limit, row.limit) << row.value;
        EXPECT_EQ(error.value, row.value);
        const ValueLimit& limit = value_limit(row.limit);
        EXPECT_TRUE(row.value < limit.min || row.value > limit.max) << row.value;
        EXPECT_EQ(export_error_text(error, row_name),
                  std::string(row_name(row.limit)) + " must be " + limit_range_text(row.limit));
    }
    ExportRequest request;
    request.options.tick_ms = NAN;
    ExportPlan plan;
    ExportError error;
    ASSERT_FALSE(plan_export(song, request, &plan, &error));
    EXPECT_EQ(export_error_text(error, row_name), "Tick (ms) must be milliseconds from 0 to 3600000");
}

TEST(ExportService, ALengthNoFileHoldsSaysWhetherTheRenderEnds) {
    // A step time the clock never passes: stuck on the first step.
    tamsel::Song stuck = loaded_song(song_bytes(0x80000000u, 0, 2, 4));
    tamsel::Song song = example_song("short.tsm");
    struct Row {
        const tamsel::Song* song;
        int32_t loops;
        OutputFormat format;
        bool loopable;
        ExportFault fault;
        const char* text;
    };
    const Row rows[] = {
        {&song, 1000, OutputFormat::WAV_FLOAT, false, ExportFault::TOO_LONG, "too long for a WAV file"},
        {&song, 5000, OutputFormat::FLAC16, false, ExportFault::TOO_LONG,
         "too long for flac (at most 4294967295 frames)"},
        {&song, INT32_MAX, OutputFormat::FLAC16, false, ExportFault::NEVER_ENDS, "never ends"},
        {&song, INT32_MAX, OutputFormat::WAV16, false, ExportFault::NEVER_ENDS, "never ends"},
        {&stuck, 0, OutputFormat::OPUS, false, ExportFault::NEVER_ENDS, "never ends"},
        {&stuck, 0, OutputFormat::WAV_FLOAT, true, ExportFault::NEVER_WRAPS,
         "never wraps to its repeat start (its step time is never reached), so it has no loop"},
    };
    for (const Row& row : rows) {
        ExportRequest request;
        request.options.loops = row.loops;
        request.settings.format = row.format;
        request.settings.loopable = row.loopable;
        ExportPlan plan;
        ExportError error;
        ASSERT_FALSE(plan_export(*row.song, request, &plan, &error)) << row.text;
        EXPECT_EQ(error.fault, row.fault) << row.text;
        EXPECT_EQ(export_error_text(error, test_limit_name), row.text);
    }
}

TEST(ExportService, StemsShareOnePlanAndProgressRunsOverEveryTarget) {
    tamsel::Song song = loud_song();
    ExportRequest request;
    request.settings.format = OutputFormat::WAV16;
    request.settings.level = LevelMode::NORMALIZE;
    request.stems = true;
    ExportPlan plan;
    ExportError error;
    ASSERT_TRUE(plan_export(song, request, &plan, &error)) << export_error_text(error, test_limit_name);
    ASSERT_EQ(plan.target_mutes.size(), (size_t)TAMSEL_TRACK_COUNT);
    uint64_t last = 0;
    bool rising = true;
    for (size_t target = 0; target < plan.target_mutes.size(); target++) {
        EXPECT_EQ(plan.target_mutes[target], stem_muted_tracks((int32_t)target));
        ExportProgress progress = [&](uint64_t done, uint64_t total) {
            rising = rising && done > last && total == plan.total_frames();
            last = done;
            return true;
        };
        MemoryWriter out;
        AudioResult result;
        ASSERT_TRUE(write_export_target(plan, target, &out, progress, &result, &error));
        EXPECT_EQ(result.frames, plan.target_frames());
        AudioSettings settings = request.settings;
        settings.level = LevelMode::NONE;
        tamsel::RenderOptions options;
        options.muted_tracks = plan.target_mutes[target];
        EXPECT_EQ(out.bytes, render_to_bytes(song, options, settings, plan.level)) << target;
    }
    EXPECT_TRUE(rising);
    EXPECT_EQ(last, plan.total_frames());
    MemoryWriter out;
    AudioResult result;
    EXPECT_FALSE(write_export_target(plan, plan.target_mutes.size(), &out, nullptr, &result, &error));
    EXPECT_TRUE(out.bytes.empty());
}

}  // namespace
