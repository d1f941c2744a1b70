#include "renders.h"

#include <gtest/gtest.h>

#include "memory_writer.h"

const char* test_limit_name(LimitId) {
    return "value";
}

ExportPlan planned_export(const tamsel::Song& song, const tamsel::RenderOptions& options,
                          const AudioSettings& settings) {
    ExportRequest request;
    request.options = options;
    request.settings = settings;
    ExportPlan plan;
    ExportError error;
    EXPECT_TRUE(plan_export(song, request, &plan, &error)) << export_error_text(error, test_limit_name);
    return plan;
}

std::vector<uint8_t> render_to_bytes(const tamsel::Song& song, const tamsel::RenderOptions& options,
                                     const AudioSettings& settings, const LevelPlan& plan, AudioResult* result) {
    AudioSettings unleveled = settings;
    unleveled.level = LevelMode::NONE;  // the plan given stands in for the settings' own
    ExportPlan export_plan = planned_export(song, options, unleveled);
    export_plan.settings = settings;
    export_plan.level = plan;
    MemoryWriter out;
    AudioResult ignored;
    ExportError error;
    bool ok = write_export_target(export_plan, 0, &out, nullptr, result ? result : &ignored, &error);
    EXPECT_TRUE(ok) << export_error_text(error, test_limit_name);
    return out.bytes;
}
