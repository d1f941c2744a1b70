// Whole renders through the export service: the samples of every format against
// the library's own, levels, stems, fades, dither and the error paths.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <thread>

#include "decoding.h"
#include "export/sample_shaper.h"
#include "export/wav_encoder.h"
#include "memory_writer.h"
#include "renders.h"
#include "test_songs.h"

#ifdef TAMSEL_HAVE_EBUR128
#include <ebur128.h>
#endif

static AudioSettings settings_for(OutputFormat format) {
    AudioSettings settings;
    settings.format = format;
    settings.title = "test";
    return settings;
}

static LevelPlan plan_for(const tamsel::Song& song, const tamsel::RenderOptions& options,
                          const AudioSettings& settings) {
    return planned_export(song, options, settings).level;
}

static int32_t clamp16(int32_t sum) {
    return sum > 32767 ? 32767 : sum < -32768 ? -32768 : sum;
}

static int32_t clamp24(int32_t sum) {
    int64_t v = (int64_t)sum * 256;
    return (int32_t)(v > 8388607 ? 8388607 : v < -8388608 ? -8388608 : v);
}

static int32_t peak_of(const std::vector<int32_t>& samples) {
    int64_t peak = 0;
    for (int32_t s : samples) peak = std::max(peak, s < 0 ? -(int64_t)s : (int64_t)s);
    return (int32_t)std::min<int64_t>(peak, INT32_MAX);
}

static float peak_of(const std::vector<float>& samples) {
    float peak = 0.0f;
    for (float s : samples) peak = std::max(peak, std::fabs(s));
    return peak;
}

TEST(AudioRender, DefaultWavIsTheFloatRenderByteForByte) {
    tamsel::Song song = example_song("short.tsm");
    tamsel::RenderOptions options;
    options.loops = 1;
    AudioResult result;
    std::vector<uint8_t> bytes =
        render_to_bytes(song, options, settings_for(OutputFormat::WAV_FLOAT), LevelPlan(), &result);
    std::vector<float> floats = library_floats(song, options);
    ASSERT_EQ(bytes.size(), WAV_HEADER_BYTES + 4 * floats.size());
    uint8_t header[WAV_HEADER_BYTES];
    build_wav_header(SampleDepth::FLOAT32, floats.size() / 2, header);
    EXPECT_EQ(std::memcmp(bytes.data(), header, WAV_HEADER_BYTES), 0);
    EXPECT_EQ(std::memcmp(bytes.data() + WAV_HEADER_BYTES, floats.data(), 4 * floats.size()), 0);
    EXPECT_EQ(result.frames, floats.size() / 2);
    EXPECT_EQ(result.peak_dbfs, 20.0 * std::log10((double)peak_of(floats)));
    EXPECT_EQ(result.clamped, 0u);
}

TEST(AudioRender, IntegerFormatsHoldTheClampedSumsWhateverTheDither) {
    tamsel::Song song = loud_song();
    tamsel::RenderOptions options;
    std::vector<int32_t> sums = library_sums(song, options);
    ASSERT_GT(peak_of(sums), 32767) << "the song must be loud enough to clamp";
    uint64_t beyond16 = 0;
    for (int32_t s : sums) beyond16 += s != clamp16(s);
    struct Row {
        OutputFormat format;
        DitherMode dither;  // without a level change no mode dithers
        int32_t (*clamp)(int32_t);
        int32_t to_sndfile;  // libsndfile's integers are 32-bit full scale
    };
    const Row rows[] = {{OutputFormat::WAV16, DitherMode::DEFAULT, clamp16, 65536},
                        {OutputFormat::WAV16, DitherMode::TPDF, clamp16, 65536},
                        {OutputFormat::WAV16, DitherMode::NONE, clamp16, 65536},
                        {OutputFormat::WAV24, DitherMode::DEFAULT, clamp24, 256},
                        {OutputFormat::FLAC16, DitherMode::DEFAULT, clamp16, 65536},
                        {OutputFormat::FLAC24, DitherMode::DEFAULT, clamp24, 256}};
    for (const Row& row : rows) {
        if (!can_write(row.format)) continue;
        AudioSettings settings = settings_for(row.format);
        settings.dither = row.dither;
        SCOPED_TRACE("dither mode " + std::to_string((int)row.dither));
        AudioResult result;
        Decoded decoded = decode_bytes(render_to_bytes(song, options, settings, LevelPlan(), &result));
        ASSERT_TRUE(decoded.ok) << output_format_name(row.format);
        ASSERT_EQ(decoded.ints.size(), sums.size()) << output_format_name(row.format);
        uint64_t wrong = 0;
        for (size_t i = 0; i < sums.size(); i++) wrong += decoded.ints[i] != row.clamp(sums[i]) * row.to_sndfile;
        EXPECT_EQ(wrong, 0u) << output_format_name(row.format);
        if (row.format == OutputFormat::WAV16 || row.format == OutputFormat::FLAC16) {
            EXPECT_EQ(result.clamped, beyond16) << output_format_name(row.format);
        }
        EXPECT_GT(result.clamped, 0u);
    }
}

