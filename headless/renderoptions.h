// --render: the file to write and the picture's size and view.
#pragma once

#include "options.h"
#include "render.h"

#include <QSize>

class QCommandLineParser;

// --size, if given, into size; --quiet into quiet. Shared with --movie.
OptionCheck readPictureSize(const QCommandLineParser& parser, const Options& options, QSize& size,
                            bool& quiet);

OptionCheck readRender(const QCommandLineParser& parser, const Options& options, QString& file,
                       RenderJob& job, bool& quiet);
