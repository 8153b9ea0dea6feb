// A stand-in engine library for the window's tests: it answers every call at
// once with a count made from the pixel, and records the pixels it was asked
// for, in order, so that a test can follow a pass through the real binding.
#include <cstdint>

namespace {

constexpr int capacity = 2 * 307200;
int32_t calls = 0;
int32_t cols[capacity];
int32_t rows[capacity];

} // namespace

extern "C" __attribute__((visibility("default"))) int32_t Engine(int32_t col, int32_t row, double,
                                                                 double, double, double)
{
    if (calls < capacity) {
        cols[calls] = col;
        rows[calls] = row;
    }
    ++calls;
    return 1 + (col * 7 + row * 13) % 1025;
}

extern "C" __attribute__((visibility("default"))) int32_t ProbeCalls()
{
    return calls;
}

extern "C" __attribute__((visibility("default"))) void ProbeCall(int32_t i, int32_t* col,
                                                                 int32_t* row)
{
    *col = cols[i];
    *row = rows[i];
}

extern "C" __attribute__((visibility("default"))) void ProbeReset()
{
    calls = 0;
}