TEST(AudioRender, NormalizeLandsThePeakOnItsTargetForWhatTheFileHolds) {
    struct Row {
        std::string what;
        tamsel::Song song;
        uint32_t muted;
        double fade_seconds;
        double dbfs;
    };
    std::vector<Row> rows;
    for (double dbfs : {-1.0, -0.1, -6.02, -20.0, 0.0}) {
        rows.push_back({"short", example_song("short.tsm"), 0, 0.0, dbfs});
        rows.push_back({"loud", loud_song(), 0, 0.0, dbfs});
    }
    // A render with muted tracks is leveled for what it holds, one with a
    // fade for the samples as written.
    for (uint32_t solo = 0; solo < TAMSEL_TRACK_COUNT; solo++) {
        rows.push_back(
            {"short, track " + std::to_string(solo), example_song("short.tsm"), 0xFu & ~(1u << solo), 0.0, -3.0});
    }
    rows.push_back({"loud, fade", loud_song(), 0, 1.5, -1.0});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what + " " + std::to_string(row.dbfs));
        tamsel::RenderOptions options;
        options.muted_tracks = row.muted;
        AudioSettings settings = settings_for(OutputFormat::WAV_FLOAT);
        settings.level = LevelMode::NORMALIZE;
        settings.normalize_dbfs = row.dbfs;
        settings.fade_seconds = row.fade_seconds;
        LevelPlan plan = plan_for(row.song, options, settings);
        EXPECT_TRUE(plan.changes_level);
        AudioResult result;
        std::vector<float> floats = wav_float_samples(render_to_bytes(row.song, options, settings, plan, &result));
        float target = (float)std::pow(10.0, row.dbfs / 20.0);
        EXPECT_EQ(peak_of(floats), target);
        EXPECT_EQ(result.peak_dbfs, 20.0 * std::log10((double)target));

        // Integers: within one step of the target, dither and all.
        for (OutputFormat format : {OutputFormat::WAV16, OutputFormat::WAV24}) {
            settings.format = format;
            double unit = format == OutputFormat::WAV16 ? 32768.0 : 8388608.0;
            std::vector<int32_t> ints = wav_int_samples(render_to_bytes(row.song, options, settings, plan),
                                                        format == OutputFormat::WAV16 ? 2 : 3);
            double wanted = std::min(std::floor(std::pow(10.0, row.dbfs / 20.0) * unit + 0.5), unit - 1.0);
            EXPECT_LE(std::fabs(peak_of(ints) - wanted), 1.0) << output_format_name(format);
        }
    }
}

TEST(AudioRender, SilenceStaysSilentWhateverTheLevel) {
    tamsel::Song song = silent_song();
    tamsel::RenderOptions options;
    for (LevelMode level : {LevelMode::NORMALIZE, LevelMode::LOUDNESS, LevelMode::GAIN}) {
        for (OutputFormat format : {OutputFormat::WAV_FLOAT, OutputFormat::WAV16, OutputFormat::FLAC24}) {
            if (!can_write(format)) continue;
            AudioSettings settings = settings_for(format);
            settings.level = level;
            settings.gain_db = 12.0;
            settings.fade_seconds = 0.5;
#ifndef TAMSEL_HAVE_EBUR128
            if (level == LevelMode::LOUDNESS) continue;
#endif
            LevelPlan plan = plan_for(song, options, settings);
            if (level != LevelMode::GAIN) {
                EXPECT_EQ(plan.factor, 1.0);
                EXPECT_FALSE(plan.changes_level);
                EXPECT_FALSE(plan.note.empty());
            }
            AudioResult result;
            Decoded decoded = decode_bytes(render_to_bytes(song, options, settings, plan, &result));
            ASSERT_TRUE(decoded.ok);
            EXPECT_GT(decoded.frames, 24000);
            for (int32_t v : decoded.ints) ASSERT_EQ(v, 0) << output_format_name(format);
            EXPECT_EQ(result.peak_dbfs, -HUGE_VAL);
        }
    }
}

