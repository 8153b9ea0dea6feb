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
// whether the progress is silenced. With some of the picture's rows, the file
// is a part of its PNG (pngparts.h) in the folder partsFolder; with parts,
// the file is written from the parts in that folder instead.
struct RenderCommand {
    QString file;
    RenderJob job;
    bool quiet = false;
    QString partsFolder;
    bool joinParts = false;
    // Only check the options and OUT, and print the picture's options in
    // full.
    bool check = false;

    // The picture's options in full, one a line ("--view=...", "--size=...",
    // "--stretch", and the samples and the colouring where not the
    // default's), the view as it is drawn: what makes this very picture
    // again.
    QString optionLines() const;

    // The name of the part of rows first to last of a picture of height rows,
    // numbered with as many digits as its last row, so that the names sort.
    static QString partName(int first, int last, int height);
};

// Renders render on threads. Returns the exit status: 0, or 1 with one line
// on stderr if the file cannot be written (naming the file and the system's
// reason). Interrupted, it removes its temporary file and ends by the signal
// that interrupted it.
int runRender(int argc, char* argv[], const RenderCommand& render, int threads);
