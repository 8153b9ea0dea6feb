// The work of a render by rows, estimated from a sparse sample of its pixels
// worked out first: pixels are not equally costly (the middle of the set
// holds most of the work), so the time left follows the work left, not the
// rows left.
#pragma once

#include "passthreads.h"
#include "render.h"

#include <optional>
#include <vector>

// What a pixel costs beside its iterations (handing it to a lane, mapping it,
// its count written out, its colour and its share of the PNG stream), in
// iterations of the lane kernel, which it runs in a fraction of a nanosecond:
// about 20, by the time-left benchmarks of renders. A movie's frames weigh
// the same, with a cost of their own beside (FrameClock).
inline constexpr double pixelCost = 20;

class WorkEstimate {
public:
    // Works out one pixel in about every 256 (one in every 16th column of
    // every 16th row) with the lane kernel, on threads.
    static WorkEstimate sample(const RenderJob& job, PassThreads& threads);

    // The iterations of the whole picture of job, all its samples', from
    // about a thousand of its pixels: what a movie's frames weigh beside each
    // other. The share of the samples that were worked out goes into sampled
    // if given.
    static double pictureIterations(const RenderJob& job, PassThreads& threads,
                                    double* sampled = nullptr);

    // The share of the whole work in the first rows rows of those the job
    // draws, 0 to 1.
    double share(int rows) const;

private:
    // The estimated work of rows 0 to r - 1, for r = 0 to the height.
    std::vector<double> m_before;
    // The rows the job draws, first to last.
    size_t m_first = 0;
    size_t m_last = 0;
};

// The seconds left when share of the work took elapsed seconds; none before
// any work is done.
std::optional<double> secondsLeft(double share, double elapsed);
