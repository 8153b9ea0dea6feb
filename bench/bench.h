// What the parts of the benchmark share: the views, the clock, the latency
// chain, and the state that main() sets up once.
#pragma once

#include "engine.h"
#include "picturescan.h"
#include "viewstate.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <string>

class Form1;

namespace bench {

struct NamedView {
    const char* name;
    View view;
};
inline const NamedView defaultView{"default", View{}};
// Up and right of the centre of the default picture, where it shows yellow:
// about a quarter of its pixels reach the cap of 1025; mean count 706.4.
inline const NamedView denseView{"dense", View{0.2, -0.52, 0.04, 0.03}};
inline const NamedView* const views[] = {&defaultView, &denseView};

inline EngineFunction engine = nullptr;
inline Form1* window = nullptr;                  // the shown window whose passes are measured
inline int allThreads = 1;                       // of a pass on all cores
inline std::map<std::string, int64_t> countSums; // of each view, by name

// The sum of the counts of a view, in the scan order of a pass.
int64_t engineScan(const View& view);

// Runs steps updates z -> z^2 - cReal + cImag i from (x, y) with no escape
// test: each step is the engine's dependency chain (a product, then two sums
// on each part). Returns x + y of the last iterate, so that nothing is dropped.
double latencyChain(double x, double y, double cReal, double cImag, int64_t steps);
constexpr int64_t chainSteps = int64_t(1) << 24;

// A clock that the start-up process shares with the bench.
inline int64_t nanosecondsNow()
{
    return std::chrono::steady_clock::now().time_since_epoch() / std::chrono::nanoseconds(1);
}

inline long peakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Shows form and waits until its picture has been painted once.
void waitForPicture(Form1& form);

void registerEngineBenchmarks();
void registerWindowBenchmarks();
void registerStartupBenchmark();
void registerRenderBenchmarks();
void registerMovieBenchmarks();
// The short movie that they time, in words.
std::string movieDescription();
// The start-up process's own main (see startupbench.cpp).
int startupChild(int argc, char** argv);

} // namespace bench
