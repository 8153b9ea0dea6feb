// What the commands that run without a window (--render, --movie) share: the
// standard streams kept open, the stop signals caught, and the end by the
// signal that stopped them.
#pragma once

#include "render.h"

#include <QString>

#include <atomic>
#include <functional>

// Keeps the standard streams open (a closed one would be the descriptor of
// the next file opened, and a message meant for it would land there), and
// turns Ctrl+C, SIGTERM and a closed terminal into a raised stopFlag(); a
// second one ends the program at once, by endByStopSignal()'s way. A pipe
// whose reader has gone then fails a write instead of ending the program.
void startCommand();

// Raised by a stop signal.
const std::atomic<bool>& stopFlag();

// While set, a stop signal ends the program at once instead: the output is
// written in place (a FIFO, a pipe, standard output), where a write may block
// for ever. It ends a progress line shown on stderr first.
void setEndAtOnce(bool atOnce);

// Runs command, a command without a window, and returns its status; what the
// system could not give it (memory, a thread) ends it in one line and status
// 1. However it ends, its temporary files and children (leftovers.h) are gone
// on the way out.
int runCommand(const std::function<int()>& command);

// The line a stop prints before it ends the program, e.g. how far a movie
// came; none if empty.
void setStopLine(const QString& line);

// Ends the program as the stop signal would have ended it: its temporary
// files and children gone, the progress line ended, then the stop line.
[[noreturn]] void endByStopSignal();

// Prints "Quenthar: " and line on stderr and returns status.
int failWith(const QString& line, int status = 1);
// The same with status 2: what the command line asks for cannot be done, and
// nothing is written.
int refuseWith(const QString& line);
// A file's name as a message quotes it: 'name', escaped.
QString quoted(const QString& fileName);

// A file that cannot be written, quoted as outside text, and why.
int cannotWrite(const QString& fileName, const QString& reason, int status = 1);

// The status of a render into fileName that ended with outcome, after the
// line that says why; a stop signal ends the program. writeError is why a
// write failed.
int renderEnd(Render::Outcome outcome, const QString& fileName, const QString& writeError);
