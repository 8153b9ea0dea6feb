// --movie VIDEO --frames-from DIR: the frames to join, and the movie they
// must be if its options are given.
#pragma once

#include "moviejob.h"
#include "options.h"

class QCommandLineParser;

// Reads the join into job, whose OUT, rate and length are read already.
OptionCheck readJoin(const QCommandLineParser& parser, const Options& options, MovieJob& job);
