// The option form's parser: which command lines are the option form at
// all, how values attach, and every usage error with its wording.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tool/cli_options.h"
#include "tool/option_form.h"

namespace {

struct Parsed {
    ParseResult result;
    CliOptions options;
    std::string error;
};

Parsed parse(std::vector<std::string> args) {
    args.insert(args.begin(), "tamselexport");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    Parsed parsed;
    parsed.result = parse_cli_options((int)argv.size(), argv.data(), &parsed.options, &parsed.error);
    return parsed;
}

bool option_form(std::vector<std::string> args) {
    args.insert(args.begin(), "tamselexport");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    return uses_option_form((int)argv.size(), argv.data());
}

TEST(OptionForm, ChosenByAnyOptionAndNothingElse) {
    EXPECT_FALSE(option_form({"song.tsm"}));
    EXPECT_FALSE(option_form({"song.tsm", "-1", "-5"}));
    EXPECT_FALSE(option_form({"song.tsm", "-inf"}));
    EXPECT_FALSE(option_form({"song.tsm", "2", "-nan"}));
    EXPECT_FALSE(option_form({"-", "3"}));
    EXPECT_FALSE(option_form({"song.tsm", "-qx"}));  // flags take nothing attached
    EXPECT_FALSE(option_form({}));
    EXPECT_TRUE(option_form({"song.tsm", "--"}));
    EXPECT_TRUE(option_form({"--whatever", "song.tsm"}));
    EXPECT_TRUE(option_form({"-o", "x.wav", "song.tsm"}));
    EXPECT_TRUE(option_form({"song.tsm", "-j4"}));
    EXPECT_TRUE(option_form({"song.tsm", "-tinf"}));
    for (const char* flag : {"-o", "-d", "-l", "-t", "-j", "-f", "-q", "-h", "-V"}) EXPECT_TRUE(option_form({flag}));
}

TEST(OptionParsing, DefaultsWithOneFile) {
    Parsed p = parse({"song.tsm"});
    ASSERT_EQ(p.result, ParseResult::RUN);
    EXPECT_EQ(p.options.inputs, std::vector<std::string>{"song.tsm"});
    EXPECT_EQ(p.options.loops, 0);
    EXPECT_EQ(p.options.tick_ms, 20.0);
    EXPECT_EQ(p.options.jobs, 0u);
    EXPECT_EQ(p.options.audio.format, OutputFormat::WAV_FLOAT);
    EXPECT_EQ(p.options.audio.level, LevelMode::NONE);
    EXPECT_EQ(p.options.muted_tracks, 0u);
    EXPECT_FALSE(p.options.force || p.options.info || p.options.quiet || p.options.stems);
}

TEST(OptionParsing, ValuesAttachedSeparateOrAfterAnEqualsSign) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-l", "3", "-t", "12.5", "-j", "4", "a.tsm"},
          std::vector<std::string>{"-l3", "-t12.5", "-j4", "a.tsm"},
          std::vector<std::string>{"--loops=3", "--tick=12.5", "--jobs=4", "a.tsm"},
          std::vector<std::string>{"--loops", "3", "--tick", "12.5", "--jobs", "4", "a.tsm"}}) {
        Parsed p = parse(args);
        ASSERT_EQ(p.result, ParseResult::RUN) << p.error;
        EXPECT_EQ(p.options.loops, 3);
        EXPECT_EQ(p.options.tick_ms, 12.5);
        EXPECT_EQ(p.options.jobs, 4u);
    }
}

TEST(OptionParsing, OptionsAndFilesInAnyOrderAndDoubleDashEndsOptions) {
    Parsed p = parse({"a.tsm", "-q", "b.tsm", "--force", "-l", "1", "c.tsm", "--", "-d", "--info", "-5"});
    ASSERT_EQ(p.result, ParseResult::RUN) << p.error;
    EXPECT_EQ(p.options.inputs, (std::vector<std::string>{"a.tsm", "b.tsm", "c.tsm", "-d", "--info", "-5"}));
    EXPECT_TRUE(p.options.quiet);
    EXPECT_TRUE(p.options.force);
    EXPECT_FALSE(p.options.info);
    EXPECT_TRUE(parse({"-l", "1", "-l", "7", "a.tsm"}).options.loops == 7);  // the last one counts
}

