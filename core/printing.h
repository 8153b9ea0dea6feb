// What the program says on its standard streams: text written whole, and the
// one line of an error, which the command line and the window's start-up both
// print.
#pragma once

#include <QString>

#include <cstdio>

// Writes text to stream and flushes it; false, with errno set, if it could
// not be written whole.
bool printText(std::FILE* stream, const QString& text);

// "Quenthar: " and line, and the end of the line: the one line of an error.
QString errorLine(const QString& line);
// Prints it on stderr.
void printErrorLine(const QString& line);

// The same, and returns status: what a command that runs without a window
// says before it ends with status.
int failWith(const QString& line, int status = 1);
// The same with status 2: what the command line asks for cannot be done, and
// nothing is written.
int refuseWith(const QString& line);
// Prints the option lines of a check on stdout: 0, or 1 with the reason if
// they could not be written.
int printOptions(const QString& lines);
// A file's name as a message quotes it: 'name', escaped.
QString quoted(const QString& fileName);
// A file that cannot be written, quoted as outside text, and why.
int cannotWrite(const QString& fileName, const QString& reason, int status = 1);
