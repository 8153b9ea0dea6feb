// The colouring's options, which --render and --movie read alike: the cap of
// the counts, the mode, the palette (a built-in's name, a .map file or the
// colours a picture records), the density and the offset.
#pragma once

#include "colouring.h"
#include "options.h"

class QCommandLineParser;

// The colouring the options give into colour, which stays as it is where none
// is given; given says whether one is.
OptionCheck readColouring(const QCommandLineParser& parser, const Options& options,
                          ColourChoice& colour, bool& given);

// The samples a pixel that a picture records, 1 if none.
OptionCheck recordedSamples(const PictureView& picture, int& samples);

// The colouring that a picture's recorded entries give, for a render of it
// with none of the options: its own, or why it cannot be read.
OptionCheck recordedColouring(const QString& fileName,
                              const std::map<std::string, std::string>& recorded,
                              ColourChoice& colour);