TEST(OptionParsing, AValueMayStartWithADash) {
    Parsed p = parse({"-o", "-", "--gain", "-3.5", "a.tsm"});
    ASSERT_EQ(p.result, ParseResult::RUN) << p.error;
    EXPECT_EQ(p.options.output, "-");
    EXPECT_EQ(p.options.audio.gain_db, -3.5);
    EXPECT_EQ(parse({"-o-", "a.tsm"}).options.output, "-");
}

TEST(OptionParsing, NumbersAtTheEdgesOfTheirRanges) {
    EXPECT_EQ(parse({"-l", "2147483647", "a"}).options.loops, 2147483647);
    EXPECT_EQ(parse({"-l", "+0", "a"}).options.loops, 0);
    EXPECT_EQ(parse({"-t", "0", "a"}).options.tick_ms, 0.0);
    EXPECT_EQ(parse({"-t", "1e1", "a"}).options.tick_ms, 10.0);
    EXPECT_EQ(parse({"-t", ".5", "a"}).options.tick_ms, 0.5);
    EXPECT_EQ(parse({"-j", "1024", "a"}).options.jobs, 1024u);
    EXPECT_EQ(parse({"--gain", "96", "a"}).options.audio.gain_db, 96.0);
    EXPECT_EQ(parse({"--gain", "-96", "a"}).options.audio.gain_db, -96.0);
    EXPECT_EQ(parse({"--quality", "10", "a.tsm"}).options.audio.quality, 10);
    EXPECT_EQ(parse({"--fade", "0", "a"}).options.audio.fade_seconds, 0.0);
    EXPECT_EQ(parse({"--fade", "3600", "a"}).options.audio.fade_seconds, 3600.0);
    EXPECT_EQ(parse({"-t", "3600000", "a"}).options.tick_ms, 3600000.0);
    EXPECT_EQ(parse({"a"}).options.audio.stereo_width, 100);
    EXPECT_EQ(parse({"--stereo", "0", "a"}).options.audio.stereo_width, 0);
    EXPECT_EQ(parse({"--stereo=200", "a"}).options.audio.stereo_width, 200);
}

TEST(OptionParsing, AudioOptionsFillTheAudioSettings) {
    Parsed p = parse(
        {"-f", "flac24", "--title", "T", "--artist", "A", "--normalize", "--dither", "none", "--fade", "2.5", "a.tsm"});
    ASSERT_EQ(p.result, ParseResult::RUN) << p.error;
    EXPECT_EQ(p.options.audio.format, OutputFormat::FLAC24);
    EXPECT_EQ(p.options.audio.title, "T");
    EXPECT_EQ(p.options.audio.artist, "A");
    EXPECT_EQ(p.options.audio.level, LevelMode::NORMALIZE);
    EXPECT_EQ(p.options.audio.normalize_dbfs, -1.0);
    EXPECT_EQ(p.options.audio.dither, DitherMode::NONE);
    EXPECT_EQ(p.options.audio.fade_seconds, 2.5);
    EXPECT_EQ(parse({"--normalize=-3", "a"}).options.audio.normalize_dbfs, -3.0);
    EXPECT_EQ(parse({"--loudness", "-16", "a"}).options.audio.level, LevelMode::LOUDNESS);
    EXPECT_EQ(parse({"--loudness", "-16", "a"}).options.audio.loudness_lufs, -16.0);
    EXPECT_EQ(parse({"--dither", "tpdf", "a"}).options.audio.dither, DitherMode::TPDF);
}

