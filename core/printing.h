// What the program says on its standard streams: text written whole, and the
// one line of an error, which the command line and the window's start-up both
// print.
#pragma once

#include <QString>

#include <cstdio>

// Writes text to stream and flushes it; false, with errno set, if it could
// not be written whole.
bool printText(std::FILE* stream, const QString& text);

// Prints "Quenthar: " and line on stderr, as one line.
void printErrorLine(const QString& line);
