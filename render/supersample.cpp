#include "supersample.h"

#include <cmath>

LinearAverage::LinearAverage()
{
    for (int level = 0; level < 256; ++level)
        m_linear[size_t(level)] = decode(level / 255.0);
    const auto levelOf = [](double light) { return std::nearbyint(255 * encode(light)); };
    // Each threshold found by halving, down to neighbouring doubles: the
    // encoding rises with the light, so every light below it takes a level
    // below.
    m_threshold[0] = 0;
    for (int level = 1; level < 256; ++level) {
        double below = m_threshold[size_t(level - 1)];
        double atOrAbove = 1;
        while (std::nextafter(below, atOrAbove) < atOrAbove) {
            double middle = below + (atOrAbove - below) / 2;
            if (middle <= below || middle >= atOrAbove)
                middle = std::nextafter(below, atOrAbove);
            (levelOf(middle) >= level ? atOrAbove : below) = middle;
        }
        m_threshold[size_t(level)] = atOrAbove;
    }
}

double LinearAverage::decode(double encoded)
{
    return encoded <= 0.04045 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
}

double LinearAverage::encode(double light)
{
    return light <= 0.0031308 ? 12.92 * light : 1.055 * std::pow(light, 1 / 2.4) - 0.055;
}

uint8_t LinearAverage::level(double light) const
{
    // The last threshold at or below the light.
    size_t low = 0, high = 256;
    while (high - low > 1) {
        const size_t middle = (low + high) / 2;
        (m_threshold[middle] <= light ? low : high) = middle;
    }
    return uint8_t(low);
}

const LinearAverage& linearAverage()
{
    static const LinearAverage average;
    return average;
}
