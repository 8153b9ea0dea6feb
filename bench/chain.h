// The hardware's latency bound for one step of the escape-time iteration.
#pragma once

#include <cstdint>

// Runs `steps` updates z -> z^2 - cReal + cImag i from (x, y) with no escape
// test: each step is the engine's dependency chain (a product, then two sums on
// each part). Returns x + y of the last iterate so that nothing can be dropped.
double latencyChain(double x, double y, double cReal, double cImag, int64_t steps);
