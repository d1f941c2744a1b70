// Links every codec library that scripts/build-codecs.sh built and uses each
// once, in memory: a second of a tone written as FLAC and read back to the
// same samples, then as Ogg Vorbis, Opus and MP3, and its loudness
// measured. Exit code 0 when all of that works.
#include <ebur128.h>
#include <math.h>
#include <sndfile.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define RATE 48000
#define FRAMES 48000

struct Memory {
    unsigned char* bytes;
    sf_count_t size, capacity, at;
};

static sf_count_t memory_length(void* user) {
    return ((struct Memory*)user)->size;
}

static sf_count_t memory_seek(sf_count_t offset, int whence, void* user) {
    struct Memory* m = user;
    sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->at : m->size;
    if (base + offset < 0) return -1;
    m->at = base + offset;
    return m->at;
}

static sf_count_t memory_read(void* data, sf_count_t count, void* user) {
    struct Memory* m = user;
    sf_count_t left = m->at < m->size ? m->size - m->at : 0;
    if (count > left) count = left;
    memcpy(data, m->bytes + m->at, (size_t)count);
    m->at += count;
    return count;
}

static sf_count_t memory_write(const void* data, sf_count_t count, void* user) {
    struct Memory* m = user;
    if (m->at + count > m->capacity) {
        sf_count_t capacity = (m->at + count) * 2;
        unsigned char* grown = realloc(m->bytes, (size_t)capacity);
        if (!grown) return 0;
        memset(grown + m->capacity, 0, (size_t)(capacity - m->capacity));
        m->bytes = grown;
        m->capacity = capacity;
    }
    memcpy(m->bytes + m->at, data, (size_t)count);
    m->at += count;
    if (m->at > m->size) m->size = m->at;
    return count;
}

static sf_count_t memory_tell(void* user) {
    return ((struct Memory*)user)->at;
}

static SF_VIRTUAL_IO io = {memory_length, memory_seek, memory_read, memory_write, memory_tell};

// The tone written in format; the bytes' count, or -1.
static sf_count_t write_tone(int format, const short* tone, struct Memory* m) {
    SF_INFO info = {0};
    info.samplerate = RATE;
    info.channels = 1;
    info.format = format;
    SNDFILE* file = sf_open_virtual(&io, SFM_WRITE, &info, m);
    if (!file) return -1;
    sf_count_t written = sf_writef_short(file, tone, FRAMES);
    sf_close(file);
    return written == FRAMES ? m->size : -1;
}

int main(void) {
    static short tone[FRAMES], back[FRAMES];
    static double levels[FRAMES];
    for (int i = 0; i < FRAMES; i++) {
        levels[i] = 0.25 * sin(2.0 * 3.141592653589793 * 440.0 * i / RATE);
        tone[i] = (short)lrint(levels[i] * 32767.0);
    }
    const struct {
        const char* name;
        int format;
    } formats[] = {
        {"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
        {"ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
        {"opus", SF_FORMAT_OGG | SF_FORMAT_OPUS},
        {"mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III},
    };
    for (size_t f = 0; f < sizeof(formats) / sizeof(formats[0]); f++) {
        struct Memory m = {0};
        sf_count_t size = write_tone(formats[f].format, tone, &m);
        if (size < 0) {
            fprintf(stderr, "codecs-check: %s: %s\n", formats[f].name, sf_strerror(NULL));
            return 1;
        }
        SF_INFO info = {0};
        m.at = 0;
        SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, &m);
        sf_count_t read = file ? sf_readf_short(file, back, FRAMES) : -1;
        if (file) sf_close(file);
        if (read <= 0 || (f == 0 && (read != FRAMES || memcmp(tone, back, sizeof(tone)) != 0))) {
            fprintf(stderr, "codecs-check: %s does not read back\n", formats[f].name);
            return 1;
        }
        printf("%s: %lld bytes, %lld frames read back\n", formats[f].name, (long long)size, (long long)read);
        free(m.bytes);
    }
    ebur128_state* meter = ebur128_init(1, RATE, EBUR128_MODE_I);
    double loudness = 0.0;
    if (!meter || ebur128_add_frames_double(meter, levels, FRAMES) != EBUR128_SUCCESS ||
        ebur128_loudness_global(meter, &loudness) != EBUR128_SUCCESS) {
        fprintf(stderr, "codecs-check: libebur128 measures nothing\n");
        return 1;
    }
    ebur128_destroy(&meter);
    printf("loudness: %.1f LUFS (%s)\n", loudness, sf_version_string());
    return 0;
}
