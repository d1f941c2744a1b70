// make_drums: synthesises the six built-in drum sounds and writes each as an
// 8-bit unsigned mono RIFF/WAVE image (BASS1, BASS2, SNARE1, HAT1, HAT2, SYMBAL1).
// The images in src/library/mixer/drums/ come from this program; to regenerate them, run
// from the repository root:
//   g++ -std=c++20 -O2 -Wall -Wextra -Werror -ffp-contract=off tools/make_drums.cpp -o /tmp/make_drums
//   /tmp/make_drums src/library/mixer/drums
//
// The output is bit-exact on every build: noise comes from a seeded xorshift32,
// sines and filter coefficients use only +, -, * and / (no libm), envelopes are
// per-sample multipliers, and the final rounding to 8 bits is done here. After
// synthesis each sound is checked against the character the mixer expects; a
// sound that drifts from it makes the program fail instead of writing files.

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr double kRate = 22050.0;
constexpr double kTwoPi = 6.28318530717958647692;
constexpr int32_t kMaxSamples = 16384;

// ---- numeric helpers ------------------------------------------------------

// Sine of a phase given in cycles. The phase is reduced to a quarter cycle and
// fed to the odd Taylor series up to x^13 (error below 1e-9).
double sin_cycles(double p) {
    p -= static_cast<double>(static_cast<int64_t>(p));
    if (p < 0.0) p += 1.0;
    if (p >= 0.5) p -= 1.0;
    if (p > 0.25)
        p = 0.5 - p;
    else if (p < -0.25)
        p = -0.5 - p;
    const double x = kTwoPi * p;
    const double x2 = x * x;
    double s = 1.0 / 6227020800.0;
    s = -1.0 / 39916800.0 + x2 * s;
    s = 1.0 / 362880.0 + x2 * s;
    s = -1.0 / 5040.0 + x2 * s;
    s = 1.0 / 120.0 + x2 * s;
    s = -1.0 / 6.0 + x2 * s;
    s = 1.0 + x2 * s;
    return x * s;
}

double cos_cycles(double p) {
    return sin_cycles(p + 0.25);
}

double abs_d(double x) {
    return x < 0.0 ? -x : x;
}

// Cubic soft clip: linear-ish around zero, flat at exactly +-1 beyond |x| >= 1.
double soft_clip(double x) {
    if (x >= 1.0) return 1.0;
    if (x <= -1.0) return -1.0;
    return 1.5 * x - 0.5 * x * x * x;
}

// Full scale is +-1.0; 1.0 maps to 128 steps above silence and is held at 255.
uint8_t quantise(double y) {
    double v = y * 128.0;
    if (v < -128.0) v = -128.0;
    if (v > 127.0) v = 127.0;
    return static_cast<uint8_t>(static_cast<int32_t>(v + 128.0 + 0.5));
}

// ---- noise and filters ----------------------------------------------------

struct Noise {
    uint32_t state;
};

// White noise in [-1, 1) with 24-bit resolution from a xorshift32 generator.
double noise_next(Noise* n) {
    uint32_t x = n->state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    n->state = x;
    return static_cast<double>(x >> 8) / 8388608.0 - 1.0;
}

struct Biquad {
    double b0, b1, b2, a1, a2;
    double x1, x2, y1, y2;
};

void biquad_set(Biquad* f, double b0, double b1, double b2, double a0, double a1, double a2) {
    f->b0 = b0 / a0;
    f->b1 = b1 / a0;
    f->b2 = b2 / a0;
    f->a1 = a1 / a0;
    f->a2 = a2 / a0;
    f->x1 = f->x2 = f->y1 = f->y2 = 0.0;
}

// Second-order high-pass at `hz` with quality `q` (bilinear-transform design).
void biquad_highpass(Biquad* f, double hz, double q) {
    const double w = hz / kRate;
    const double c = cos_cycles(w);
    const double alpha = sin_cycles(w) / (2.0 * q);
    biquad_set(f, (1.0 + c) / 2.0, -(1.0 + c), (1.0 + c) / 2.0, 1.0 + alpha, -2.0 * c, 1.0 - alpha);
}

// Second-order band-pass at `hz` with 0 dB peak gain.
void biquad_bandpass(Biquad* f, double hz, double q) {
    const double w = hz / kRate;
    const double c = cos_cycles(w);
    const double alpha = sin_cycles(w) / (2.0 * q);
    biquad_set(f, alpha, 0.0, -alpha, 1.0 + alpha, -2.0 * c, 1.0 - alpha);
}

