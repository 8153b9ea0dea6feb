// The hardware's latency bound for one step of the escape-time iteration,
// compiled like the engine (see CMakeLists.txt).
#include "bench.h"

double bench::latencyChain(double x, double y, double cReal, double cImag, int64_t steps)
{
    for (int64_t i = 0; i < steps; ++i) {
        const double xx = x * x;
        const double yy = y * y;
        const double yx = y * x;
        y = (yx + yx) + cImag;
        x = (xx - yy) - cReal;
    }
    return x + y;
}
