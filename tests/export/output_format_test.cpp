// Format names, extensions and what the build can write.
#include <gtest/gtest.h>

#include "export/audio_render.h"

static const OutputFormat ALL_FORMATS[] = {OutputFormat::WAV_FLOAT, OutputFormat::WAV16, OutputFormat::WAV24,
                                           OutputFormat::FLAC16,    OutputFormat::FLAC24, OutputFormat::OGG,
                                           OutputFormat::OPUS,      OutputFormat::MP3};

TEST(OutputFormat, NamesParseBackToTheirFormats) {
    for (OutputFormat format : ALL_FORMATS) {
        OutputFormat parsed = OutputFormat::MP3;
        EXPECT_TRUE(parse_output_format(output_format_name(format), &parsed)) << output_format_name(format);
        EXPECT_EQ(parsed, format);
    }
}

TEST(OutputFormat, UnknownNamesAreRefused) {
    OutputFormat format = OutputFormat::OGG;
    for (const char* name : {"", "WAV", "wav32", "aiff", "flac16", " ogg", "mp3 "}) {
        EXPECT_FALSE(parse_output_format(name, &format)) << name;
    }
    EXPECT_EQ(format, OutputFormat::OGG);
}

TEST(OutputFormat, ExtensionsAndSampleKinds) {
    struct Row {
        OutputFormat format;
        const char* extension;
        bool integer;
    };
    const Row rows[] = {
        {OutputFormat::WAV_FLOAT, ".wav", false}, {OutputFormat::WAV16, ".wav", true},
        {OutputFormat::WAV24, ".wav", true},      {OutputFormat::FLAC16, ".flac", true},
        {OutputFormat::FLAC24, ".flac", true},    {OutputFormat::OGG, ".ogg", false},
        {OutputFormat::OPUS, ".opus", false},     {OutputFormat::MP3, ".mp3", false},
    };
    for (const Row& row : rows) {
        EXPECT_STREQ(output_format_extension(row.format), row.extension) << output_format_name(row.format);
        EXPECT_EQ(output_format_is_integer(row.format), row.integer) << output_format_name(row.format);
    }
}

TEST(OutputFormat, ComesFromThePathsExtensionInAnyCase) {
    struct Row {
        const char* path;
        OutputFormat format;
    };
    const Row rows[] = {
        {"song.wav", OutputFormat::WAV_FLOAT}, {"out/Song.FLAC", OutputFormat::FLAC16},
        {"a.b.ogg", OutputFormat::OGG},        {"x.oga", OutputFormat::OGG},
        {"x.Opus", OutputFormat::OPUS},        {"dir.v2/x.mp3", OutputFormat::MP3},
    };
    for (const Row& row : rows) {
        OutputFormat format = OutputFormat::WAV24;
        EXPECT_TRUE(output_format_from_path(row.path, &format)) << row.path;
        EXPECT_EQ(format, row.format) << row.path;
    }
    OutputFormat format;
    for (const char* path : {"song", "song.tsm", "song.", "dir.flac/song", "-", "song.aiff"}) {
        EXPECT_FALSE(output_format_from_path(path, &format)) << path;
    }
}

TEST(OutputFormat, APathContradictsAFormatOnlyByAnotherKindOfExtension) {
    EXPECT_TRUE(output_format_matches_path(OutputFormat::WAV24, "x.wav"));
    EXPECT_TRUE(output_format_matches_path(OutputFormat::FLAC24, "x.FLAC"));
    EXPECT_TRUE(output_format_matches_path(OutputFormat::OGG, "x.oga"));
    EXPECT_TRUE(output_format_matches_path(OutputFormat::MP3, "x.bin"));
    EXPECT_TRUE(output_format_matches_path(OutputFormat::MP3, "-"));
    EXPECT_FALSE(output_format_matches_path(OutputFormat::FLAC16, "x.mp3"));
    EXPECT_FALSE(output_format_matches_path(OutputFormat::WAV16, "x.flac"));
    EXPECT_FALSE(output_format_matches_path(OutputFormat::OPUS, "x.ogg"));
}

TEST(OutputFormat, WavIsAlwaysAvailableAndTheRestSayWhyNot) {
    std::string why;
    EXPECT_TRUE(output_format_available(OutputFormat::WAV_FLOAT, &why));
    EXPECT_TRUE(output_format_available(OutputFormat::WAV16, &why));
    EXPECT_TRUE(output_format_available(OutputFormat::WAV24, &why));
    for (OutputFormat format : ALL_FORMATS) {
        why.clear();
        if (output_format_available(format, &why)) continue;
        EXPECT_NE(why.find(output_format_name(format)), std::string::npos) << why;
        EXPECT_EQ(why.find('\n'), std::string::npos) << why;
    }
#ifdef TAMSEL_HAVE_SNDFILE
    // This machine's libsndfile writes them all.
    for (OutputFormat format : ALL_FORMATS) EXPECT_TRUE(output_format_available(format, &why)) << why;
#endif
}
