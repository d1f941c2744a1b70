// Ogg files are the same bytes on every run: a fixed serial on every page,
// with checksums the decoder accepts.
#include <gtest/gtest.h>

#include <cstring>

#include "decoding.h"
#include "export/ogg_pages.h"
#include "memory_writer.h"
#include "renders.h"
#include "test_songs.h"

// The serial numbers of the pages of an Ogg stream, in order.
static std::vector<uint32_t> page_serials(const std::vector<uint8_t>& bytes) {
    std::vector<uint32_t> serials;
    size_t at = 0;
    while (at + 27 <= bytes.size() && std::memcmp(bytes.data() + at, "OggS", 4) == 0) {
        const uint8_t* page = bytes.data() + at;
        serials.push_back((uint32_t)page[14] | ((uint32_t)page[15] << 8) | ((uint32_t)page[16] << 16) |
                          ((uint32_t)page[17] << 24));
        size_t segments = page[26];
        size_t body = 0;
        for (size_t s = 0; s < segments; s++) body += page[27 + s];
        uint32_t stored =
            (uint32_t)page[22] | ((uint32_t)page[23] << 8) | ((uint32_t)page[24] << 16) | ((uint32_t)page[25] << 24);
        EXPECT_EQ(stored, ogg_page_checksum(page, 27 + segments + body));
        at += 27 + segments + body;
    }
    EXPECT_EQ(at, bytes.size());
    return serials;
}

TEST(OggPages, TheSameRenderGivesTheSameBytes) {
    tamsel::Song song = loud_song();
    tamsel::RenderOptions options;
    for (OutputFormat format : {OutputFormat::OGG, OutputFormat::OPUS}) {
        if (!can_write(format)) continue;
        AudioSettings settings;
        settings.format = format;
        settings.title = "same";
        std::vector<uint8_t> first = render_to_bytes(song, options, settings, LevelPlan());
        std::vector<uint8_t> second = render_to_bytes(song, options, settings, LevelPlan());
        EXPECT_EQ(first, second) << output_format_name(format);
        std::vector<uint32_t> serials = page_serials(first);
        EXPECT_GT(serials.size(), 3u);
        for (uint32_t serial : serials) EXPECT_EQ(serial, OGG_FIXED_SERIAL);
        // libogg drops pages whose checksum is wrong: all of it decodes.
        Decoded decoded = decode_bytes(first);
        ASSERT_TRUE(decoded.ok);
        EXPECT_EQ((uint64_t)decoded.frames * 2, decoded.floats.size());
        EXPECT_GT(decoded.frames, 3 * 48000);
    }
}

TEST(OggPages, PagesInAnyPiecesComeOutWholeAndStamped) {
    // Two hand-made pages: a 27-byte header, a segment table, a body.
    std::vector<uint8_t> stream;
    for (uint8_t body_bytes : {(uint8_t)3, (uint8_t)0}) {
        uint8_t header[27] = {'O', 'g', 'g', 'S', 0, 2, 1, 0, 0, 0, 0, 0, 0, 0, 9, 9, 9, 9, 0, 0, 0, 0, 7, 7, 7, 7, 1};
        stream.insert(stream.end(), header, header + 27);
        stream.push_back(body_bytes);
        for (uint8_t b = 0; b < body_bytes; b++) stream.push_back((uint8_t)(0xA0 + b));
    }
    MemoryWriter out;
    OggPageStamp stamp(&out);
    for (uint8_t byte : stream) {
        ASSERT_TRUE(stamp.write(&byte, 1));
        EXPECT_EQ(stamp.tell(), out.bytes.size() + (stamp.tell() - out.tell()));
    }
    ASSERT_TRUE(stamp.flush());
    ASSERT_EQ(out.bytes.size(), stream.size());
    EXPECT_EQ(page_serials(out.bytes), (std::vector<uint32_t>{OGG_FIXED_SERIAL, OGG_FIXED_SERIAL}));
    EXPECT_EQ(std::memcmp(out.bytes.data() + 28, stream.data() + 28, 3), 0);  // the body is untouched

    // Bytes that are not pages pass through as they are.
    MemoryWriter other;
    OggPageStamp passing(&other);
    const char text[] = "RIFF and anything else, longer than a page header";
    ASSERT_TRUE(passing.write(text, sizeof(text)));
    ASSERT_TRUE(passing.flush());
    EXPECT_EQ(std::memcmp(other.bytes.data(), text, sizeof(text)), 0);
}