TEST(OptionParsing, FormatFromTheOutputExtensionUnlessGiven) {
    EXPECT_EQ(parse({"-o", "x.flac", "a"}).options.audio.format, OutputFormat::FLAC16);
    EXPECT_EQ(parse({"-o", "x.OGG", "a"}).options.audio.format, OutputFormat::OGG);
    EXPECT_EQ(parse({"-o", "x.raw", "a"}).options.audio.format, OutputFormat::WAV_FLOAT);
    EXPECT_EQ(parse({"-o", "x.wav", "-f", "wav16", "a"}).options.audio.format, OutputFormat::WAV16);
    EXPECT_EQ(parse({"-o", "x.flac", "-f", "flac24", "a"}).options.audio.format, OutputFormat::FLAC24);
    EXPECT_EQ(parse({"-o", "x.raw", "-f", "mp3", "a"}).options.audio.format, OutputFormat::MP3);
}

TEST(OptionParsing, TrackListsMuteOrKeepTracks) {
    EXPECT_EQ(parse({"--mute", "1", "a"}).options.muted_tracks, 0x1u);
    EXPECT_EQ(parse({"--mute", "2,drums", "a"}).options.muted_tracks, 0xAu);
    EXPECT_EQ(parse({"--solo", "drums", "a"}).options.muted_tracks, 0x7u);
    EXPECT_EQ(parse({"--solo", "1,3", "a"}).options.muted_tracks, 0xAu);
}

TEST(OptionParsing, JsonImpliesInfo) {
    EXPECT_TRUE(parse({"--json", "a"}).options.info);
}

TEST(OptionParsing, HelpAndVersionWinOverWhatFollows) {
    EXPECT_EQ(parse({"-h"}).result, ParseResult::HELP);
    EXPECT_EQ(parse({"--help", "--bogus"}).result, ParseResult::HELP);
    EXPECT_EQ(parse({"-V"}).result, ParseResult::VERSION);
    EXPECT_EQ(parse({"a", "--version", "-l", "x"}).result, ParseResult::VERSION);
    EXPECT_EQ(parse({"--bogus", "--help"}).result, ParseResult::USAGE_ERROR);
}

struct UsageError {
    std::vector<std::string> args;
    const char* message;
};

