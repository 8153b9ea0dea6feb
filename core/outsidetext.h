// Text from outside the program, a file's name or a text read from a file,
// kept exactly and shown safely.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// A file name as the system holds it, bytes that need not be UTF-8, as a
// string and back, losing nothing: valid UTF-8 is decoded as usual, and each
// byte of an invalid sequence becomes the lone surrogate U+DC00 + byte, which
// valid UTF-8 never yields.
QString fileNameFromBytes(QByteArrayView bytes);
QByteArray fileNameToBytes(QStringView name);

// Outside text as a message shows it: on one line, with control characters
// (C0, DEL, C1) and the bytes of a name that are not UTF-8 written as escapes
// (\n, \t, \x1b, \u0085, \xe9), and cut to maxLength characters or fewer,
// ending in "..." where it was cut.
QString shownText(QStringView text, qsizetype maxLength = 100);
