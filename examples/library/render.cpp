// Loads a song, prints its length and loop points and renders it, through
// the C++ API (C++14, the standard tamsel.hpp needs).
//
//   render_cpp song.tsm [loops]
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <tamsel/tamsel.hpp>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s song.tsm [loops]\n", argv[0]);
        return 2;
    }
    tamsel::Song song;
    tamsel::Status status = song.load_file(argv[1]);
    if (status != TAMSEL_OK) {
        std::fprintf(stderr, "%s: %s\n", argv[1], tamsel::message(status));
        return 1;
    }
    tamsel::RenderOptions options;
    if (argc > 2) options.loops = std::atoi(argv[2]);
    tamsel::Renderer renderer;
    status = renderer.create(song, options);
    if (status != TAMSEL_OK) {
        std::fprintf(stderr, "%s: %s\n", argv[1], tamsel::message(status));
        return 1;
    }

    uint64_t frames = 0;
    std::vector<uint64_t> wraps;
    if (renderer.length(TAMSEL_WAV_MAX_FRAMES, &frames) != TAMSEL_OK ||
        renderer.wraps(TAMSEL_WAV_MAX_FRAMES, &wraps) != TAMSEL_OK) {
        std::fprintf(stderr, "%s: too long or never ends\n", argv[1]);
        return 1;
    }
    std::printf("%llu frames, %.3f s, library %s\n", (unsigned long long)frames, (double)frames / TAMSEL_SAMPLE_RATE,
                tamsel::version());
    for (uint64_t wrap : wraps) std::printf("loops back at frame %llu\n", (unsigned long long)wrap);

    std::vector<int32_t> block(2 * 4096);
    uint64_t rendered = 0;
    while (size_t got = renderer.render_int32(block.data(), 4096)) rendered += got;
    std::printf("rendered %llu frames\n", (unsigned long long)rendered);
    return rendered == frames ? 0 : 1;
}
