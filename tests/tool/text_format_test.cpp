// How figures and names are written in summaries and JSON.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "export/summary_text.h"
#include "tool/json_text.h"
#include "tool/option_words.h"

namespace {

std::string json_string(const std::string& text) {
    std::string out;
    append_json_string(&out, text);
    return out;
}

std::string json_number(double value) {
    std::string out;
    append_json_number(&out, value);
    return out;
}

TEST(TextFormat, DurationsToTheNearestMillisecond) {
    EXPECT_EQ(format_duration(0), "0:00.000");
    EXPECT_EQ(format_duration(23), "0:00.000");
    EXPECT_EQ(format_duration(24), "0:00.001");  // half a millisecond rounds up
    EXPECT_EQ(format_duration(46080), "0:00.960");
    EXPECT_EQ(format_duration(5713920), "1:59.040");
    EXPECT_EQ(format_duration(48000u * 3600u - 25u), "59:59.999");
    EXPECT_EQ(format_duration(48000u * 3600u - 24u), "1:00:00.000");  // an hour or more: h:mm:ss.mmm
    EXPECT_EQ(format_duration(536870907u), "3:06:24.811");
}

TEST(TextFormat, PeaksInDecibelsAndSilence) {
    EXPECT_EQ(format_dbfs(0.0), "0.00 dBFS");
    EXPECT_EQ(format_dbfs(-0.524), "-0.52 dBFS");
    EXPECT_EQ(format_dbfs(1.13), "1.13 dBFS");
    EXPECT_EQ(format_dbfs(-std::numeric_limits<double>::infinity()), "-inf dBFS");
}

TEST(TextFormat, SummaryLine) {
    AudioResult result;
    result.frames = 46080;
    result.peak_dbfs = -3.0;
    result.beyond_full_scale = 2;
    LevelPlan plan;
    EXPECT_EQ(summary_line("a.tsm", "a.wav", result, plan, option_level_hints()),
              "a.tsm -> a.wav: 0:00.960, peak -3.00 dBFS, 2 samples beyond +-1.0");
    result.clamped = 7;
    plan.note = "lowered 1.5 dB";
    EXPECT_EQ(summary_line("a.tsm", "-", result, plan, option_level_hints()),
              "a.tsm -> standard output: 0:00.960, peak -3.00 dBFS, 2 samples beyond +-1.0, "
              "7 samples clamped (try --normalize), lowered 1.5 dB");
    AudioResult lossy;
    lossy.frames = 46080;
    lossy.peak_dbfs = -0.5;
    lossy.true_peak_dbfs = 0.25;
    lossy.decoded_may_clip = true;
    EXPECT_EQ(summary_line("a.tsm", "a.ogg", lossy, LevelPlan(), option_level_hints()),
              "a.tsm -> a.ogg: 0:00.960, peak -0.50 dBFS, 0 samples beyond +-1.0, "
              "true peak +0.25 dBTP: may clip when decoded (try --normalize=-2)");
}

TEST(TextFormat, JsonStringsFromAnyFileName) {
    EXPECT_EQ(json_string("song.tsm"), "\"song.tsm\"");
    EXPECT_EQ(json_string("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(json_string(std::string("tab\tnew\nnul\0end", 15)), "\"tab\\u0009new\\u000anul\\u0000end\"");
    EXPECT_EQ(json_string("caf\xC3\xA9 \xE2\x99\xAA \xF0\x9F\x8E\xB5"),
              "\"caf\xC3\xA9 \xE2\x99\xAA \xF0\x9F\x8E\xB5\"");
    // Latin-1 bytes, a cut sequence, an overlong form, a surrogate.
    EXPECT_EQ(json_string("caf\xE9"), "\"caf\\ufffd\"");
    EXPECT_EQ(json_string("\xE2\x99"), "\"\\ufffd\\ufffd\"");
    EXPECT_EQ(json_string("\xC0\xAF"), "\"\\ufffd\\ufffd\"");
    EXPECT_EQ(json_string("\xED\xA0\x80"), "\"\\ufffd\\ufffd\\ufffd\"");
}

TEST(TextFormat, JsonNumbersReadBackExactly) {
    EXPECT_EQ(json_number(20.0), "20");
    EXPECT_EQ(json_number(0.96), "0.96");
    EXPECT_EQ(json_number(46080.0 / 48000.0), "0.96");
    EXPECT_EQ(json_number(0.1), "0.1");
    EXPECT_EQ(json_number(1.0 / 3.0), "0.3333333333333333");
    EXPECT_EQ(json_number(std::nan("")), "null");
    EXPECT_EQ(json_number(std::numeric_limits<double>::infinity()), "null");
}

}  // namespace
