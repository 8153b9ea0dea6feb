// Escape-time counts of many pixels at once, in the lanes of the widest
// vectors the processor has, chosen when the program runs. Each lane does
// what Engine does for its pixel, operation for operation in binary64, so
// the counts are Engine's to the last one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The constant c = -cReal + cImag i, as Engine has it: cReal is subtracted
// from the real part, cImag added to the imaginary part.
inline constexpr double cReal = 0.54;
inline constexpr double cImag = 0.58;

// Pixels as Engine maps them, x = col / scaleX + left and y = row / scaleY +
// top, laid out row by row: the pixel at linear index i lies in column
// firstCol + (i % columns) * step and row firstRow + (i / columns) * step.
// A picture's pixels are the lattice with step 1 from (0, 0); a sample of
// them, one with a wider step. Columns and rows must fit 32 bits.
struct PixelLattice {
    double scaleX = 1;
    double scaleY = 1;
    double left = 0;
    double top = 0;
    int32_t columns = 1;
    int32_t firstCol = 0;
    int32_t firstRow = 0;
    int32_t step = 1;
};

// Writes Engine's count (1 to 1025) of the pixel at linear index begin + k to
// counts[k], for the pixels begin to end - 1. A lane whose pixel ends takes
// the next one at once, so that no lane idles until the run runs out.
void laneCounts(const PixelLattice& lattice, size_t begin, size_t end, int16_t* counts);

// Where an orbit went on leaving the disc of radius 2. The orbit of a pixel
// starts at its point z_0; one that counts n first lay outside at z_{n-1},
// and its escape point is z_n = z_{n-1}^2 + c, worked out as Engine works
// out each next point: from xx = x * x, yy = y * y and yx = y * x,
// y = (yx + yx) + 0.58 and x = (xx - yy) - 0.54.
struct EscapePoint {
    double x;
    double y;
};

// The largest cap of the counts below.
constexpr int32_t maxLaneCap = 1000000;

// Counts as above, but to a cap of the caller's choice: writes to counts[k]
// the number of the escape test (1 to cap) at which the orbit of the pixel at
// linear index begin + k left the closed disc of radius 2, or cap + 1 if it
// stayed inside for all cap tests, each test Engine's operations in Engine's
// order; with cap 1024 these are Engine's counts. A cap below 1 counts as 1,
// one above maxLaneCap as maxLaneCap.
//
// Unless escapes is null, escapes[k] is also the pixel's point after its
// escape (see EscapePoint), bit for bit what Engine's operations give. For a
// pixel that stayed inside, escapes[k] is written but its value is left
// open: callers should look at it only where counts[k] <= cap.
void laneCounts(const PixelLattice& lattice, size_t begin, size_t end, int32_t* counts, int32_t cap,
                EscapePoint* escapes = nullptr);

// The instruction set laneCounts runs on, e.g. "AVX3" (AVX-512), "AVX2",
// "SSE4", "NEON" or "SCALAR".
const char* laneTarget();

// Those of the instruction sets built in that this processor runs, best
// first. For tests: useLaneTarget makes laneCounts run on the named one
// (false if it is not among them); an empty name brings back the best.
std::vector<std::string> laneTargets();
bool useLaneTarget(const std::string& name);
