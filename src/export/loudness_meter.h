// Integrated loudness (EBU R 128) of a stereo render, through libebur128.
// Builds without it keep the interface and report it unavailable.
#pragma once

#include <cstddef>
#include <string>

struct LoudnessState;

// What a meter measures: the true peak costs a 4-times oversampling.
enum class MeterMode { LOUDNESS, LOUDNESS_AND_TRUE_PEAK, TRUE_PEAK };

class LoudnessMeter {
public:
    LoudnessMeter();
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    // False with error set when this build cannot measure loudness. The
    // true peak is the peak between samples too (4 times oversampled).
    bool start(std::string* error, MeterMode mode);
    // Interleaved stereo floats at 48000 Hz, full scale +-1.0.
    bool add(const float* samples, size_t frames);
    // The integrated loudness in LUFS (a mode with it); -infinity when everything lies
    // under the absolute gate (silence).
    bool integrated(double* lufs);
    // The true peak of both channels, full scale 1.0 (a mode with it).
    bool true_peak(double* peak);

private:
    // Unused in builds without libebur128.
    [[maybe_unused]] LoudnessState* state_;
};
