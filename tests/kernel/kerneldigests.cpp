// Prints a digest of Engine's counts of each case, and one of the lane
// kernel's counts on each instruction set this processor runs: lines of
// "digest<TAB>case<TAB>Engine or the set's name". Built for this machine and
// for arm64, where it runs under qemu: every digest of both must be that of
// this machine's Engine.
//
// kernel_digests prints them all; kernel_digests NAME only Engine's or one
// set's, so that a slow emulator can run them side by side; kernel_digests
// --targets names the sets.
#include "kernelcases.h"

#include <cinttypes>
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
