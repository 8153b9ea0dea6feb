// --render: the file to write and the picture's size and view.
#pragma once

#include "options.h"
#include "render.h"

#include <QSize>

class QCommandLineParser;

// --size, if given, into size; --quiet into quiet. Shared with --movie.
OptionCheck readPictureSize(const QCommandLineParser& parser, const Options& options, QSize& size,
                            bool& quiet);
// The view drawn on size: with --size, widened to its shape unless
// --stretch; refused if it cannot be drawn then.
OptionCheck fitView(const QCommandLineParser& parser, const Options& options, QSize size,
                    View& view);

OptionCheck readRender(const QCommandLineParser& parser, const Options& options, QString& file,
                       RenderJob& job, bool& quiet);
