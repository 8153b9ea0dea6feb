// --render: the file to write, the picture's size and view, and whether the
// progress is silenced.
#pragma once

#include "options.h"
#include "rendercommand.h"

class QCommandLineParser;

OptionCheck readRender(const QCommandLineParser& parser, const Options& options,
                       RenderCommand& render);
