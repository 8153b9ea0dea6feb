// Escape-time counts of many pixels at once, in the lanes of the widest
// vectors the processor has, chosen when the program runs. Each lane does
// what Engine does for its pixel, operation for operation in binary64, so
// the counts are Engine's to the last one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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

// The instruction set laneCounts runs on, e.g. "AVX3" (AVX-512), "AVX2",
// "SSE4", "NEON" or "SCALAR".
const char* laneTarget();

// Those of the instruction sets built in that this processor runs, best
// first. For tests: useLaneTarget makes laneCounts run on the named one
// (false if it is not among them); an empty name brings back the best.
std::vector<std::string> laneTargets();
bool useLaneTarget(const std::string& name);
