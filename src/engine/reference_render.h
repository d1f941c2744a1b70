// The render loop in its plainest form: every frame advances the clock,
// offers the sequencer a tick and asks all 512 slots for their voice's
// contribution. The fast renderer must match it byte for byte; tests and
// benchmarks compare the two.
#pragma once

#include <cstdint>

uint64_t generate_samples_reference(float* out, uint64_t count);
