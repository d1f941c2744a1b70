#include "export/vorbis_comments.h"

#include "common/byte_order.h"

static void put_length(std::vector<uint8_t>* out, size_t length) {
    for (uint32_t i = 0; i < 4; i++) out->push_back((uint8_t)((uint64_t)length >> (8 * i)));
}

// Whether the comment's key, before '=', is key (keys ignore case).
static bool has_key(const uint8_t* comment, size_t size, const char* key) {
    size_t i = 0;
    for (; key[i] != '\0'; i++) {
        if (i >= size) return false;
        uint8_t c = comment[i];
        if (c >= 'a' && c <= 'z') c = (uint8_t)(c - 'a' + 'A');
        if (c != (uint8_t)key[i]) return false;
    }
    return i < size && comment[i] == '=';
}

bool with_encoder_comment(const uint8_t* list, size_t size, const std::string& software,
                          const std::vector<std::string>& extra, std::vector<uint8_t>* out, size_t* used) {
    if (size < 4) return false;
    size_t vendor = tamsel::read_u32_le(list);
    size_t at = 4 + vendor;
    if (vendor > size - 4 || size - at < 4) return false;
    uint32_t count = tamsel::read_u32_le(list + at);
    at += 4;
    std::vector<uint8_t> comments;
    uint32_t kept = 0;
    for (uint32_t i = 0; i < count; i++) {
        if (size - at < 4) return false;
        size_t length = tamsel::read_u32_le(list + at);
        if (length > size - at - 4) return false;
        const uint8_t* comment = list + at + 4;
        at += 4 + length;
        if (has_key(comment, length, "ENCODER") || has_key(comment, length, "SOFTWARE")) continue;
        put_length(&comments, length);
        comments.insert(comments.end(), comment, comment + length);
        kept++;
    }
    std::string encoder = "ENCODER=" + software;
    out->assign(list, list + 4 + vendor);
    put_length(out, kept + 1 + extra.size());
    out->insert(out->end(), comments.begin(), comments.end());
    put_length(out, encoder.size());
    out->insert(out->end(), encoder.begin(), encoder.end());
    for (const std::string& comment : extra) {
        put_length(out, comment.size());
        out->insert(out->end(), comment.begin(), comment.end());
    }
    *used = at;
    return true;
}
