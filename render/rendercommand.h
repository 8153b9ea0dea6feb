// Quenthar --render: a render run as a command of its own, with no window
// system. The counts are Engine's, worked out by the lane kernel without
// loading the engine library; the picture is written through an AtomicFile,
// so a regular file is replaced only when complete; Ctrl+C, SIGTERM and a
// closed terminal remove what was written, and end the program at once when
// it writes a pipe, a FIFO or a device.
#pragma once

#include "render.h"

#include <QString>

// What --render draws: the file to write, the picture's view and size, and
// whether the progress is silenced.
struct RenderCommand {
    QString file;
    RenderJob job;
    bool quiet = false;
};

// Renders render on threads. Returns the exit status: 0, or 1 with one line
// on stderr if the file cannot be written (naming the file and the system's
// reason). Interrupted, it removes its temporary file and ends by the signal
// that interrupted it.
int runRender(int argc, char* argv[], const RenderCommand& render, int threads);
