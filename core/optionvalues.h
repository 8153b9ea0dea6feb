// The values of options, read whole: numbers with nothing around them, and a
// size WIDTHxHEIGHT.
#pragma once

#include <QSize>
#include <QString>

#include <optional>

// A whole number from first to last.
std::optional<int> wholeNumber(const QString& text, int first, int last);
// A finite number above 0 and at most last.
std::optional<double> positiveNumber(const QString& text, double last);
// A finite number.
std::optional<double> finiteNumber(const QString& text);
// WIDTHxHEIGHT (or WIDTHXHEIGHT), each a whole number from 1 to largest.
std::optional<QSize> sizeValue(const QString& text, int largest);
