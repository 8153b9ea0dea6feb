// The view as text: four numbers that read back as the very same doubles,
// and the text entries that a saved picture carries.
#pragma once

#include "picturescan.h"
#include "viewmath.h"
#include "viewstate.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The shortest decimal that reads back as the same double.
std::string formatNumber(double value);
// "LEFT,TOP,WIDTH,HEIGHT", each as formatNumber writes it.
std::string formatView(const View& view);

struct ViewParse {
    View view;
    ViewError error = ViewError::none;
    // The field at fault, 0 to 3 (left, top, width, height), and its text.
    int field = -1;
    std::string fieldText;
    // The size in pixels the view was checked for.
    int columns = picture::columns;
    int rows = picture::rows;

    bool ok() const { return error == ViewError::none; }
    // What is wrong, in one English phrase, e.g. "the width '0' is not a
    // positive number".
    std::string reason() const;
};

// Reads four comma-separated numbers in any form std::from_chars reads
// (fixed, scientific, "inf", "nan"), with no spaces, and checks that the
// view can be drawn on columns x rows pixels (isDrawable).
ViewParse parseView(std::string_view text, int columns = picture::columns,
                    int rows = picture::rows);

// The text entries of a saved picture, in the order they are written. The
// view's entry reads back with parseView. The picture of a pass that was
// stopped says so in its title and description, and in an entry of its own.
struct PictureText {
    const char* key;
    std::string value;
};
std::vector<PictureText> pictureTexts(const View& view, bool finished = true);
inline constexpr const char* viewKey = "View";
// A movie's frame records its movie's rate, frames a second, beside its view.
inline constexpr const char* frameRateKey = "FrameRate";
// A picture of several samples a pixel records N, for N x N of them.
inline constexpr const char* samplesKey = "Samples";
// A picture coloured otherwise than the window's ramp to Engine's cap records
// its colouring (colourtexts.h): the cap, the mode, the palette, the density
// and the offset.
inline constexpr const char* iterationsKey = "Iterations";
inline constexpr const char* colourKey = "Colour";
inline constexpr const char* paletteKey = "Palette";
inline constexpr const char* densityKey = "Density";
inline constexpr const char* offsetKey = "Offset";
// The entries beside the view that record what made a picture, which a
// picture's reader keeps: each at most longestRecorded bytes.
inline constexpr const char* recordedKeys[] = {frameRateKey, samplesKey, iterationsKey, colourKey,
                                               paletteKey,   densityKey, offsetKey};
inline constexpr std::size_t longestRecorded = 8192;
inline constexpr const char* unfinishedKey = "Unfinished";
inline constexpr const char* unfinishedText =
    "the drawing was stopped before every pixel was drawn";
