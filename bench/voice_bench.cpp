// Cost of mixing voices into one output frame: a single playing voice, the
// 96 voices a full song can keep busy, and a silent voice (most of the 512
// slots at every frame); and one voice mixed a block at a time.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "mixer/voice.h"
#include "mixer/voice_block.h"

using namespace tamsel::core;

namespace {

constexpr uint32_t RATE = 48000;
constexpr uint64_t SIZE = 2016;  // the length of BASS1

// Varied, full-range samples; seed offsets the pattern so that voices in
// one frame do not run in lockstep.
struct BenchVoice {
    uint8_t samples[SIZE];
    SampleSource source;
    Voice voice;
};

std::unique_ptr<BenchVoice> make_voice(uint32_t seed, bool play = true) {
    auto v = std::make_unique<BenchVoice>();
    uint32_t x = 2463534242u ^ seed;
    for (uint64_t i = 0; i < SIZE; i++) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        v->samples[i] = (uint8_t)x;
    }
    v->source = SampleSource{SIZE, v->samples, 0, nullptr, nullptr, 0};
    voice_init(&v->voice, RATE, &v->source);
    if (!play) return v;
    voice_set_volume(&v->voice, -600);
    voice_set_pan(&v->voice, (int16_t)((int32_t)(seed % 21) * 100 - 1000));
    voice_play(&v->voice);
    for (uint32_t n = 0; n < seed % 7; n++) {
        int32_t frame[2] = {0, 0};
        voice_generate_sample(&v->voice, frame);
    }
    return v;
}

// A voice that has played its samples is started again, so the benchmarks
// measure playing voices however long they run.
void keep_playing(BenchVoice* v) {
    if (!v->voice.playing) voice_play(&v->voice);
}

void BM_OnePlayingVoice(benchmark::State& state) {
    auto v = make_voice(1);
    int32_t frame[2] = {0, 0};
    for (auto _ : state) {
        voice_generate_sample(&v->voice, frame);
        keep_playing(v.get());
        benchmark::DoNotOptimize(frame);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OnePlayingVoice);

void BM_NinetySixPlayingVoicesPerFrame(benchmark::State& state) {
    std::vector<std::unique_ptr<BenchVoice>> voices;
    for (uint32_t i = 0; i < 96; i++) voices.push_back(make_voice(i + 1));
    for (auto _ : state) {
        int32_t frame[2] = {0, 0};
        for (auto& v : voices) {
            voice_generate_sample(&v->voice, frame);
            keep_playing(v.get());
        }
        benchmark::DoNotOptimize(frame);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_NinetySixPlayingVoicesPerFrame);

void BM_OneSilentVoice(benchmark::State& state) {
    auto v = make_voice(1, false);
    int32_t frame[2] = {0, 0};
    for (auto _ : state) {
        voice_generate_sample(&v->voice, frame);
        benchmark::DoNotOptimize(frame);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OneSilentVoice);

// One playing voice mixed a block at a time, as the renderer does.
void BM_OnePlayingVoiceBlockOf1024(benchmark::State& state) {
    auto v = make_voice(1);
    auto scratch = std::make_unique<MixScratch>();
    static int32_t acc[2 * 1024];
    for (auto _ : state) {
        voice_mix_block(&v->voice, acc, 1024, scratch.get(), best_steady_mix_path());
        keep_playing(v.get());
        benchmark::DoNotOptimize(acc);
    }
    state.SetItemsProcessed(state.iterations() * 1024);
}
BENCHMARK(BM_OnePlayingVoiceBlockOf1024);

}  // namespace
