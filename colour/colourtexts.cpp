#include "colourtexts.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

// The entries in the order they are written.
enum Entry { iterations, colour, palette, density, offset, entries };
constexpr std::array<const char*, entries> entryKeys{iterationsKey, colourKey, paletteKey,
                                                     densityKey, offsetKey};

constexpr char hexDigits[] = "0123456789abcdef";
constexpr char colourSeparator = ',';
constexpr char insideSeparator = '/';

void appendHex(std::string& text, Rgb colour)
{
    for (const uint8_t channel : {colour.r, colour.g, colour.b}) {
        text += hexDigits[channel >> 4];
        text += hexDigits[channel & 15];
    }
}

// Six hex digits, either case, as a colour.
std::optional<Rgb> colourOfHex(std::string_view hex)
{
    if (hex.size() != 6)
        return std::nullopt;
    uint8_t channels[3];
    for (std::size_t k = 0; k < 3; ++k) {
        const char* first = hex.data() + 2 * k;
        if (std::from_chars(first, first + 2, channels[k], 16).ptr != first + 2)
            return std::nullopt;
    }
    return Rgb{channels[0], channels[1], channels[2]};
}

// A number that is the whole of text.
template <typename Number> std::optional<Number> numberOf(std::string_view text)
{
    Number number{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return number;
}

std::string refusedValue(Entry entry, std::string_view value, const std::string& expected)
{
    constexpr std::size_t longestShown = 24;
    const std::string shown = value.size() <= longestShown
                                  ? std::string(value)
                                  : std::string(value.substr(0, longestShown)) + "...";
    return std::string(entryKeys[entry]) + ": '" + shown + "' is not " + expected;
}

std::string modeChoices()
{
    const std::vector<std::string_view> names = colourModeNames();
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + std::string(names[i]);
    return text;
}

using Values = std::array<std::optional<std::string_view>, entries>;

// Sets choice's mode and cap from values, or says what is wrong.
std::string readModeAndCap(const Values& values, ColourChoice& choice)
{
    if (values[iterations]) {
        const auto cap = numberOf<int32_t>(*values[iterations]);
        if (!cap || *cap < 1 || *cap > maxLaneCap)
            return refusedValue(iterations, *values[iterations],
                                "a whole number from 1 to " + std::to_string(maxLaneCap));
        choice.cap = *cap;
    }
    if (values[colour]) {
        const std::optional<ColourMode> mode = colourModeNamed(*values[colour]);
        if (!mode)
            return refusedValue(colour, *values[colour], modeChoices());
        choice.mode = *mode;
    }
    return {};
}

// Sets choice's palette, density and offset from values, or says what is
// wrong.
std::string readPaletteAndPlaces(const Values& values, ColourChoice& choice)
{
    for (const Entry entry : {palette, density, offset})
        if (values[entry] && choice.mode == ColourMode::ramp)
            return std::string(entryKeys[entry]) + ": recorded beside the ramp, which takes no " +
                   "palette, density or offset";
    if (values[palette]) {
        std::optional<Palette> read = paletteOfText(*values[palette]);
        if (!read)
            return refusedValue(palette, *values[palette],
                                "a built-in palette's name nor colours of six hex digits each");
        choice.palette = std::move(*read);
    }
    if (values[density]) {
        const auto read = numberOf<double>(*values[density]);
        if (!read || !(*read > 0) || !std::isfinite(*read))
            return refusedValue(density, *values[density], "a finite number above 0");
        choice.density = *read;
    }
    if (values[offset]) {
        const auto read = numberOf<double>(*values[offset]);
        if (!read || !std::isfinite(*read))
            return refusedValue(offset, *values[offset], "a finite number");
        choice.offset = *read;
    }
    return {};
}

} // namespace

std::string paletteText(const Palette& palette)
{
    const std::optional<Palette> builtIn = builtInPalette(palette.name);
    if (builtIn && *builtIn == palette)
        return palette.name;
    std::string text;
    for (const Rgb& entry : palette.entries) {
        if (!text.empty())
            text += colourSeparator;
        appendHex(text, entry);
    }
    if (palette.inside != Rgb{}) {
        text += insideSeparator;
        appendHex(text, palette.inside);
    }
    return text;
}

std::optional<Palette> paletteOfText(std::string_view text)
{
    if (std::optional<Palette> builtIn = builtInPalette(text))
        return builtIn;
    Palette palette;
    const std::size_t slash = text.find(insideSeparator);
    if (slash != text.npos) {
        const std::optional<Rgb> inside = colourOfHex(text.substr(slash + 1));
        if (!inside)
            return std::nullopt;
        palette.inside = *inside;
        text = text.substr(0, slash);
    }
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find(colourSeparator, start), text.size());
        const std::optional<Rgb> entry = colourOfHex(text.substr(start, end - start));
        if (!entry || palette.entries.size() == mostPaletteEntries)
            return std::nullopt;
        palette.entries.push_back(*entry);
        start = end + 1;
    }
    return palette;
}

std::vector<PictureText> colourTexts(const ColourChoice& choice)
{
    std::vector<PictureText> texts;
    if (choice.cap != defaultCap)
        texts.push_back({iterationsKey, std::to_string(choice.cap)});
    if (choice.mode == ColourMode::ramp)
        return texts;
    texts.push_back({colourKey, std::string(colourModeName(choice.mode))});
    if (!(choice.palette == *builtInPalette(defaultPaletteName)))
        texts.push_back({paletteKey, paletteText(choice.palette)});
    if (choice.density != defaultDensity)
        texts.push_back({densityKey, formatNumber(choice.density)});
    if (choice.offset != defaultOffset)
        texts.push_back({offsetKey, formatNumber(choice.offset)});
    return texts;
}

ColourTextsParse parseColourTexts(std::span<const PictureText> texts)
{
    ColourTextsParse parse;
    Values values;
    for (const PictureText& text : texts) {
        for (std::size_t entry = 0; entry < entries; ++entry) {
            if (std::strcmp(text.key, entryKeys[entry]) != 0)
                continue;
            const std::string key = entryKeys[entry];
            if (values[entry])
                parse.refusal = key + ": recorded more than once";
            else if (text.value.size() > longestColourText)
                parse.refusal = key + ": " + std::to_string(text.value.size()) +
                                " bytes, longer than a colouring's entry can be";
            if (!parse.ok())
                return parse;
            values[entry] = text.value;
        }
    }
    parse.refusal = readModeAndCap(values, parse.choice);
    if (parse.ok())
        parse.refusal = readPaletteAndPlaces(values, parse.choice);
    if (parse.ok() && !choiceFault(parse.choice).empty())
        parse.refusal = std::string(densityKey) + ": " + choiceFault(parse.choice);
    return parse;
}