double biquad_run(Biquad* f, double x) {
    const double y = f->b0 * x + f->b1 * f->x1 + f->b2 * f->x2 - f->a1 * f->y1 - f->a2 * f->y2;
    f->x2 = f->x1;
    f->x1 = x;
    f->y2 = f->y1;
    f->y1 = y;
    return y;
}

// ---- shared shaping -------------------------------------------------------

// Fade weight for sample k when the last `len` samples of an n-sample sound
// fade out with the given power: 1 before the fade, exactly 0 on the last sample.
double tail_fade(int32_t k, int32_t n, int32_t len, int32_t power) {
    const int32_t start = n - len;
    if (k < start) return 1.0;
    const double u = static_cast<double>(k - start) / static_cast<double>(len - 1);
    double w = 1.0;
    for (int32_t i = 0; i < power; ++i) w *= (1.0 - u);
    return w;
}

// Scales buf so that its largest magnitude becomes `peak`.
void normalise(double* buf, int32_t n, double peak) {
    double m = 0.0;
    for (int32_t k = 0; k < n; ++k)
        if (abs_d(buf[k]) > m) m = abs_d(buf[k]);
    if (m == 0.0) return;
    const double g = peak / m;
    for (int32_t k = 0; k < n; ++k) buf[k] *= g;
}

// ---- the six sounds -------------------------------------------------------
// Each synthesiser fills buf[0..n) with a signal on the +-1.0 full scale.

// Kick whose pitch glides from 161 Hz down to 46 Hz, softly saturated so its
// first cycles hit full scale. The start phase sits just after the trough of
// the wave so that the image opens at 8, 12, 17.
void synth_bass1(double* buf, int32_t n) {
    const double f_end = 46.0;
    const double f_start = 161.0;
    double sweep = 1.0;
    double level = 1.0;
    double phase = 3689.0 / 4096.0;
    for (int32_t k = 0; k < n; ++k) {
        const double y = soft_clip(1.35 * level * sin_cycles(phase));
        buf[k] = y * tail_fade(k, n, n / 4, 2);
        phase += (f_end + (f_start - f_end) * sweep) / kRate;
        if (phase >= 1.0) phase -= 1.0;
        sweep *= 0.9982;
        level *= 0.99985;
    }
}

// Overdriven kick: a 115 Hz to 50 Hz glide amplified four times into the
// clipper, starting at the crest, held for half its length, then a cubic fade.
void synth_bass2(double* buf, int32_t n) {
    const double f_end = 50.0;
    const double f_start = 115.0;
    double sweep = 1.0;
    double phase = 0.25;
    for (int32_t k = 0; k < n; ++k) {
        const double level = tail_fade(k, n, n - n / 2, 3);
        buf[k] = soft_clip(4.0 * level * sin_cycles(phase));
        phase += (f_end + (f_start - f_end) * sweep) / kRate;
        if (phase >= 1.0) phase -= 1.0;
        sweep *= 0.998;
    }
}

// Snare: a two-partial drum-head body (about 190 Hz and 330 Hz, slightly
// falling) under high-passed noise for the wires; the noise decays with a time
// constant of about 30 ms, the body faster.
void synth_snare1(double* buf, int32_t n) {
    Noise rng = {0x5EED0001u};
    Biquad wires;
    biquad_highpass(&wires, 1400.0, 0.8);
    Biquad ring;
    biquad_bandpass(&ring, 5200.0, 1.5);
    double p1 = 0.0;
    double p2 = 0.0;
    double sweep = 1.0;
    double body_env = 1.0;
    double noise_env = 1.0;
    for (int32_t k = 0; k < n; ++k) {
        const double body = 0.55 * sin_cycles(p1) + 0.3 * sin_cycles(p2);
        const double w = noise_next(&rng);
        const double hiss = biquad_run(&wires, w) + 0.6 * biquad_run(&ring, w);
        buf[k] = (0.8 * body * body_env + hiss * noise_env) * tail_fade(k, n, n / 10, 1);
        p1 += (160.0 + 30.0 * sweep) / kRate;
        p2 += (290.0 + 40.0 * sweep) / kRate;
        if (p1 >= 1.0) p1 -= 1.0;
        if (p2 >= 1.0) p2 -= 1.0;
        sweep *= 0.999;
        body_env *= 1.0 - 1.0 / 380.0;
        noise_env *= 1.0 - 1.0 / 660.0;
    }
    normalise(buf, n, 1.3);
}