TEST(OptionParsing, EveryUsageErrorNamesItsOptionAndValue) {
    const UsageError errors[] = {
        {{}, "no input file"},
        {{"-q"}, "no input file"},
        {{"--bogus", "a"}, "unknown option '--bogus'"},
        {{"-x", "a"}, "unknown option '-x'"},
        {{"-qq", "a"}, "unknown option '-qq'"},
        {{"--force=yes", "a"}, "option '--force' takes no value"},
        {{"a", "-l"}, "option '-l' needs a value"},
        {{"a", "--output"}, "option '--output' needs a value"},
        {{"--loops", "3x", "a"}, "--loops: invalid value '3x' (a whole number 0..2147483647)"},
        {{"--loops", "-1", "a"}, "--loops: invalid value '-1' (a whole number 0..2147483647)"},
        {{"--loops", "", "a"}, "--loops: invalid value '' (a whole number 0..2147483647)"},
        {{"--loops", " 3", "a"}, "--loops: invalid value ' 3' (a whole number 0..2147483647)"},
        {{"--loops", "2147483648", "a"}, "--loops: invalid value '2147483648' (a whole number 0..2147483647)"},
        {{"--loops", "3.0", "a"}, "--loops: invalid value '3.0' (a whole number 0..2147483647)"},
        {{"--loops", "18446744073709551620", "a"},
         "--loops: invalid value '18446744073709551620' (a whole number 0..2147483647)"},
        {{"-j", "18446744073709551617", "a"}, "--jobs: invalid value '18446744073709551617' (a whole number 1..1024)"},
        {{"--quality", "99999999999999999999", "a"},
         "--quality: invalid value '99999999999999999999' (a whole number 0..10)"},
        {{"--tick", "abc", "a"}, "--tick: invalid value 'abc' (milliseconds from 0 to 3600000)"},
        {{"--tick", "inf", "a"}, "--tick: invalid value 'inf' (milliseconds from 0 to 3600000)"},
        {{"-tnan", "a"}, "--tick: invalid value 'nan' (milliseconds from 0 to 3600000)"},
        {{"--tick", "-1", "a"}, "--tick: invalid value '-1' (milliseconds from 0 to 3600000)"},
        {{"--tick", "0x10", "a"}, "--tick: invalid value '0x10' (milliseconds from 0 to 3600000)"},
        {{"--tick", "1e999", "a"}, "--tick: invalid value '1e999' (milliseconds from 0 to 3600000)"},
        {{"--jobs", "0", "a"}, "--jobs: invalid value '0' (a whole number 1..1024)"},
        {{"-j", "1025", "a"}, "--jobs: invalid value '1025' (a whole number 1..1024)"},
        {{"--stereo", "201", "a"}, "--stereo: invalid value '201' (a whole number 0..200)"},
        {{"--stereo", "-1", "a"}, "--stereo: invalid value '-1' (a whole number 0..200)"},
        {{"--stereo", "50.5", "a"}, "--stereo: invalid value '50.5' (a whole number 0..200)"},
        {{"-o", "x.wav", "a", "b"}, "--output names one output, but 2 input files were given"},
        {{"-o", "", "a"}, "--output: invalid value '' (a path, or - for standard output)"},
        {{"-o", "x.wav", "-d", "out", "a"}, "--output and --output-dir exclude each other"},
        {{"-f", "aiff", "a"}, "--format: invalid value 'aiff' (wav, wav16, wav24, flac, flac24, ogg, opus or mp3)"},
        {{"-o", "x.flac", "-f", "wav", "a"}, "--output 'x.flac' has an extension that contradicts --format wav"},
        {{"-f", "ogg", "-o", "x.wav", "a"}, "--output 'x.wav' has an extension that contradicts --format ogg"},
        {{"--quality", "11", "a"}, "--quality: invalid value '11' (a whole number 0..10)"},
        {{"--gain", "96.5", "a"}, "--gain: invalid value '96.5' (decibels from -96 to 96)"},
        {{"--gain", "-inf", "a"}, "--gain: invalid value '-inf' (decibels from -96 to 96)"},
        {{"--normalize=1", "a"}, "--normalize: invalid value '1' (dBFS from -96 to 0)"},
        {{"--loudness", "nan", "a"}, "--loudness: invalid value 'nan' (LUFS from -70 to 0)"},
        {{"--normalize", "--gain", "2", "a"}, "--normalize and --gain exclude each other"},
        {{"--gain", "2", "--loudness", "-14", "a"}, "--gain and --loudness exclude each other"},
        {{"--loudness", "-14", "--normalize", "a"}, "--loudness and --normalize exclude each other"},
        {{"--fade", "-1", "a"}, "--fade: invalid value '-1' (seconds from 0 to 3600)"},
        {{"--fade", "inf", "a"}, "--fade: invalid value 'inf' (seconds from 0 to 3600)"},
        {{"--fade", "3600.5", "a"}, "--fade: invalid value '3600.5' (seconds from 0 to 3600)"},
        {{"--tick", "3600001", "a"}, "--tick: invalid value '3600001' (milliseconds from 0 to 3600000)"},
        {{"--dither", "rect", "a"}, "--dither: invalid value 'rect' (tpdf or none)"},
        {{"--mute", "4", "a"}, "--mute: invalid value '4' (tracks 1, 2, 3, drums, separated by commas)"},
        {{"--solo", "1,,2", "a"}, "--solo: invalid value '1,,2' (tracks 1, 2, 3, drums, separated by commas)"},
        {{"--mute", "", "a"}, "--mute: invalid value '' (tracks 1, 2, 3, drums, separated by commas)"},
        {{"--mute", "1", "--solo", "2", "a"}, "--mute and --solo exclude each other"},
        {{"--stems", "--mute", "1", "a"}, "--stems and --mute/--solo exclude each other"},
        {{"--stems", "-o", "-", "a"}, "--stems writes four files and cannot write to standard output"},
    };
    for (const UsageError& e : errors) {
        Parsed p = parse(e.args);
        EXPECT_EQ(p.result, ParseResult::USAGE_ERROR) << e.message;
        EXPECT_EQ(p.error, e.message);
    }
}

}  // namespace
