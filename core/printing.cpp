#include "printing.h"

#include <cerrno>

bool printText(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    errno = 0;
    const bool written = std::fputs(bytes.constData(), stream) >= 0;
    return std::fflush(stream) == 0 && written;
}

void printErrorLine(const QString& line)
{
    printText(stderr, QStringLiteral("Quenthar: %1\n").arg(line));
}