// Open hi-hat: noise through a fourth-order 6.5 kHz high-pass with a touch of
// 8.8 kHz resonance; a quick initial drop followed by a long, quiet shimmer
// that stays below a sixteenth of full scale after the first quarter.
void synth_hat1(double* buf, int32_t n) {
    Noise rng = {0x5EED0002u};
    Biquad hp1;
    Biquad hp2;
    Biquad sheen;
    biquad_highpass(&hp1, 6500.0, 0.7);
    biquad_highpass(&hp2, 6500.0, 0.7);
    biquad_bandpass(&sheen, 8800.0, 4.0);
    double fast = 1.0;
    double slow = 1.0;
    for (int32_t k = 0; k < n; ++k) {
        const double w = noise_next(&rng);
        const double s = biquad_run(&hp2, biquad_run(&hp1, w)) + 0.4 * biquad_run(&sheen, w);
        const double env = 0.84 * fast + 0.16 * slow;
        buf[k] = s * env * tail_fade(k, n, (n * 2) / 5, 2);
        fast *= 1.0 - 1.0 / 650.0;
        slow *= 1.0 - 1.0 / 5000.0;
    }
    normalise(buf, n, 0.5);
}

// Closed hi-hat: the same bright noise as the open hat, choked with a time
// constant of about 2.5 ms and driven into full scale on its first samples.
void synth_hat2(double* buf, int32_t n) {
    Noise rng = {0x5EED0003u};
    Biquad hp1;
    Biquad hp2;
    biquad_highpass(&hp1, 7000.0, 0.7);
    biquad_highpass(&hp2, 7000.0, 0.7);
    double env = 1.0;
    for (int32_t k = 0; k < n; ++k) {
        const double s = biquad_run(&hp2, biquad_run(&hp1, noise_next(&rng)));
        buf[k] = s * env * tail_fade(k, n, n / 8, 1);
        env *= 1.0 - 1.0 / 55.0;
    }
    normalise(buf, n, 1.3);
}

// Crash cymbal: high-passed noise plus six inharmonic partials between 3 and
// 7.5 kHz for the metallic ring, a 6-sample attack ramp, a fast and a slow
// decay, and a squared fade over the last third.
void synth_symbal1(double* buf, int32_t n) {
    static const double partial_hz[6] = {3127.0, 3841.0, 4561.0, 5219.0, 6343.0, 7453.0};
    Noise rng = {0x5EED0004u};
    Biquad hp;
    biquad_highpass(&hp, 3200.0, 0.7);
    double phase[6] = {0.0, 0.13, 0.29, 0.41, 0.57, 0.73};
    double fast = 1.0;
    double slow = 1.0;
    for (int32_t k = 0; k < n; ++k) {
        double metal = 0.0;
        for (int32_t i = 0; i < 6; ++i) {
            metal += sin_cycles(phase[i]);
            phase[i] += partial_hz[i] / kRate;
            if (phase[i] >= 1.0) phase[i] -= 1.0;
        }
        const double s = biquad_run(&hp, noise_next(&rng)) + 0.06 * metal;
        const double attack = k < 6 ? static_cast<double>(k + 1) / 6.0 : 1.0;
        const double env = 0.55 * fast + 0.45 * slow;
        buf[k] = s * attack * env * tail_fade(k, n, n / 3, 2);
        fast *= 1.0 - 1.0 / 900.0;
        slow *= 1.0 - 1.0 / 5200.0;
    }
    normalise(buf, n, 0.94);
}

// ---- image writing and checks ---------------------------------------------

struct Drum {
    const char* name;
    int32_t samples;
    void (*synth)(double*, int32_t);
};

const Drum kDrums[6] = {
    {"BASS1", 2016, synth_bass1}, {"BASS2", 1897, synth_bass2}, {"SNARE1", 3234, synth_snare1},
    {"HAT1", 15076, synth_hat1},  {"HAT2", 738, synth_hat2},    {"SYMBAL1", 15567, synth_symbal1},
};

void put_u16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v & 0xFFu);
    p[1] = static_cast<uint8_t>((v >> 8) & 0xFFu);
}

void put_u32(uint8_t* p, uint32_t v) {
    put_u16(p, v & 0xFFFFu);
    put_u16(p + 2, v >> 16);
}

