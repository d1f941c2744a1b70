// Integrated loudness (EBU R 128) of a stereo render, through libebur128.
// Builds without it keep the interface and report it unavailable.
#pragma once

#include <cstddef>
#include <string>

struct LoudnessState;

class LoudnessMeter {
public:
    LoudnessMeter();
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    // False with error set when this build cannot measure loudness. With
    // true_peak the meter also finds the peak between samples (4 times
    // oversampled), at some cost in speed.
    bool start(std::string* error, bool true_peak = false);
    // Interleaved stereo floats at 48000 Hz, full scale +-1.0.
    bool add(const float* samples, size_t frames);
    // The integrated loudness in LUFS; -infinity when everything lies
    // under the absolute gate (silence).
    bool integrated(double* lufs);
    // The true peak of both channels, full scale 1.0 (start with true_peak).
    bool true_peak(double* peak);

private:
    // Unused in builds without libebur128.
    [[maybe_unused]] LoudnessState* state_;
};
