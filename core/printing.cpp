#include "printing.h"

#include "outsidetext.h"

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

int failWith(const QString& line, int status)
{
    printErrorLine(line);
    return status;
}

int refuseWith(const QString& line)
{
    return failWith(line, 2);
}

QString quoted(const QString& fileName)
{
    return QLatin1Char('\'') + shownText(fileName) + QLatin1Char('\'');
}

int cannotWrite(const QString& fileName, const QString& reason, int status)
{
    return failWith(QStringLiteral("cannot write %1: %2").arg(quoted(fileName), reason), status);
}
