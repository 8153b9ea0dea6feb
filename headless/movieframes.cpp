#include "movieframes.h"

#include "atomicfile.h"
#include "localfiles.h"
#include "pngreader.h"
#include "viewtext.h"

#include <QFile>
#include <QRegularExpression>

#include <vector>

int frameDigits(int frames)
{
    return int(QString::number(std::max(frames - 1, 0)).size());
}

QString frameFileName(int frame, int frames)
{
    return QStringLiteral("frame-%1.png").arg(frame, frameDigits(frames), 10, QLatin1Char('0'));
}

std::optional<FrameNumber> frameNumber(const QString& fileName)
{
    static const QRegularExpression pattern(QStringLiteral("^frame-([0-9]{1,9})\\.png$"));
    const QRegularExpressionMatch match = pattern.match(fileName);
    if (!match.hasMatch())
        return std::nullopt;
    return FrameNumber{match.captured(1).toInt(), int(match.capturedLength(1))};
}

FrameCheck checkFrame(const QString& fileName, QSize size, const View& view)
{
    FrameCheck check;
    switch (fileKind(fileName)) {
    case FileKind::missing:
        return check;
    case FileKind::regular:
        break;
    case FileKind::folder:
    case FileKind::other:
        check.state = FrameCheck::State::notFile;
        return check;
    }
    check.state = FrameCheck::State::stale;
    QFile file;
    if (const std::optional<QString> error = openRegularFile(file, fileName)) {
        check.reason = *error;
        return check;
    }
    PngReader reader(file);
    if (!reader.begin()) {
        check.reason = reader.errorString();
        return check;
    }
    check.size = QSize(reader.width(), reader.height());
    if (check.size != size) {
        check.state = FrameCheck::State::otherSize;
        return check;
    }
    if (reader.view() != formatView(view)) {
        check.reason = QStringLiteral("another view");
        return check;
    }
    std::vector<uint8_t> row(size_t(reader.width()) * 3);
    for (int y = 0; y < reader.height(); ++y)
        if (!reader.readRow(row.data())) {
            check.reason = reader.errorString();
            return check;
        }
    if (!reader.finish()) {
        check.reason = reader.errorString();
        return check;
    }
    check.state = FrameCheck::State::whole;
    return check;
}

Render::Outcome writeFrame(const QString& fileName, Render& render, const RenderJob& job,
                           const std::function<void(int rows)>& progress,
                           const std::atomic<bool>* stop, QString* error)
{
    AtomicFile file(fileName);
    if (!file.open()) {
        *error = file.errorString();
        return Render::Outcome::writeFailed;
    }
    const Render::Outcome outcome = render.run(job, file, progress, stop);
    if (outcome == Render::Outcome::writeFailed)
        *error = render.errorString();
    if (outcome != Render::Outcome::done) {
        file.discard();
        return outcome;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return Render::Outcome::writeFailed;
    }
    return outcome;
}
