// The window's mode: the view it opens, which --render draws too.
#pragma once

#include "options.h"
#include "viewstate.h"

#include <optional>

class QCommandLineParser;

// The view given with --view or as a picture saved by Quenthar, if any,
// drawable on columns x rows pixels.
OptionCheck readStartView(const QCommandLineParser& parser, const Options& options, int columns,
                          int rows, std::optional<View>& view);

// The window's options: none of a render's or a movie's, and the view.
OptionCheck readWindow(const QCommandLineParser& parser, const Options& options,
                       std::optional<View>& view);
