#include "engine.h"

#if defined(_WIN32)
#define ENGINE_EXPORT __declspec(dllexport)
#else
#define ENGINE_EXPORT __attribute__((visibility("default")))
#endif

namespace {

constexpr double cReal = 0.54; // subtracted: c = -0.54 + 0.58i
constexpr double cImag = 0.58;
constexpr double escapeBound = 4.0;
constexpr int32_t testCap = 1024;

} // namespace

// Every operation below is one binary64 operation rounded on its own, in this
// order; the library is built without contraction or reassociation so that
// the counts are the same on every machine.
extern "C" ENGINE_EXPORT int32_t ENGINE_CALL Engine(int32_t col, int32_t row, double scaleX,
                                                    double scaleY, double left, double top)
{
    double x = static_cast<double>(col) / scaleX;
    x = x + left;
    double y = static_cast<double>(row) / scaleY;
    y = y + top;

    int32_t n = 1;
    for (;;) {
        const double xx = x * x;
        const double yy = y * y;
        if (xx + yy > escapeBound)
            return n;
        const double yx = y * x;
        y = (yx + yx) + cImag;
        x = (xx - yy) - cReal;
        ++n;
        if (n > testCap)
            return n;
    }
}
