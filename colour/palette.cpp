#include "palette.h"

#include "colourramp.h"
#include "picturereader.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <numbers>
#include <system_error>

#include <cerrno>
#include <unistd.h>

namespace {

// A built-in palette's entry i of 256, worked out from a formula.
using EntryFormula = Rgb (*)(int i);

// The unit interval as a byte, rounded to nearest.
uint8_t byteOf(double unit)
{
    return uint8_t(std::nearbyint(255 * std::clamp(unit, 0.0, 1.0)));
}

// Up from 0 at entry 0 to 1 at entry 128 and down again, so that the last
// entry leads back to the first without a seam when a colouring cycles.
double upAndDown(int i)
{
    return (i < 128 ? i : 256 - i) / 128.0;
}

Rgb rampEntry(int i)
{
    return rampColour(uint8_t(i));
}

// Black through red and yellow to white, and back.
Rgb fireEntry(int i)
{
    const double u = 3 * upAndDown(i);
    return {byteOf(u), byteOf(u - 1), byteOf(u - 2)};
}

// Black through blue and cyan to white, and back.
Rgb iceEntry(int i)
{
    const double u = 3 * upAndDown(i);
    return {byteOf(u - 2), byteOf(u - 1), byteOf(u)};
}

// Once round the hues: three cosine waves a third of a turn apart.
Rgb spectrumEntry(int i)
{
    const auto wave = [i](double thirds) {
        return byteOf(0.5 + 0.5 * std::cos(2 * std::numbers::pi * (i / 256.0 - thirds / 3)));
    };
    return {wave(0), wave(1), wave(2)};
}

// Black to white and back.
Rgb greyEntry(int i)
{
    const uint8_t level = byteOf(upAndDown(i));
    return {level, level, level};
}

struct BuiltIn {
    std::string_view name;
    EntryFormula entry;
};

constexpr std::array<BuiltIn, 5> builtIns{{
    {"ramp", rampEntry},
    {"fire", fireEntry},
    {"ice", iceEntry},
    {"spectrum", spectrumEntry},
    {"grey", greyEntry},
}};

PaletteRead refusedMap(std::string line)
{
    return {std::nullopt, std::move(line)};
}

std::string onLine(std::size_t line, const std::string& what)
{
    return "line " + std::to_string(line) + ": " + what;
}

// Tab, and LF or CR LF at a line's end, are the only control characters of
// a .map file.
bool isText(std::string_view bytes)
{
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        const bool lineEnd =
            c == '\n' || (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n');
        if ((c < 0x20 && c != '\t' && !lineEnd) || c == 0x7f)
            return false;
    }
    return true;
}

// The next run of characters between spaces and tabs, from at; empty at the
// line's end.
std::string_view nextWord(std::string_view line, std::size_t& at)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (at < line.size() && blank(line[at]))
        ++at;
    const std::size_t start = at;
    while (at < line.size() && !blank(line[at]))
        ++at;
    return line.substr(start, at - start);
}

// A word as a refusal quotes it: a long one cut short.
std::string shownWord(std::string_view word)
{
    constexpr std::size_t longest = 12;
    return word.size() <= longest ? std::string(word)
                                  : std::string(word.substr(0, longest)) + "...";
}

// The colour a line holds, or why not (fault set). A line of spaces and
// tabs alone holds neither.
std::optional<Rgb> colourOfLine(std::string_view line, std::size_t number, std::string& fault)
{
    std::size_t at = 0;
    uint8_t channels[3];
    for (int k = 0; k < 3; ++k) {
        const std::string_view word = nextWord(line, at);
        if (word.empty() && k == 0)
            return std::nullopt;
        long value = 0;
        const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
        const bool whole = end == word.data() + word.size();
        if (word.empty() || !whole || error == std::errc::invalid_argument) {
            fault = onLine(number, "a line holds three numbers, red, green and blue");
            return std::nullopt;
        }
        if (error == std::errc::result_out_of_range || value < 0 || value > 255) {
            fault = onLine(number, shownWord(word) + " is not a colour value from 0 to 255");
            return std::nullopt;
        }
        channels[k] = uint8_t(value);
    }
    return Rgb{channels[0], channels[1], channels[2]};
}

// Reads at most limit bytes of fd into bytes, and one more to tell whether
// there are more: false if there are (or on an error, set to the errno).
bool readAtMost(int fd, std::size_t limit, std::string& bytes, int& error)
{
    bytes.resize(limit + 1);
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t count = ::read(fd, bytes.data() + filled, bytes.size() - filled);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            error = errno;
        if (count <= 0)
            break;
        filled += std::size_t(count);
    }
    bytes.resize(filled);
    return error == 0 && filled <= limit;
}

std::string openRefusal(const picture::Read& refusal)
{
    using picture::Fault;
    switch (refusal.fault) {
    case Fault::folder:
        return "it is a folder";
    case Fault::notRegularFile:
        return "it is not a regular file";
    default:
        return std::generic_category().message(refusal.error);
    }
}

} // namespace

Rgb rampColour(uint8_t level)
{
    const uint32_t packed = colourOfLevel(level);
    return {uint8_t(packed), uint8_t(packed >> 8), uint8_t(packed >> 16)};
}

std::optional<Palette> builtInPalette(std::string_view name)
{
    for (const BuiltIn& builtIn : builtIns) {
        if (builtIn.name != name)
            continue;
        Palette palette{std::string(name), std::vector<Rgb>(mostPaletteEntries), Rgb{}};
        for (std::size_t i = 0; i < mostPaletteEntries; ++i)
            palette.entries[i] = builtIn.entry(int(i));
        return palette;
    }
    return std::nullopt;
}

std::vector<std::string_view> builtInPaletteNames()
{
    std::vector<std::string_view> names;
    for (const BuiltIn& builtIn : builtIns)
        names.push_back(builtIn.name);
    return names;
}

PaletteRead readMap(std::string_view bytes, std::string name)
{
    if (!isText(bytes))
        return refusedMap("it is not a text file");
    Palette palette{std::move(name), {}, Rgb{}};
    std::size_t number = 0;
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t end = std::min(bytes.find('\n', start), bytes.size());
        std::string_view line = bytes.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        std::string fault;
        const std::optional<Rgb> colour = colourOfLine(line, number, fault);
        if (!fault.empty())
            return refusedMap(fault);
        if (!colour)
            continue;
        if (palette.entries.size() == mostPaletteEntries)
            return refusedMap(onLine(number, "a palette has at most " +
                                                 std::to_string(mostPaletteEntries) + " colours"));
        palette.entries.push_back(*colour);
    }
    if (palette.entries.empty())
        return refusedMap("it holds no colours");
    return {std::move(palette), {}};
}

PaletteRead readMapFile(const char* path)
{
    picture::Read opened;
    const int fd = picture::openPicture(path, true, opened);
    if (fd < 0)
        return refusedMap(openRefusal(opened));
    std::string bytes;
    int error = 0;
    const bool whole = readAtMost(fd, longestMapFile, bytes, error);
    ::close(fd);
    if (error != 0)
        return refusedMap(std::generic_category().message(error));
    if (!whole)
        return refusedMap("it is longer than " + std::to_string(longestMapFile >> 10) +
                          " KiB, more than a palette takes");
    return readMap(bytes, path);
}
