// --movie: a zoom movie to draw into a folder of frames or a video, or the
// frames of one joined into a video (--frames-from), every option of either
// read here.
#pragma once

#include "moviejob.h"
#include "options.h"

class QCommandLineParser;

OptionCheck readMovie(const QCommandLineParser& parser, const Options& options, MovieJob& job);
