// What the commands that run without a window (--render, --movie) share: the
// standard streams kept open, the stop signals caught, and the one way out,
// by the signal that stopped them, an error or the end.
#pragma once

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
// for ever.
void setEndAtOnce(bool atOnce);

// Whether a progress line is drawn on stderr and not ended: a stop ends it
// first. Async-signal-safe.
void setProgressLineOpen(bool open);
bool progressLineOpen();

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
