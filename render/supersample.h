// Several samples a pixel: the N x N samples of pixel (x, y) of a W x H
// picture are the pixels (x N + i, y N + j), i and j from 0 to N - 1, of the
// (W N) x (H N) picture of the same view, and the pixel's level is their
// average in linear light: each sample's ramp colour (R = G = level, B = 0)
// decoded from sRGB to linear by the standard piecewise function, in double,
// summed row by row of samples, left to right, divided by N^2, encoded back
// to sRGB and rounded to the nearest level (ties to even). Since every
// sample is grey-yellow, so is the average: again a level of the ramp.
#pragma once

#include <array>
#include <cstdint>

class LinearAverage {
public:
    LinearAverage();

    // A level's share of full light, 0 to 1.
    double linear(uint8_t level) const { return m_linear[level]; }
    // The level of the average of light (0 to 1), exactly as rounding
    // 255 times its sRGB encoding to the nearest whole number would give.
    uint8_t level(double light) const;

    // The sRGB transfer functions, in double.
    static double decode(double encoded);
    static double encode(double light);

private:
    std::array<double, 256> m_linear;
    // The least light that takes each level from 1 to 255.
    std::array<double, 256> m_threshold;
};

// The one average, its tables made once.
const LinearAverage& linearAverage();
