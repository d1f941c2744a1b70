#include "tool/json_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

// Length of the valid UTF-8 sequence starting at text[i], or 0 when the
// bytes there are not one (overlong forms and surrogates included).
static size_t utf8_sequence_length(const std::string& text, size_t i) {
    uint8_t lead = (uint8_t)text[i];
    size_t length = 0;
    uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
    } else
        return 0;
    if (i + length > text.size()) return 0;
    for (size_t k = 1; k < length; k++) {
        uint8_t next = (uint8_t)text[i + k];
        if ((next & 0xC0u) != 0x80u) return 0;
        code = (code << 6) | (next & 0x3Fu);
    }
    if (length == 3 && (code < 0x800u || (code >= 0xD800u && code <= 0xDFFFu))) return 0;
    if (length == 4 && (code < 0x10000u || code > 0x10FFFFu)) return 0;
    return length;
}

void append_json_string(std::string* out, const std::string& text) {
    out->push_back('"');
    size_t i = 0;
    while (i < text.size()) {
        uint8_t c = (uint8_t)text[i];
        if (c == '"' || c == '\\') {
            out->push_back('\\');
            out->push_back((char)c);
            i++;
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", (unsigned)c);
            out->append(escaped);
            i++;
        } else if (c < 0x80) {
            out->push_back((char)c);
            i++;
        } else {
            size_t length = utf8_sequence_length(text, i);
            if (length == 0) {
                out->append("\\ufffd");
                i++;
            } else {
                out->append(text, i, length);
                i += length;
            }
        }
    }
    out->push_back('"');
}

void append_json_number(std::string* out, double value) {
    if (!std::isfinite(value)) {
        out->append("null");
        return;
    }
    char text[64];
    std::to_chars_result result = std::to_chars(text, text + sizeof text, value);
    out->append(text, result.ptr);
}

void append_json_number(std::string* out, uint64_t value) {
    out->append(std::to_string(value));
}

void append_json_number(std::string* out, int64_t value) {
    out->append(std::to_string(value));
}
