// Palettes: lists of 1 to 256 colours that a render's counts cycle through,
// built in by name or read from a .map file (a line "R G B" a colour).
// Standard C++ and POSIX only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;

    bool operator==(const Rgb&) const = default;
};

inline constexpr std::size_t mostPaletteEntries = 256;

struct Palette {
    // A built-in's name, or the name of the file it was read from as given.
    std::string name;
    // 1 to mostPaletteEntries colours.
    std::vector<Rgb> entries;
    // The colour of the points that never escaped.
    Rgb inside;

    // Two palettes are equal when they colour alike: the name says only
    // where one came from.
    bool operator==(const Palette& other) const
    {
        return entries == other.entries && inside == other.inside;
    }
};

// The colour of the window's ramp at level (core/colourramp.h).
Rgb rampColour(uint8_t level);

// The palette built in under name ("ramp", "fire", "ice", "spectrum",
// "grey"), or none. Each has 256 entries and a black inside colour; "ramp"
// is the window's black-to-yellow ramp, level by level.
std::optional<Palette> builtInPalette(std::string_view name);
// Their names, in the order --help lists them.
std::vector<std::string_view> builtInPaletteNames();

// A .map file is at most this long: 256 lines with comments take a few KiB.
inline constexpr std::size_t longestMapFile = 64 << 10;

// A palette read, or why not in one English line that follows "cannot read
// 'NAME': ", e.g. "line 12: 300 is not a colour value from 0 to 255".
struct PaletteRead {
    std::optional<Palette> palette;
    std::string refusal;
};

// The palette of a .map file's bytes, named name. A line holds red, green
// and blue, whole numbers from 0 to 255 written in decimal, separated by
// spaces or tabs; whatever follows the third number and a space or tab is a
// comment. Spaces and tabs may lead a line; lines that hold nothing else are
// skipped. Lines end in LF or CR LF, the last one maybe in neither. Any
// other control character (NUL, a CR alone) makes it no text file. 1 to 256
// colours; the inside colour is black.
PaletteRead readMap(std::string_view bytes, std::string name);

// The palette of the .map file at path (bytes, as the system takes them),
// named path. Anything but a regular file is refused unread, and a file
// longer than longestMapFile after reading no more than one byte beyond it.
PaletteRead readMapFile(const char* path);
