// What the parts of the benchmark share: the views, clocks, and the state set up once in main().
#pragma once

#include "engine.h"
#include "picturescan.h"
#include "viewstate.h"

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
// about a quarter of its pixels reach the cap of 1025, and the mean count is
// 706.4.
inline const NamedView denseView{"dense", View{0.2, -0.52, 0.04, 0.03}};
inline const NamedView* const views[] = {&defaultView, &denseView};

// The sum of the counts of a view, in the scan order of a pass.
int64_t engineScan(EngineFunction engine, const View& view);

int64_t nanosecondsNow();
long peakResidentKiB();

struct Shared {
    EngineFunction engine = nullptr;
    // The shown window whose passes are measured.
    Form1* form = nullptr;
    // The threads of a pass on all cores.
    int threads = 1;
    // The sum of the counts of each view, by name.
    std::map<std::string, int64_t> countSums;
};
extern Shared shared;

// The steps of one run of the latency chain.
constexpr int64_t chainSteps = int64_t(1) << 24;

// Shows form and waits until its picture has been painted once.
void waitForPicture(Form1& form);

void registerEngineBenchmarks();
void registerWindowBenchmarks();
void registerStartupBenchmark();
// The start-up process's own main (see startupbench.cpp).
int startupChild(int argc, char** argv);

} // namespace bench
