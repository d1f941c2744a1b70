// A game's own engine names next to the library: a global Song, Renderer
// and Voice, and renderer_init, load_song, voice_stop and drum_images with
// external linkage, the names (and, for the functions, the parameter types)
// the library's engine uses inside. The program links the static library
// through the public header alone and renders a shipped song: a clash
// fails the link with "multiple definition", or binds one side's calls to
// the other's code and the checks below notice.
//   name_clash_check path/to/short.tsm
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "tamsel/tamsel.hpp"

struct Song {
    int32_t first_byte;
};

struct Renderer {
    const Song* song;
    int32_t frames;
};

struct Voice {
    bool playing;
};

const char* drum_images[] = {"game kick", "game snare"};

void renderer_init(Renderer* renderer) {
    renderer->song = nullptr;
    renderer->frames = -1;
}

int load_song(size_t (*read_at)(void* context, uint64_t offset, uint8_t* out, size_t size), void* context, Song* song) {
    uint8_t byte = 0;
    song->first_byte = read_at(context, 0, &byte, 1) == 1 ? byte : -1;
    return 0;
}

void voice_stop(Voice* voice) {
    voice->playing = false;
}

static size_t read_one_byte(void* context, uint64_t offset, uint8_t* out, size_t size) {
    if (offset != 0 || size == 0) return 0;
    *out = *(const uint8_t*)context;
    return 1;
}

// The program's own names still reach the program's own code.
static bool own_engine_works() {
    uint8_t byte = 42;
    Song song = {0};
    load_song(read_one_byte, &byte, &song);
    Renderer renderer = {&song, 0};
    renderer_init(&renderer);
    Voice voice = {true};
    voice_stop(&voice);
    return song.first_byte == 42 && renderer.song == nullptr && renderer.frames == -1 && !voice.playing &&
           drum_images[1][5] == 's';
}

static int fail(const char* what, const char* path, tamsel::Status status) {
    std::fprintf(stderr, "name_clash_check: %s %s: %s\n", what, path, tamsel::message(status));
    return 1;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: name_clash_check song.tsm\n");
        return 2;
    }
    if (!own_engine_works()) {
        std::fprintf(stderr, "name_clash_check: the program's own functions did not run\n");
        return 1;
    }
    const char* path = argv[1];
    tamsel::Song song;
    if (tamsel::Status status = song.load_file(path); status != TAMSEL_OK) return fail("cannot load", path, status);
    tamsel::Renderer renderer;
    if (tamsel::Status status = renderer.create(song); status != TAMSEL_OK) return fail("cannot render", path, status);
    uint64_t length = 0;
    if (tamsel::Status status = renderer.length(TAMSEL_WAV_MAX_FRAMES, &length); status != TAMSEL_OK) {
        return fail("cannot measure", path, status);
    }

    // Every frame the length promises, and sound among them: the song's
    // notes and drums went through the library's own engine.
    std::vector<float> block(2 * 1024);
    uint64_t frames = 0;
    uint64_t sounding = 0;
    while (size_t got = renderer.render_float(block.data(), 1024)) {
        for (size_t i = 0; i < 2 * got; i++) sounding += block[i] != 0.0f ? 1 : 0;
        frames += got;
    }
    if (frames == 0 || frames != length || sounding == 0) {
        std::fprintf(stderr, "name_clash_check: %s rendered %llu frames (%llu samples not silent), expected %llu\n",
                     path, (unsigned long long)frames, (unsigned long long)sounding, (unsigned long long)length);
        return 1;
    }
    std::printf("%s: %llu frames with the program's own Renderer, Song and engine functions beside the library\n", path,
                (unsigned long long)frames);
    return 0;
}
