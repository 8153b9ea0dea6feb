// Quenthar --render: a render run as a command of its own, with no window
// system. The engine is bound as the window binds it; the picture goes to a
// temporary file beside its destination and is renamed into place only when
// complete; Ctrl+C, SIGTERM and a closed terminal remove what was written.
#pragma once

class CommandLine;

// Renders what commandLine asks for; it must have been parsed to Render.
// Returns the exit status: 0, or 1 with one line on stderr if the engine
// cannot be loaded or the file cannot be written. Interrupted, it removes its
// temporary file and ends by the signal that interrupted it.
int runRender(int argc, char* argv[], const CommandLine& commandLine);