// Builds the 58-byte header: RIFF, an 18-byte "fmt " chunk (PCM, mono,
// 22050 Hz, 8 bits, no extension), a 4-byte "fact" chunk and the "data" tag.
void build_header(uint8_t* h, uint32_t n) {
    memcpy(h + 0, "RIFF", 4);
    put_u32(h + 4, 50u + n + (n & 1u));
    memcpy(h + 8, "WAVE", 4);
    memcpy(h + 12, "fmt ", 4);
    put_u32(h + 16, 18u);
    put_u16(h + 20, 1u);
    put_u16(h + 22, 1u);
    put_u32(h + 24, 22050u);
    put_u32(h + 28, 22050u);
    put_u16(h + 32, 1u);
    put_u16(h + 34, 8u);
    put_u16(h + 36, 0u);
    memcpy(h + 38, "fact", 4);
    put_u32(h + 42, 4u);
    put_u32(h + 46, n);
    memcpy(h + 50, "data", 4);
    put_u32(h + 54, n);
}

int32_t dev(uint8_t s) {
    return s >= 128 ? s - 128 : 128 - s;
}

// Largest distance from silence over samples [from, to).
int32_t peak(const uint8_t* s, int32_t from, int32_t to) {
    int32_t m = 0;
    for (int32_t k = from; k < to; ++k)
        if (dev(s[k]) > m) m = dev(s[k]);
    return m;
}

int32_t clipped(const uint8_t* s, int32_t from, int32_t to) {
    int32_t c = 0;
    for (int32_t k = from; k < to; ++k)
        if (s[k] == 0 || s[k] == 255) ++c;
    return c;
}

// Confirms the character each drum must have; prints the figures either way.
bool check(const char* name, const uint8_t* s, int32_t n) {
    const int32_t q = n / 4;
    const int32_t first = peak(s, 0, q);
    const int32_t rest = peak(s, q, n);
    const int32_t tail = peak(s, n - 32, n);
    const int32_t clip_23 = clipped(s, 0, (n * 2) / 3);
    printf("%-8s n=%5d  peak first quarter %3d  after %3d  last 32 %d  clipped %4d (%4d in first 2/3 of %d)\n", name, n,
           first, rest, tail, clipped(s, 0, n), clip_23, (n * 2) / 3);
    bool ok = tail <= 3 && s[n - 1] >= 125 && s[n - 1] <= 131;
    if (strcmp(name, "BASS1") == 0) {
        ok = ok && s[0] == 8 && s[1] == 12 && s[2] == 17 && first >= 127 && peak(s, n - 16, n) <= 1;
    } else if (strcmp(name, "BASS2") == 0) {
        ok = ok && s[0] == 255 && clip_23 * 2 > (n * 2) / 3;
    } else if (strcmp(name, "SNARE1") == 0) {
        ok = ok && clipped(s, 0, n / 20) > 0 && peak(s, (n * 3) / 4, n) < 16;
    } else if (strcmp(name, "HAT1") == 0) {
        ok = ok && first >= 56 && first <= 72 && rest < 8;
    } else if (strcmp(name, "HAT2") == 0) {
        ok = ok && clipped(s, 0, n / 20) > 0 && rest < 32;
    } else if (strcmp(name, "SYMBAL1") == 0) {
        ok = ok && peak(s, 0, n / 20) >= 112 && peak(s, n / 2, n) < 48;
    }
    return ok;
}

double g_signal[kMaxSamples];
uint8_t g_image[58 + kMaxSamples + 1];

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    bool all_ok = true;
    for (const Drum& d : kDrums) {
        const int32_t n = d.samples;
        for (int32_t k = 0; k < n; ++k) g_signal[k] = 0.0;
        d.synth(g_signal, n);
        build_header(g_image, static_cast<uint32_t>(n));
        uint8_t* s = g_image + 58;
        for (int32_t k = 0; k < n; ++k) s[k] = quantise(g_signal[k]);
        const int32_t size = 58 + n + (n & 1);
        if ((n & 1) != 0) g_image[58 + n] = 0;
        if (!check(d.name, s, n)) {
            fprintf(stderr, "%s: synthesised sound is out of character\n", d.name);
            all_ok = false;
            continue;
        }
        char path[1024];
        snprintf(path, sizeof path, "%s/%s.wav", argv[1], d.name);
        FILE* f = fopen(path, "wb");
        if (f == nullptr) {
            fprintf(stderr, "cannot open %s\n", path);
            return 1;
        }
        const size_t wrote = fwrite(g_image, 1, static_cast<size_t>(size), f);
        if (fclose(f) != 0 || wrote != static_cast<size_t>(size)) {
            fprintf(stderr, "cannot write %s\n", path);
            return 1;
        }
    }
    return all_ok ? 0 : 1;
}
