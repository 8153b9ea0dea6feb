#include "printing.h"

#include "localfiles.h"
#include "outsidetext.h"

#include <cerrno>

bool printText(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    errno = 0;
    const bool written = std::fputs(bytes.constData(), stream) >= 0;
    return std::fflush(stream) == 0 && written;
}

QString errorLine(const QString& line)
{
    return QStringLiteral("Quenthar: %1\n").arg(line);
}

void printErrorLine(const QString& line)
{
    printText(stderr, errorLine(line));
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

int printOptions(const QString& lines)
{
    if (!printText(stdout, lines))
        return failWith(QStringLiteral("cannot write the options: %1").arg(systemError(errno)));
    return 0;
}

QString quoted(const QString& fileName)
{
    return QLatin1Char('\'') + shownText(fileName) + QLatin1Char('\'');
}

int cannotWrite(const QString& fileName, const QString& reason, int status)
{
    return failWith(QStringLiteral("cannot write %1: %2").arg(quoted(fileName), reason), status);
}
