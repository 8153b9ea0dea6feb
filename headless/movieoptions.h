// --movie: what every movie reads (OUT, its rate and length, the size a video
// takes), then the views and frames of a movie to render; a join of frames
// into a video reads the rest apart (joinoptions.h).
#pragma once

#include "moviejob.h"
#include "options.h"

class QCommandLineParser;

// Reads the movie into job, whose size and quiet flag are set already.
OptionCheck readMovie(const QCommandLineParser& parser, const Options& options, MovieJob& job);

// --from (if given) and --to into job, as views or saved pictures, each
// drawable at the movie's size.
OptionCheck readMovieViews(const QCommandLineParser& parser, const Options& options, MovieJob& job);
