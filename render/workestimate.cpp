#include "workestimate.h"

#include "lanecounts.h"
#include "viewmath.h"

#include <QPoint>
#include <QSize>

#include <algorithm>
#include <cmath>

namespace {

constexpr int sampleStride = 16;
// The pixels of a picture's sample that weighs it beside others.
constexpr double sampledPixels = 1024;

// The sampled pixels along an axis of size pixels: the middle of each stretch
// of sampleStride, at least one.
std::vector<int> samplePositions(int size)
{
    std::vector<int> positions;
    for (int at = sampleStride / 2; at < size; at += sampleStride)
        positions.push_back(at);
    if (positions.empty())
        positions.push_back(size / 2);
    return positions;
}

// The counts of a lattice of the job's pixels, row by row, on threads: size
// of them, every step-th from first on each axis; of a pixel's first sample
// where it has several.
std::vector<int32_t> latticeCounts(const RenderJob& job, QPoint first, int step, QSize size,
                                   PassThreads& threads)
{
    const int n = job.samples;
    const Scales scales = scalesOf(job.view, job.width * n, job.height * n);
    const PixelLattice lattice{scales.x,     scales.y,      job.view.viewLeft, job.view.viewTop,
                               size.width(), first.x() * n, first.y() * n,     step * n};
    // To the job's cap: a deep zoom's counts reach it.
    std::vector<int32_t> counts(size_t(size.width()) * size_t(size.height()));
    threads.forEachBlock(counts.size(), [&](size_t begin, size_t end) {
        laneCounts(lattice, begin, end, counts.data() + begin, job.colour.cap);
    });
    return counts;
}

} // namespace

WorkEstimate WorkEstimate::sample(const RenderJob& job, PassThreads& threads)
{
    const std::vector<int> columns = samplePositions(job.width);
    const std::vector<int> rows = samplePositions(job.height);
    const std::vector<int32_t> counts =
        latticeCounts(job, {columns.front(), rows.front()}, sampleStride,
                      {int(columns.size()), int(rows.size())}, threads);
    // A pixel's work is its samples'.
    const double samples = double(job.samples) * job.samples;
    std::vector<double> rowWork(rows.size());
    for (size_t i = 0; i < counts.size(); ++i)
        rowWork[i / columns.size()] += samples * (counts[i] + pixelCost);

    // Each sampled row stands for the rows nearest to it.
    WorkEstimate estimate;
    estimate.m_first = size_t(job.firstRow);
    estimate.m_last = size_t(job.lastRowDrawn());
    estimate.m_before.resize(size_t(job.height) + 1);
    size_t nearest = 0;
    for (int row = 0; row < job.height; ++row) {
        while (nearest + 1 < rows.size() && rows[nearest + 1] - row < row - rows[nearest])
            ++nearest;
        estimate.m_before[size_t(row) + 1] = estimate.m_before[size_t(row)] + rowWork[nearest];
    }
    return estimate;
}

double WorkEstimate::pictureIterations(const RenderJob& job, PassThreads& threads, double* sampled)
{
    const double pixels = double(job.width) * double(job.height);
    const int step = std::max(1, int(std::sqrt(pixels / sampledPixels)));
    // Every step-th pixel from the middle of the first step, inside the picture.
    const QPoint first(std::min(step / 2, job.width / 2), std::min(step / 2, job.height / 2));
    const QSize size((job.width - first.x() + step - 1) / step,
                     (job.height - first.y() + step - 1) / step);
    const std::vector<int32_t> counts = latticeCounts(job, first, step, size, threads);
    double iterations = 0;
    for (const int32_t count : counts)
        iterations += count;
    const double samples = double(job.samples) * job.samples;
    if (sampled)
        *sampled = double(counts.size()) / (pixels * samples);
    return iterations * pixels * samples / double(counts.size());
}

double WorkEstimate::share(int rows) const
{
    if (m_before.empty())
        return 0;
    const double first = m_before[m_first];
    const double all = m_before[m_last + 1] - first;
    if (!(all > 0))
        return 0;
    const size_t done =
        std::clamp<size_t>(m_first + size_t(std::max(rows, 0)), m_first, m_last + 1);
    return (m_before[done] - first) / all;
}

std::optional<double> secondsLeft(double share, double elapsed)
{
    if (!(share > 0))
        return std::nullopt;
    return elapsed * (1 - share) / share;
}
