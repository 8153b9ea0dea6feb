#include "colouring.h"

#include "colourramp.h"
#include "viewtext.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr std::array<std::string_view, 3> modeNames{"ramp", "cycle", "smooth"};

// The steps the smooth colouring takes past the escape point. The
// continuous count's formula holds where |z| is large beside |c| (about
// 0.79): each step on changes it by about |c| / (2 ln 2 |z|^2 ln |z|). At
// the escape point |z| is only above 3.2, an error of up to 0.05 of a count,
// a visible step in the colours where the count changes; three steps take
// |z| above 7,900 and the error to about 1e-9, while an orbit that was
// inside the disc of radius 2 two steps before its escape point stays below
// 2e11, far from overflowing.
constexpr int extraSteps = 3;
// The continuous count lies within this of the count: it is the count plus
// extraSteps + 1 - log2(ln |z|), which is at least -4.5 as |z|^2 is finite,
// and at most 57 as ln |z|, where above 0, is at least ln(1 + 2^-52) / 2.
constexpr double continuousBeyondCount = 64;

// The index of palette place floor(place) in a palette of size entries,
// counted from entry 0 either way round.
std::size_t wrapped(double place, std::size_t size)
{
    const double whole = std::floor(place);
    // A whole number that fits 63 bits wraps in integers, as fmod would, at
    // a fraction of its cost; a larger one by fmod itself.
    constexpr double fits = 0x1p62;
    if (whole > -fits && whole < fits) {
        const int64_t index = int64_t(whole) % int64_t(size);
        return std::size_t(index < 0 ? index + int64_t(size) : index);
    }
    double index = std::fmod(whole, double(size));
    if (index < 0)
        index += double(size);
    return std::size_t(index);
}

uint8_t between(uint8_t from, uint8_t to, double fraction)
{
    return uint8_t(std::nearbyint(from + (to - from) * fraction));
}

} // namespace

std::string_view colourModeName(ColourMode mode)
{
    return modeNames[std::size_t(mode)];
}

std::optional<ColourMode> colourModeNamed(std::string_view name)
{
    const auto found = std::find(modeNames.begin(), modeNames.end(), name);
    if (found == modeNames.end())
        return std::nullopt;
    return ColourMode(found - modeNames.begin());
}

std::vector<std::string_view> colourModeNames()
{
    return {modeNames.begin(), modeNames.end()};
}

std::string choiceFault(const ColourChoice& choice)
{
    if (choice.cap < 1 || choice.cap > maxLaneCap)
        return "a cap of " + std::to_string(choice.cap) + " iterations is not from 1 to " +
               std::to_string(maxLaneCap);
    if (choice.palette.entries.empty() || choice.palette.entries.size() > mostPaletteEntries)
        return "a palette has 1 to " + std::to_string(mostPaletteEntries) + " colours, not " +
               std::to_string(choice.palette.entries.size());
    if (!(choice.density > 0) || !std::isfinite(choice.density))
        return "the density " + formatNumber(choice.density) + " is not a finite number above 0";
    if (!std::isfinite(choice.offset))
        return "the offset " + formatNumber(choice.offset) + " is not a finite number";
    // The place in the palette of any count, smooth or not.
    const double farthest = (choice.cap + 1 + continuousBeyondCount) * choice.density;
    if (!std::isfinite(farthest + std::abs(choice.offset)))
        return "the density " + formatNumber(choice.density) + " and the offset " +
               formatNumber(choice.offset) + " take the counts beyond the range of a double";
    return {};
}

// The continuous count mu of a point that escaped at count n, from its
// escape point z_n taken extraSteps (k) steps on with Engine's operations:
//     mu = n + k + 1 - log2(ln |z_{n+k}|),
// ln the natural logarithm (std::log, of |z|^2, halved), log2 the binary
// one (std::log2). Where |z_{n+k}|^2 is not finite (an orbit that started
// far out) or ln |z_{n+k}| is not above 0, mu is n.
double continuousCount(int32_t count, EscapePoint escape)
{
    double x = escape.x;
    double y = escape.y;
    for (int step = 0; step < extraSteps; ++step) {
        const double xx = x * x;
        const double yy = y * y;
        const double yx = y * x;
        y = (yx + yx) + cImag;
        x = (xx - yy) - cReal;
    }
    const double lnAbs = std::log(x * x + y * y) / 2;
    if (!(lnAbs > 0) || !std::isfinite(lnAbs))
        return count;
    return double(count) + double(extraSteps + 1) - std::log2(lnAbs);
}

Colouring::Colouring(ColourChoice choice) : m_choice(std::move(choice))
{
    if (m_choice.mode == ColourMode::ramp) {
        m_pictureColours.emplace(rampLevels);
        for (int level = 0; level < rampLevels; ++level)
            (*m_pictureColours)[std::size_t(level)] = rampColour(uint8_t(level));
        return;
    }
    if (m_choice.mode == ColourMode::smooth)
        return;
    // A cycle's colours, each once, the inside colour last.
    std::vector<Rgb> colours;
    const auto indexOf = [&colours](Rgb colour) {
        const auto found = std::find(colours.begin(), colours.end(), colour);
        if (found != colours.end())
            return std::size_t(found - colours.begin());
        colours.push_back(colour);
        return colours.size() - 1;
    };
    std::vector<std::size_t> indices;
    for (const Rgb& entry : m_choice.palette.entries)
        indices.push_back(indexOf(entry));
    const std::size_t insideIndex = indexOf(m_choice.palette.inside);
    if (colours.size() > mostPaletteEntries)
        return;
    m_entryIndex.assign(indices.begin(), indices.end());
    m_insideIndex = uint8_t(insideIndex);
    m_pictureColours = std::move(colours);
}

std::size_t Colouring::cycleEntry(int32_t count) const
{
    return wrapped(count * m_choice.density + m_choice.offset, m_choice.palette.entries.size());
}

// The colour at a place in the palette: between entry floor(place) and the
// next, both taken round the palette, in proportion to the place's fraction.
Rgb Colouring::colourAt(double place) const
{
    const std::vector<Rgb>& entries = m_choice.palette.entries;
    const double fraction = place - std::floor(place);
    const std::size_t from = wrapped(place, entries.size());
    const Rgb a = entries[from];
    const Rgb b = entries[from + 1 == entries.size() ? 0 : from + 1];
    return {between(a.r, b.r, fraction), between(a.g, b.g, fraction), between(a.b, b.b, fraction)};
}

Rgb Colouring::colour(int32_t count, const EscapePoint* escape) const
{
    switch (m_choice.mode) {
    case ColourMode::ramp:
        return (*m_pictureColours)[index(count)];
    case ColourMode::cycle:
        return inside(count) ? m_choice.palette.inside
                             : m_choice.palette.entries[cycleEntry(count)];
    case ColourMode::smooth:
        break;
    }
    if (inside(count))
        return m_choice.palette.inside;
    const double mu = escape ? continuousCount(count, *escape) : double(count);
    return colourAt(mu * m_choice.density + m_choice.offset);
}

uint8_t Colouring::index(int32_t count) const
{
    if (m_choice.mode == ColourMode::ramp) {
        // The table's last count is at the last level, as is every count
        // beyond it.
        const int32_t last = int32_t(levelTable.size()) - 1;
        return levelOf(int16_t(std::clamp(count, 0, last)));
    }
    return inside(count) ? m_insideIndex : m_entryIndex[cycleEntry(count)];
}
