#include "pixelcolours.h"

#include "colourramp.h"

namespace {

uint32_t packed(Rgb colour)
{
    return colour.r | uint32_t(colour.g) << 8 | uint32_t(colour.b) << 16;
}

// What one thread works a run of pixels out in, kept from run to run.
struct Counts {
    std::vector<int16_t> engine;
    std::vector<int32_t> capped;
    std::vector<EscapePoint> escapes;
    std::vector<uint8_t> levels;
};
thread_local Counts counts;

// The lattice's row of the samples' row j of the picture's row.
PixelLattice samplesRow(PixelLattice samples, int perSide, int row, int j)
{
    samples.firstRow = int32_t(int64_t(row) * perSide + j);
    return samples;
}

} // namespace

PixelColours::PixelColours(const RenderJob& job)
    : m_samples(job.samples), m_windowColours(job.colour == ColourChoice{}),
      m_smooth(job.colour.mode == ColourMode::smooth), m_colouring(job.colour)
{
    // Several samples of a colouring but the ramp average to colours of no
    // palette.
    const bool indexed = m_colouring.pictureIndexPalette() &&
                         (m_samples == 1 || job.colour.mode == ColourMode::ramp);
    if (indexed)
        for (const Rgb& colour : *m_colouring.pictureIndexPalette())
            m_palette.push_back(packed(colour));
}

void PixelColours::pixels(const PixelLattice& samples, int row, int first, int count,
                          uint8_t* out) const
{
    if (m_colouring.choice().mode == ColourMode::ramp)
        rampPixels(samples, row, first, count, out);
    else
        colourPixels(samples, row, first, count, out);
}

// The ramp's levels, of the samples' average where there are several; to
// Engine's cap, from Engine's own 16-bit counts.
void PixelColours::rampPixels(const PixelLattice& samples, int row, int first, int count,
                              uint8_t* out) const
{
    const size_t n = size_t(m_samples);
    const size_t across = size_t(count) * n;
    const size_t begin = size_t(first) * n;
    std::vector<uint8_t>& levels = counts.levels;
    levels.resize(n == 1 ? 0 : across * n);
    if (m_windowColours)
        counts.engine.resize(across);
    else
        counts.capped.resize(across);
    for (size_t j = 0; j < n; ++j) {
        const PixelLattice lattice = samplesRow(samples, m_samples, row, int(j));
        uint8_t* rowLevels = n == 1 ? out : levels.data() + j * across;
        if (m_windowColours) {
            laneCounts(lattice, begin, begin + across, counts.engine.data());
            for (size_t k = 0; k < across; ++k)
                rowLevels[k] = levelOf(counts.engine[k]);
        } else {
            laneCounts(lattice, begin, begin + across, counts.capped.data(),
                       m_colouring.choice().cap);
            for (size_t k = 0; k < across; ++k)
                rowLevels[k] = m_colouring.index(counts.capped[k]);
        }
    }
    if (n == 1)
        return;
    const double area = double(n * n);
    for (size_t x = 0; x < size_t(count); ++x) {
        double light = 0;
        for (size_t j = 0; j < n; ++j)
            for (size_t i = 0; i < n; ++i)
                light += m_average.linear(levels[j * across + x * n + i]);
        out[x] = m_average.level(light / area);
    }
}

// A cycle's or smooth colouring's colours, each channel of several samples
// averaged in linear light as the ramp's levels are.
void PixelColours::colourPixels(const PixelLattice& samples, int row, int first, int count,
                                uint8_t* out) const
{
    const size_t n = size_t(m_samples);
    const size_t across = size_t(count) * n;
    const size_t begin = size_t(first) * n;
    counts.capped.resize(across * n);
    counts.escapes.resize(m_smooth ? across * n : 0);
    for (size_t j = 0; j < n; ++j)
        laneCounts(samplesRow(samples, m_samples, row, int(j)), begin, begin + across,
                   counts.capped.data() + j * across, m_colouring.choice().cap,
                   m_smooth ? counts.escapes.data() + j * across : nullptr);
    const auto colourOf = [&](size_t sample) {
        return m_colouring.colour(counts.capped[sample],
                                  m_smooth ? &counts.escapes[sample] : nullptr);
    };
    if (n == 1) {
        for (size_t x = 0; x < size_t(count); ++x) {
            if (!m_palette.empty()) {
                out[x] = m_colouring.index(counts.capped[x]);
                continue;
            }
            const Rgb colour = colourOf(x);
            out[3 * x] = colour.r;
            out[3 * x + 1] = colour.g;
            out[3 * x + 2] = colour.b;
        }
        return;
    }
    const double area = double(n * n);
    for (size_t x = 0; x < size_t(count); ++x) {
        double light[3] = {0, 0, 0};
        for (size_t j = 0; j < n; ++j)
            for (size_t i = 0; i < n; ++i) {
                const Rgb colour = colourOf(j * across + x * n + i);
                light[0] += m_average.linear(colour.r);
                light[1] += m_average.linear(colour.g);
                light[2] += m_average.linear(colour.b);
            }
        for (size_t channel = 0; channel < 3; ++channel)
            out[3 * x + channel] = m_average.level(light[channel] / area);
    }
}
