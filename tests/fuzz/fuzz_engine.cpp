// Feeds arbitrary arguments to Engine and compares each count with a plain
// complex iteration. The input's bytes are the arguments in order (col, row,
// scaleX, scaleY, left, top), so every bit pattern is reachable: NaNs,
// infinities, subnormals, extreme pixels. Short inputs are padded with zeros.
#include "engine.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// z starts at (col / scaleX + left, row / scaleY + top) and is moved by
// z <- z^2 + c until |z|^2 > 4; the count is the number of that test, or 1025
// when 1024 tests all stayed inside.
int32_t plainCount(int32_t col, int32_t row, double scaleX, double scaleY, double left, double top)
{
    double re = col / scaleX + left;
    double im = row / scaleY + top;
    for (int32_t test = 1; test <= 1024; ++test) {
        const double re2 = re * re;
        const double im2 = im * im;
        if (re2 + im2 > 4.0)
            return test;
        im = 2.0 * (im * re) + 0.58;
        re = (re2 - im2) - 0.54;
    }
    return 1025;
}

struct Arguments {
    int32_t col;
    int32_t row;
    double scaleX;
    double scaleY;
    double left;
    double top;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    unsigned char bytes[40] = {};
    std::memcpy(bytes, data, size < sizeof bytes ? size : sizeof bytes);
    Arguments a;
    std::memcpy(&a.col, bytes, 4);
    std::memcpy(&a.row, bytes + 4, 4);
    std::memcpy(&a.scaleX, bytes + 8, 8);
    std::memcpy(&a.scaleY, bytes + 16, 8);
    std::memcpy(&a.left, bytes + 24, 8);
    std::memcpy(&a.top, bytes + 32, 8);

    const int32_t count = Engine(a.col, a.row, a.scaleX, a.scaleY, a.left, a.top);
    const int32_t expected = plainCount(a.col, a.row, a.scaleX, a.scaleY, a.left, a.top);
    if (count < 1 || count > 1025 || count != expected) {
        std::fprintf(stderr, "Engine(%d, %d, %a, %a, %a, %a) = %d, expected %d\n", a.col, a.row,
                     a.scaleX, a.scaleY, a.left, a.top, count, expected);
        __builtin_trap();
    }
    return 0;
}
