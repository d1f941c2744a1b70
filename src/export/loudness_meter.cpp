#include "export/loudness_meter.h"

#ifdef TAMSEL_HAVE_EBUR128

#include <ebur128.h>

struct LoudnessState {
    ebur128_state* meter = nullptr;
};

LoudnessMeter::LoudnessMeter() : state_(new LoudnessState) {}

LoudnessMeter::~LoudnessMeter() {
    if (state_->meter) ebur128_destroy(&state_->meter);
    delete state_;
}

bool LoudnessMeter::start(std::string* error, MeterMode mode) {
    int flags = EBUR128_MODE_I;
    if (mode == MeterMode::LOUDNESS_AND_TRUE_PEAK) flags |= EBUR128_MODE_TRUE_PEAK;
    if (mode == MeterMode::TRUE_PEAK) flags = EBUR128_MODE_TRUE_PEAK;
    state_->meter = ebur128_init(2, 48000, flags);
    if (!state_->meter) {
        *error = "could not start the loudness meter";
        return false;
    }
    return true;
}

bool LoudnessMeter::add(const float* samples, size_t frames) {
    return ebur128_add_frames_float(state_->meter, samples, frames) == EBUR128_SUCCESS;
}

bool LoudnessMeter::integrated(double* lufs) {
    return ebur128_loudness_global(state_->meter, lufs) == EBUR128_SUCCESS;
}

bool LoudnessMeter::true_peak(double* peak) {
    double left = 0.0, right = 0.0;
    if (ebur128_true_peak(state_->meter, 0, &left) != EBUR128_SUCCESS) return false;
    if (ebur128_true_peak(state_->meter, 1, &right) != EBUR128_SUCCESS) return false;
    *peak = left > right ? left : right;
    return true;
}

#else  // no libebur128

struct LoudnessState {};

LoudnessMeter::LoudnessMeter() : state_(nullptr) {}
LoudnessMeter::~LoudnessMeter() {}

bool LoudnessMeter::start(std::string* error, MeterMode) {
    *error = "loudness cannot be measured: this build has no libebur128";
    return false;
}

bool LoudnessMeter::add(const float*, size_t) {
    return false;
}

bool LoudnessMeter::integrated(double*) {
    return false;
}

bool LoudnessMeter::true_peak(double*) {
    return false;
}

#endif
