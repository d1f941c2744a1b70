// Cost of mixing voices into one output frame: a single playing voice, the
// 96 voices a full song can keep busy, and a Silent voice (most of the 512
// slots at every frame).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "mixer/tamsel_sound.h"
#include "mixer/voice_block.h"

namespace {

constexpr uint32_t kRate = 48000;
constexpr uint64_t kSize = 2016;  // the length of BASS1

// A looping voice of kSize samples of varied, full-range data; seed offsets
// the pattern so that voices in one frame do not run in lockstep.
tamsel_sound* make_looping_voice(uint32_t seed) {
    tamsel_sound* v = tamsel_sound_create(kRate, kSize);
    uint32_t x = 2463534242u ^ seed;
    for (uint64_t i = 0; i < kSize; i++) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        v->data[i] = (int8_t)(uint8_t)x;
    }
    tamsel_sound_set_volume(v, -600);
    tamsel_sound_set_pan(v, (int16_t)((int32_t)(seed % 21) * 100 - 1000));
    tamsel_sound_play(v, 1);
    for (uint32_t n = 0; n < seed % 7; n++) {
        int32_t frame[2] = {0, 0};
        tamsel_sound_generate_sample(v, frame);
    }
    return v;
}

void BM_OnePlayingVoice(benchmark::State& state) {
    tamsel_sound* v = make_looping_voice(1);
    int32_t frame[2] = {0, 0};
    for (auto _ : state) {
        tamsel_sound_generate_sample(v, frame);
        benchmark::DoNotOptimize(frame);
    }
    state.SetItemsProcessed(state.iterations());
    tamsel_sound_destroy(v);
}
BENCHMARK(BM_OnePlayingVoice);

void BM_NinetySixPlayingVoicesPerFrame(benchmark::State& state) {
    std::vector<tamsel_sound*> voices;
    for (uint32_t i = 0; i < 96; i++) voices.push_back(make_looping_voice(i + 1));
    for (auto _ : state) {
        int32_t frame[2] = {0, 0};
        for (tamsel_sound* v : voices) tamsel_sound_generate_sample(v, frame);
        benchmark::DoNotOptimize(frame);
    }
    state.SetItemsProcessed(state.iterations());
    for (tamsel_sound* v : voices) tamsel_sound_destroy(v);
}
BENCHMARK(BM_NinetySixPlayingVoicesPerFrame);

void BM_OneSilentVoice(benchmark::State& state) {
    tamsel_sound* v = tamsel_sound_create(kRate, kSize);
    int32_t frame[2] = {0, 0};
    for (auto _ : state) {
        tamsel_sound_generate_sample(v, frame);
        benchmark::DoNotOptimize(frame);
    }
    state.SetItemsProcessed(state.iterations());
    tamsel_sound_destroy(v);
}
BENCHMARK(BM_OneSilentVoice);

}  // namespace

namespace {

// One looping voice mixed a block at a time, as the renderer does.
void BM_OnePlayingVoiceBlockOf1024(benchmark::State& state) {
    tamsel_sound* v = make_looping_voice(1);
    static int32_t acc[2 * 1024];
    for (auto _ : state) {
        tamsel_sound_mix_block(v, acc, 1024);
        benchmark::DoNotOptimize(acc);
    }
    state.SetItemsProcessed(state.iterations() * 1024);
    tamsel_sound_destroy(v);
}
BENCHMARK(BM_OnePlayingVoiceBlockOf1024);

}  // namespace
