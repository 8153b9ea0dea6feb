// The bytes of a render's pixels, as its picture holds them: an index in the
// picture's palette (the ramp's levels, or a cycle's colours), or red, green
// and blue (the smooth colouring's, and any colouring but the ramp's with
// several samples a pixel), worked out from the counts of their samples.
#pragma once

#include "colouring.h"
#include "lanecounts.h"
#include "render.h"
#include "supersample.h"

#include <cstdint>
#include <vector>

class PixelColours {
public:
    explicit PixelColours(const RenderJob& job);

    // 1 (an index in palette()) or 3 (red, green, blue).
    int bytesPerPixel() const { return m_palette.empty() ? 3 : 1; }
    // The picture's palette, 0x00BBGGRR colours; empty for red, green and
    // blue.
    const std::vector<uint32_t>& palette() const { return m_palette; }

    // The bytes of the pixels first to first + count - 1 of row into out,
    // from the lattice of the samples (the picture's pixels with one sample
    // a pixel).
    void pixels(const PixelLattice& samples, int row, int first, int count, uint8_t* out) const;

private:
    void rampPixels(const PixelLattice& samples, int row, int first, int count, uint8_t* out) const;
    void colourPixels(const PixelLattice& samples, int row, int first, int count,
                      uint8_t* out) const;

    int m_samples;
    // The window's own colours, counted as the window counts them.
    bool m_windowColours;
    bool m_smooth;
    Colouring m_colouring;
    std::vector<uint32_t> m_palette;
    const LinearAverage& m_average = linearAverage();
};
