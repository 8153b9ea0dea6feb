// The window's mode: the view it opens, if any, and none of the options of
// --render or --movie.
#pragma once

#include "options.h"
#include "viewstate.h"

#include <optional>

class QCommandLineParser;

OptionCheck readWindow(const QCommandLineParser& parser, const Options& options,
                       std::optional<View>& view);
