// The escape-time count of one pixel for the Julia set of c = -0.54 + 0.58i.
#pragma once

#include <stdint.h>

#if defined(_WIN32)
#define ENGINE_CALL __stdcall
#else
#define ENGINE_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Maps pixel (col, row) to x = col / scaleX + left, y = row / scaleY + top and
// returns the number of the escape test (1 to 1024) at which x^2 + y^2 > 4,
// or 1025 when the orbit stayed inside for all 1024 tests.
int32_t ENGINE_CALL Engine(int32_t col, int32_t row, double scaleX, double scaleY, double left,
                           double top);

typedef int32_t(ENGINE_CALL* EngineFunction)(int32_t, int32_t, double, double, double, double);

#ifdef __cplusplus
}
#endif
