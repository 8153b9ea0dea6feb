// A colouring as the text entries a picture records beside its view, and
// read back from them, so that the picture's colours can be made again.
#pragma once

#include "colouring.h"
#include "viewtext.h"

#include <span>
#include <string>
#include <vector>

// The entries (viewtext.h): the cap, e.g. "5000"; the mode's name, "cycle"
// or "smooth"; a built-in palette's name, e.g. "ice", or the palette's
// colours as six lower-case hex digits each (red, green, blue), separated by
// commas, e.g. "000000,ff8000,ffffff", followed by "/" and the inside colour
// where that is not black; the density and the offset, numbers written as
// formatNumber writes them, e.g. "0.25", "-3".

// A recorded text is refused unread beyond this length: a palette of 256
// colours and an inside colour take 1,798 bytes.
inline constexpr std::size_t longestColourText = 2048;

// A palette as the Palette entry records it: a built-in's name, or its
// colours; and back, refused (none) if it is neither.
std::string paletteText(const Palette& palette);
std::optional<Palette> paletteOfText(std::string_view text);

// The entries that record choice, in the order above, each only where it is
// not the default: none for the ramp to Engine's cap. A ramp's palette,
// density and offset are not its own and are not recorded.
std::vector<PictureText> colourTexts(const ColourChoice& choice);

struct ColourTextsParse {
    ColourChoice choice;
    // What is wrong, naming the entry, e.g. "Density: '-1' is not a finite
    // number above 0", or nothing.
    std::string refusal;

    bool ok() const { return refusal.empty(); }
};

// The choice that texts record: the entries above are read, any other is
// left alone, and an entry not there is the default. A palette given by its
// colours has no name. Refused: an entry recorded twice or too long, a value
// that does not read as the entry's, a palette, density or offset beside
// the ramp, and a choice choiceFault finds wrong.
ColourTextsParse parseColourTexts(std::span<const PictureText> texts);
