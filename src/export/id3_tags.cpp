#include "export/id3_tags.h"

static const uint8_t UTF8_ENCODING = 3;
static const size_t ID3V1_SIZE = 128;
static const size_t ID3V1_TEXT_SIZE = 30;
static const uint8_t NO_GENRE = 255;

// ID3v2 sizes: 28 bits, 7 to a byte, the high bit of each clear.
static void put_synchsafe(std::vector<uint8_t>* bytes, uint32_t value) {
    for (uint32_t i = 0; i < 4; i++) bytes->push_back((uint8_t)((value >> (21 - 7 * i)) & 0x7Fu));
}

static void add_text_frame(std::vector<uint8_t>* tag, const char* id, const std::string& text) {
    if (text.empty()) return;
    tag->insert(tag->end(), id, id + 4);
    put_synchsafe(tag, (uint32_t)(text.size() + 1));
    tag->push_back(0);  // no frame flags
    tag->push_back(0);
    tag->push_back(UTF8_ENCODING);
    tag->insert(tag->end(), text.begin(), text.end());
}

// TXXX: the description, a terminating 0, then the value.
static void add_user_text_frame(std::vector<uint8_t>* tag, const std::string& key_value) {
    size_t equals = key_value.find('=');
    if (equals == std::string::npos) return;
    tag->insert(tag->end(), {'T', 'X', 'X', 'X'});
    put_synchsafe(tag, (uint32_t)(key_value.size() + 1));
    tag->push_back(0);  // no frame flags
    tag->push_back(0);
    tag->push_back(UTF8_ENCODING);
    tag->insert(tag->end(), key_value.begin(), key_value.begin() + (ptrdiff_t)equals);
    tag->push_back(0);
    tag->insert(tag->end(), key_value.begin() + (ptrdiff_t)equals + 1, key_value.end());
}

std::vector<uint8_t> id3v2_tag(const Id3Texts& texts) {
    std::vector<uint8_t> tag = {'I', 'D', '3', 4, 0, 0};
    std::vector<uint8_t> frames;
    add_text_frame(&frames, "TIT2", texts.title);
    add_text_frame(&frames, "TPE1", texts.artist);
    add_text_frame(&frames, "TSSE", texts.software);
    for (const std::string& text : texts.user_texts) add_user_text_frame(&frames, text);
    put_synchsafe(&tag, (uint32_t)frames.size());
    tag.insert(tag.end(), frames.begin(), frames.end());
    return tag;
}

// UTF-8 to Latin-1: false for any character above U+00FF or a byte that is
// not UTF-8. Only the one- and two-byte forms can be Latin-1.
static bool latin1_of(const std::string& utf8, std::string* latin1) {
    latin1->clear();
    for (size_t i = 0; i < utf8.size(); i++) {
        uint8_t c = (uint8_t)utf8[i];
        if (c < 0x80u) {
            latin1->push_back((char)c);
            continue;
        }
        if ((c != 0xC2u && c != 0xC3u) || i + 1 >= utf8.size()) return false;
        uint8_t next = (uint8_t)utf8[++i];
        if ((next & 0xC0u) != 0x80u) return false;
        latin1->push_back((char)(uint8_t)(((c & 0x03u) << 6) | (next & 0x3Fu)));
    }
    return true;
}

static void put_field(std::vector<uint8_t>* tag, size_t at, const std::string& text) {
    for (size_t i = 0; i < text.size() && i < ID3V1_TEXT_SIZE; i++) (*tag)[at + i] = (uint8_t)text[i];
}

std::vector<uint8_t> id3v1_tag(const Id3Texts& texts) {
    std::string title, artist;
    if (!latin1_of(texts.title, &title) || !latin1_of(texts.artist, &artist)) return {};
    std::vector<uint8_t> tag(ID3V1_SIZE, 0);
    tag[0] = 'T';
    tag[1] = 'A';
    tag[2] = 'G';
    put_field(&tag, 3, title);
    put_field(&tag, 3 + ID3V1_TEXT_SIZE, artist);
    tag[ID3V1_SIZE - 1] = NO_GENRE;
    return tag;
}