// The four one-track renders, each with the full mix's plan.
static std::vector<std::vector<float>> stems_of(const tamsel::Song& song, const tamsel::RenderOptions& options,
                                                const AudioSettings& settings, const LevelPlan& plan) {
    std::vector<std::vector<float>> stems;
    for (uint32_t t = 0; t < TAMSEL_TRACK_COUNT; t++) {
        tamsel::RenderOptions stem = options;
        stem.muted_tracks = 0xFu & ~(1u << t);
        stems.push_back(wav_float_samples(render_to_bytes(song, stem, settings, plan)));
    }
    return stems;
}

TEST(AudioRender, StemsAddUpToTheMix) {
    struct Row {
        const char* what;
        uint32_t loops;
        LevelMode level;
        double fade_seconds;
    };
    // Unleveled, every value is an integer over 32768, held exactly by a
    // float, and so is their sum. A factor or a fade gain makes each float
    // its exact value rounded (the double product rounds too, far below a
    // float's step): half a unit in the last place of each stem and of the
    // mix bounds the difference.
    const Row rows[] = {{"exactly", 1, LevelMode::NONE, 0.0}, {"within rounding", 0, LevelMode::NORMALIZE, 2.0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        tamsel::Song song = example_song("short.tsm");
        tamsel::RenderOptions options;
        options.loops = row.loops;
        AudioSettings settings = settings_for(OutputFormat::WAV_FLOAT);
        settings.level = row.level;
        settings.normalize_dbfs = -3.0;
        settings.fade_seconds = row.fade_seconds;
        LevelPlan plan = row.level == LevelMode::NONE ? LevelPlan() : plan_for(song, options, settings);
        std::vector<float> mix = wav_float_samples(render_to_bytes(song, options, settings, plan));
        std::vector<std::vector<float>> stems = stems_of(song, options, settings, plan);
        bool exact = row.level == LevelMode::NONE && row.fade_seconds == 0.0;
        uint64_t beyond_bound = 0;
        for (size_t i = 0; i < mix.size(); i++) {
            double sum = 0.0, bound = 0.0;
            for (const std::vector<float>& stem : stems) {
                sum += stem[i];
                bound += 0.5 * std::fabs(std::nextafter(stem[i], HUGE_VALF) - stem[i]);
            }
            bound += 0.5 * std::fabs(std::nextafter(mix[i], HUGE_VALF) - mix[i]);
            beyond_bound += std::fabs(sum - mix[i]) > (exact ? 0.0 : bound);
        }
        EXPECT_EQ(beyond_bound, 0u);
    }
}

TEST(AudioRender, FadePlaysOnAndFallsToZeroWithTheFramesBeforeUnchanged) {
    tamsel::Song song = example_song("short.tsm");
    tamsel::RenderOptions options;
    std::vector<int32_t> plain = library_sums(song, options);
    uint64_t song_frames = plain.size() / 2;
    tamsel::RenderOptions further = options;
    further.loops = 1;
    std::vector<int32_t> longer = library_sums(song, further);  // what a further loop plays

    AudioSettings settings = settings_for(OutputFormat::WAV_FLOAT);
    settings.fade_seconds = 2.5;
    uint64_t frames = planned_export(song, options, settings).target_frames();
    EXPECT_EQ(frames, song_frames + 120000);
    AudioResult result;
    std::vector<float> faded = wav_float_samples(render_to_bytes(song, options, settings, LevelPlan(), &result));
    ASSERT_EQ(faded.size(), 2 * frames);
    EXPECT_EQ(result.frames, frames);
    for (uint64_t i = 0; i < 2 * frames; i++) {
        uint64_t frame = i / 2;
        double gain = frame < song_frames ? 1.0 : (double)(song_frames + 120000 - 1 - frame) / 120000.0;
        float expected = shaped_float(longer[i], 1.0 / 32768.0, frame >= song_frames, gain);
        ASSERT_EQ(faded[i], expected) << "frame " << frame;
        if (frame < song_frames) {
            ASSERT_EQ(faded[i], (float)(plain[i] / 32768.0)) << "frame " << frame;
        }
    }
    EXPECT_EQ(faded[2 * frames - 2], 0.0f);
    EXPECT_EQ(faded[2 * frames - 1], 0.0f);

    // Integers: the frames before the fade are the exact sums.
    settings.format = OutputFormat::WAV16;
    std::vector<int32_t> ints = wav_int_samples(render_to_bytes(song, options, settings, LevelPlan()), 2);
    for (uint64_t i = 0; i < 2 * song_frames; i++) ASSERT_EQ(ints[i], clamp16(plain[i])) << i;
    EXPECT_EQ(ints[2 * frames - 1], 0);
}

TEST(AudioRender, DitherWhereTheLevelChangesIsAlwaysTheSame) {
    tamsel::Song song = example_song("short.tsm");
    tamsel::RenderOptions options;
    AudioSettings settings = settings_for(OutputFormat::WAV16);
    std::vector<int32_t> sums = library_sums(song, options);
    // The same bytes every time, on any thread; plain rounding differs
    // from them.
    settings.level = LevelMode::GAIN;
    settings.gain_db = -7.0;
    LevelPlan plan = plan_for(song, options, settings);
    settings.dither = DitherMode::DEFAULT;
    std::vector<uint8_t> first = render_to_bytes(song, options, settings, plan);
    std::vector<uint8_t> threads[2];
    std::thread a([&] { threads[0] = render_to_bytes(song, options, settings, plan); });
    std::thread b([&] { threads[1] = render_to_bytes(song, options, settings, plan); });
    a.join();
    b.join();
    EXPECT_EQ(first, threads[0]);
    EXPECT_EQ(first, threads[1]);
    settings.dither = DitherMode::TPDF;
    EXPECT_EQ(render_to_bytes(song, options, settings, plan), first);
    settings.dither = DitherMode::NONE;
    std::vector<int32_t> rounded = wav_int_samples(render_to_bytes(song, options, settings, plan), 2);
    EXPECT_NE(wav_int_samples(first, 2), rounded);
    ASSERT_EQ(rounded.size(), sums.size());
    for (size_t i = 0; i < sums.size(); i++) {
        ASSERT_EQ(rounded[i], clamp16((int32_t)std::floor(sums[i] * plan.factor + 0.5))) << i;
    }
}

#ifdef TAMSEL_HAVE_EBUR128
static double loudness_of(const std::vector<float>& samples) {
    ebur128_state* meter = ebur128_init(2, 48000, EBUR128_MODE_I);
    ebur128_add_frames_float(meter, samples.data(), samples.size() / 2);
    double lufs = 0.0;
    ebur128_loudness_global(meter, &lufs);
    ebur128_destroy(&meter);
    return lufs;
}

TEST(AudioRender, LoudnessReachesItsTargetOrStopsAtMinusOneDbfsPeak) {
    tamsel::Song song = example_song("short.tsm");
    tamsel::RenderOptions options;
    AudioSettings settings = settings_for(OutputFormat::WAV_FLOAT);
    settings.level = LevelMode::LOUDNESS;
    settings.loudness_lufs = -30.0;
    LevelPlan quiet = plan_for(song, options, settings);
    std::vector<float> floats = wav_float_samples(render_to_bytes(song, options, settings, quiet));
    EXPECT_NEAR(loudness_of(floats), -30.0, 0.05);
    EXPECT_EQ(quiet.note.find("lowered"), std::string::npos) << quiet.note;

    settings.loudness_lufs = -3.0;  // far too loud for a -1 dBFS peak
    LevelPlan loud = plan_for(song, options, settings);
    floats = wav_float_samples(render_to_bytes(song, options, settings, loud));
    EXPECT_EQ(peak_of(floats), (float)std::pow(10.0, -1.0 / 20.0));
    EXPECT_LT(loudness_of(floats), -3.5);
    EXPECT_NE(loud.note.find("lowered"), std::string::npos) << loud.note;
}
#endif

TEST(AudioRender, GainScalesEverySample) {
    tamsel::Song song = example_song("short.tsm");
    tamsel::RenderOptions options;
    AudioSettings settings = settings_for(OutputFormat::WAV_FLOAT);
    settings.level = LevelMode::GAIN;
    settings.gain_db = -6.0;
    LevelPlan plan = plan_for(song, options, settings);
    EXPECT_EQ(plan.factor, std::pow(10.0, -6.0 / 20.0));
    std::vector<float> floats = wav_float_samples(render_to_bytes(song, options, settings, plan));
    std::vector<int32_t> sums = library_sums(song, options);
    for (size_t i = 0; i < sums.size(); i++) ASSERT_EQ(floats[i], (float)(sums[i] * (plan.factor / 32768.0))) << i;
    settings.gain_db = 0.0;
    EXPECT_FALSE(plan_for(song, options, settings).changes_level);
}

TEST(AudioRender, ProgressCountsUpToTheTotalAndCanCancel) {
    tamsel::Song song = example_song("short.tsm");
    tamsel::RenderOptions options;
    AudioSettings settings = settings_for(OutputFormat::WAV16);
    uint64_t calls = 0, last = 0, total_seen = 0;
    bool rising = true;
    ExportProgress progress = [&](uint64_t done, uint64_t total) {
        calls++;
        rising = rising && done > last;
        last = done;
        total_seen = total;
        return true;
    };
    MemoryWriter out;
    AudioResult result;
    ExportError error;
    ExportPlan plan = planned_export(song, options, settings);
    ASSERT_TRUE(write_export_target(plan, 0, &out, progress, &result, &error));
    EXPECT_TRUE(rising);
    EXPECT_EQ(last, result.frames);
    EXPECT_EQ(total_seen, result.frames);
    EXPECT_GE(calls, result.frames / 65536);

    ExportProgress cancel = [](uint64_t done, uint64_t) { return done < 100000; };
    MemoryWriter cancelled;
    EXPECT_FALSE(write_export_target(plan, 0, &cancelled, cancel, &result, &error));
    EXPECT_EQ(error.fault, ExportFault::CANCELLED);
}

// The whole song in the format's default settings, without progress.
static bool render_into(const tamsel::Song& song, OutputFormat format, ByteWriter* out, AudioResult* result,
                        std::string* error) {
    ExportRequest request;
    request.settings = settings_for(format);
    ExportPlan plan;
    ExportError failure;
    bool ok =
        plan_export(song, request, &plan, &failure) && write_export_target(plan, 0, out, nullptr, result, &failure);
    if (!ok) *error = export_error_text(failure, test_limit_name);
    return ok;
}

// Every format into a pipe decodes to the song's frames; MP3 frames hold
// 1152 samples and the decoder may keep some padding.
TEST(AudioRender, EveryFormatStreamsToAPipe) {
    tamsel::Song song = loud_song();
    uint64_t frames = library_sums(song, tamsel::RenderOptions()).size() / 2;
    for (OutputFormat format : {OutputFormat::WAV_FLOAT, OutputFormat::WAV16, OutputFormat::WAV24, OutputFormat::FLAC16,
                                OutputFormat::FLAC24, OutputFormat::OGG, OutputFormat::OPUS, OutputFormat::MP3}) {
        if (!can_write(format)) continue;
        MemoryWriter pipe(false);
        AudioResult result;
        std::string error;
        ASSERT_TRUE(render_into(song, format, &pipe, &result, &error)) << output_format_name(format) << ": " << error;
        Decoded decoded = decode_bytes(pipe.bytes);
        ASSERT_TRUE(decoded.ok) << output_format_name(format);
        EXPECT_EQ(result.frames, frames) << output_format_name(format);
        uint64_t slack = format == OutputFormat::MP3 ? 2 * 1152 + 529 : 0;
        EXPECT_GE(decoded.floats.size() / 2, frames) << output_format_name(format);
        EXPECT_LE(decoded.floats.size() / 2, frames + slack) << output_format_name(format);
    }
}

TEST(AudioRender, AFailedWriteStopsTheRenderWithOneLine) {
    tamsel::Song song = loud_song();
    for (OutputFormat format : {OutputFormat::WAV_FLOAT, OutputFormat::WAV24, OutputFormat::FLAC16, OutputFormat::OGG,
                                OutputFormat::OPUS, OutputFormat::MP3}) {
        if (!can_write(format)) continue;
        for (uint64_t room : {(uint64_t)0, (uint64_t)20, (uint64_t)30000}) {
            MemoryWriter full(true, room);
            AudioResult result;
            std::string error;
            EXPECT_FALSE(render_into(song, format, &full, &result, &error))
                << output_format_name(format) << " " << room;
            EXPECT_EQ(error, "could not write the output") << output_format_name(format) << " " << room;
        }
    }
}

TEST(AudioRender, AFormatThisBuildCannotWriteIsOneLine) {
    tamsel::Song song = loud_song();
    for (OutputFormat format :
         {OutputFormat::FLAC16, OutputFormat::FLAC24, OutputFormat::OGG, OutputFormat::OPUS, OutputFormat::MP3}) {
        std::string why;
        if (output_format_available(format, &why)) continue;
        MemoryWriter out;
        AudioResult result;
        std::string error;
        EXPECT_FALSE(render_into(song, format, &out, &result, &error));
        EXPECT_EQ(error, why);
        EXPECT_TRUE(out.bytes.empty());
    }
}
