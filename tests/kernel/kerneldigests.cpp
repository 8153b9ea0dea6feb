// Prints a digest of Engine's counts of each case, and one of the lane
// kernel's counts on each instruction set this processor runs: lines of
// "digest<TAB>case<TAB>Engine or the set's name". The cases to other caps
// digest the counts and the points after the escapes, for "Engine" those of
// the plain loop of Engine's operations. Built for this machine and for
// arm64, where it runs under qemu: every digest of both must be that of this
// machine's Engine.
//
// kernel_digests prints them all; kernel_digests NAME only Engine's or one
// set's, so that a slow emulator can run them side by side; kernel_digests
// --targets names the sets.
#include "kernelcases.h"

#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// FNV-1a over the counts' values.
template <class Count> uint64_t digest(const std::vector<Count>& counts)
{
    uint64_t hash = 14695981039346656037u;
    for (const Count count : counts) {
        hash ^= uint64_t(uint16_t(count));
        hash *= 1099511628211u;
    }
    return hash;
}

// FNV-1a over the counts' values and the bits of the points of the pixels
// that escaped, every NaN as one: which NaN an operation gives differs
// between processors.
uint64_t digest(const std::vector<int32_t>& counts, const std::vector<EscapePoint>& points,
                int32_t cap)
{
    uint64_t hash = 14695981039346656037u;
    const auto add = [&](uint64_t value) {
        hash ^= value;
        hash *= 1099511628211u;
    };
    const auto bits = [](double value) {
        return std::isnan(value) ? uint64_t(0x7ff8000000000000) : std::bit_cast<uint64_t>(value);
    };
    for (size_t i = 0; i < counts.size(); ++i) {
        add(uint32_t(counts[i]));
        if (counts[i] <= cap) {
            add(bits(points[i].x));
            add(bits(points[i].y));
        }
    }
    return hash;
}

void printDigests(const std::string& name)
{
    if (name != "Engine" && !useLaneTarget(name))
        return;
    for (const KernelCase& c : kernelCases()) {
        std::vector<int32_t> counts(c.pixels);
        if (name == "Engine")
            for (size_t i = 0; i < c.pixels; ++i)
                counts[i] = engineCount(c.lattice, i);
        else {
            const std::vector<int16_t> kernel = countsInRuns(c);
            counts.assign(kernel.begin(), kernel.end());
        }
        std::printf("%016" PRIx64 "\t%s\t%s\n", digest(counts), c.name, name.c_str());
    }
    for (const CapCase& c : capCases())
        for (const int32_t cap : c.caps) {
            std::vector<EscapePoint> points;
            const std::vector<int32_t> counts =
                name == "Engine" ? cappedByLoop(c, cap, points) : cappedInRuns(c, cap, &points);
            std::printf("%016" PRIx64 "\t%s, cap %d\t%s\n", digest(counts, points, cap), c.name,
                        int(cap), name.c_str());
        }
    useLaneTarget({});
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--targets") == 0) {
        for (const std::string& target : laneTargets())
            std::printf("%s\n", target.c_str());
        return 0;
    }
    if (argc == 2)
        printDigests(argv[1]);
    if (argc == 1) {
        printDigests("Engine");
        for (const std::string& target : laneTargets())
            printDigests(target);
    }
    return 0;
}
