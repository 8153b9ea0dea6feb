// The colour of a pixel from its escape-time count (and, for the smooth
// colouring, the point its orbit reached on escaping), as --render and
// --movie colour their pictures: the window's black-to-yellow ramp, a
// palette cycled count by count, or a palette followed smoothly.
#pragma once

#include "lanecounts.h"
#include "palette.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class ColourMode { ramp, cycle, smooth };

// "ramp", "cycle" or "smooth", and back; the names in the order --help
// lists them.
std::string_view colourModeName(ColourMode mode);
std::optional<ColourMode> colourModeNamed(std::string_view name);
std::vector<std::string_view> colourModeNames();

// Engine's cap: the counts of the window and of a render by default.
inline constexpr int32_t defaultCap = 1024;
// The palette a cycle or smooth colouring takes when none is named: the
// ramp's black and yellow run on to white, so that a picture keeps its look.
inline constexpr std::string_view defaultPaletteName = "fire";
// By default count n takes palette entry n, as a .map file is written for.
inline constexpr double defaultDensity = 1;
inline constexpr double defaultOffset = 0;

// What a picture is coloured with. The ramp takes none of palette, density
// and offset.
struct ColourChoice {
    ColourMode mode = ColourMode::ramp;
    Palette palette = *builtInPalette(defaultPaletteName);
    // Palette entries a count moves on by.
    double density = defaultDensity;
    // The palette entry count 0 is at.
    double offset = defaultOffset;
    // The cap the counts were made to (1 to maxLaneCap): count cap + 1 is a
    // point that never escaped.
    int32_t cap = defaultCap;

    bool operator==(const ColourChoice&) const = default;
};

// What makes choice unusable, in one English phrase, or nothing: a cap out
// of range, a palette of no or too many colours, a density that is not a
// finite number above 0, an offset that is not finite, or both so large
// that a count's place in the palette is beyond a double.
std::string choiceFault(const ColourChoice& choice);

// The smooth colouring's continuous count of a point that escaped at count n
// with escape point z_n (see EscapePoint).
double continuousCount(int32_t count, EscapePoint escape);

// A choice made ready for a render's pixels: built once, then asked for any
// number of pixels from any number of threads.
class Colouring {
public:
    // choice must be one choiceFault finds nothing wrong with.
    explicit Colouring(ColourChoice choice);

    const ColourChoice& choice() const { return m_choice; }

    // The colour of a count of 1 to cap + 1 (and, for the smooth colouring,
    // of its escape point, which a count of cap + 1 does not need; without
    // one, the count is taken as it is).
    Rgb colour(int32_t count, const EscapePoint* escape) const;

    // The colours of a palette picture of this colouring, at most 256: the
    // ramp's levels, or a cycle's entries and inside colour, each colour
    // once. None for the smooth colouring, nor for a cycle of more colours.
    const std::optional<std::vector<Rgb>>& pictureIndexPalette() const { return m_pictureColours; }
    // The index in pictureIndexPalette() of a count's colour; only where
    // there is one.
    uint8_t index(int32_t count) const;

private:
    bool inside(int32_t count) const { return count == m_choice.cap + 1; }
    std::size_t cycleEntry(int32_t count) const;
    Rgb colourAt(double place) const;

    ColourChoice m_choice;
    std::optional<std::vector<Rgb>> m_pictureColours;
    // A cycle's entries' indices in m_pictureColours, and its inside colour's.
    std::vector<uint8_t> m_entryIndex;
    uint8_t m_insideIndex = 0;
};
