// What the program has made that must not outlive it: temporary files, a
// folder it created that may still be empty, and child processes. Each is
// registered as it is made and let go once it is the user's (a temporary file
// renamed into place) or gone (a child reaped). Every way out walks the one
// list: a normal end, an error, an exception and a stop signal alike, the
// last from a signal handler too, where only async-signal-safe calls are made.
#pragma once

#include <sys/types.h>

namespace leftovers {

// A registration, or none (-1).
using Ticket = int;

// A file to remove, a folder to remove if it is empty, a child to kill and
// reap. The path is copied; none is registered (-1) if the list is full or the
// path is longer than any the system takes.
Ticket addFile(const char* path);
Ticket addFolder(const char* path);
Ticket addChild(pid_t pid);
// Lets go of a registration; none does nothing.
void release(Ticket ticket);

// Kills and reaps the children, then removes the files and the empty folders,
// and lets go of them all. Async-signal-safe, and safe to call more than once.
void removeAll();

} // namespace leftovers
