// Format names, extensions, limits and what the build can write.
#include <gtest/gtest.h>

#include "export/format_table.h"
#include "tamsel/tamsel.h"

TEST(OutputFormat, NamesParseBackToTheirFormats) {
    ASSERT_EQ(format_table().size(), 8u);
    for (const FormatEntry& entry : format_table()) {
        OutputFormat parsed = OutputFormat::MP3;
        EXPECT_TRUE(parse_output_format(entry.name, &parsed)) << entry.name;
        EXPECT_EQ(parsed, entry.format);
        EXPECT_EQ(&format_entry(entry.format), &entry);
    }
}

TEST(OutputFormat, UnknownNamesAreRefused) {
    OutputFormat format = OutputFormat::OGG;
    for (const char* name : {"", "WAV", "wav32", "aiff", "flac16", " ogg", "mp3 "}) {
        EXPECT_FALSE(parse_output_format(name, &format)) << name;
    }
    EXPECT_EQ(format, OutputFormat::OGG);
}

TEST(OutputFormat, ExtensionsSampleKindsAndLongestFiles) {
    struct Row {
        OutputFormat format;
        const char* extension;
        bool integer;
        uint64_t max_frames;
    };
    const Row rows[] = {
        {OutputFormat::WAV_FLOAT, ".wav", false, TAMSEL_WAV_MAX_FRAMES},
        {OutputFormat::WAV16, ".wav", true, 1073741814u},
        {OutputFormat::WAV24, ".wav", true, 715827876u},
        {OutputFormat::FLAC16, ".flac", true, UINT32_MAX},
        {OutputFormat::FLAC24, ".flac", true, UINT32_MAX},
        {OutputFormat::OGG, ".ogg", false, UINT32_MAX},
        {OutputFormat::OPUS, ".opus", false, UINT32_MAX},
        {OutputFormat::MP3, ".mp3", false, UINT32_MAX},
    };
    for (const Row& row : rows) {
        const FormatEntry& entry = format_entry(row.format);
        EXPECT_STREQ(output_format_extension(row.format), row.extension) << entry.name;
        EXPECT_EQ(entry.integer(), row.integer) << entry.name;
        EXPECT_EQ(entry.max_frames, row.max_frames) << entry.name;
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
    for (const char* path : {"song", "song.tsm", "song.", "dir.flac/song", "-", "song.aiff", ".flac"}) {
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
    for (const FormatEntry& entry : format_table()) {
        why.clear();
        if (output_format_available(entry.format, &why)) continue;
        EXPECT_NE(why.find(entry.name), std::string::npos) << why;
        EXPECT_EQ(why.find('\n'), std::string::npos) << why;
    }
#ifdef TAMSEL_HAVE_SNDFILE
    // This machine's libsndfile writes them all.
    for (const FormatEntry& entry : format_table()) EXPECT_TRUE(output_format_available(entry.format, &why)) << why;
#endif
}
