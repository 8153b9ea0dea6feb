#include "movieframes.h"

#include "atomicfile.h"
#include "colourtexts.h"
#include "framereader.h"
#include "localfiles.h"
#include "optionvalues.h"
#include "outsidetext.h"
#include "printing.h"
#include "viewtext.h"

#include <QRegularExpression>

#include <cerrno>
#include <vector>

#include <unistd.h>

namespace {

// A frame read back looks at the stop flag this often.
constexpr int rowsBetweenStops = 64;

} // namespace

int frameDigits(int frames)
{
    return int(QString::number(std::max(frames - 1, 0)).size());
}

QString frameFileNameOfDigits(int frame, int digits)
{
    return QStringLiteral("frame-%1.png").arg(frame, digits, 10, QLatin1Char('0'));
}

QString frameFileName(int frame, int frames)
{
    return frameFileNameOfDigits(frame, frameDigits(frames));
}

QString colouringText(const std::vector<PictureText>& entries)
{
    QStringList parts;
    for (const PictureText& entry : entries)
        parts << QStringLiteral("%1=%2").arg(QLatin1String(entry.key),
                                             shownText(QString::fromStdString(entry.value)));
    return parts.isEmpty() ? QStringLiteral("the window's") : parts.join(QLatin1Char(' '));
}

std::vector<PictureText> recordedColouring(const FrameReader& reader)
{
    std::vector<PictureText> entries;
    for (const char* key : {iterationsKey, colourKey, paletteKey, densityKey, offsetKey}) {
        const std::string value = reader.recorded(key);
        if (!value.empty())
            entries.push_back({key, value});
    }
    return entries;
}

int recordedSamples(const std::string& text)
{
    if (text.empty())
        return 1;
    const std::optional<int> samples =
        wholeNumber(QString::fromStdString(text), 1, RenderJob::mostSamples);
    return samples.value_or(0);
}

QString samplesText(int samples)
{
    return samples > 0 ? QStringLiteral("%1x%1").arg(samples) : QStringLiteral("unreadable");
}

QString notAFrame(const QString& fileName)
{
    return QStringLiteral("%1 is not a regular file: it cannot be a frame").arg(quoted(fileName));
}

QString cannotReadFrame(const QString& fileName, const QString& reason)
{
    return QStringLiteral("cannot read the frame %1: %2").arg(quoted(fileName), shownText(reason));
}

std::optional<FrameNumber> frameNumber(const QString& fileName)
{
    static const QRegularExpression pattern(QStringLiteral("^frame-([0-9]{1,9})\\.png$"));
    const QRegularExpressionMatch match = pattern.match(fileName);
    if (!match.hasMatch())
        return std::nullopt;
    return FrameNumber{match.captured(1).toInt(), int(match.capturedLength(1))};
}

namespace {

// Whether the frame, read up to its pixels, is of the movie's size, view,
// rate, samples and colouring: stale until it is read whole, or else what it
// is instead.
bool ofThisMovie(const FrameReader& frame, const RenderJob& job, FrameCheck& check)
{
    check.size = frame.size();
    check.samples = recordedSamples(frame.samples());
    const std::vector<PictureText> colouring = recordedColouring(frame);
    check.colouring = colouringText(colouring);
    if (check.size != QSize(job.width, job.height))
        check.state = FrameCheck::State::otherSize;
    else if (frame.view() != formatView(job.view))
        check.state = FrameCheck::State::otherView;
    // A frame made before frames recorded their rate is this movie's too.
    else if (!frame.frameRate().empty() && frame.frameRate() != formatNumber(job.frameRate))
        check.state = FrameCheck::State::otherRate;
    else if (check.samples != job.samples)
        check.state = FrameCheck::State::otherSamples;
    else if (check.colouring != colouringText(colourTexts(job.colour)))
        check.state = FrameCheck::State::otherColouring;
    else
        check.state = FrameCheck::State::stale;
    check.view = QString::fromStdString(frame.view());
    check.frameRate = QString::fromStdString(frame.frameRate());
    return check.state == FrameCheck::State::stale;
}

} // namespace

FrameCheck checkFrame(const QString& fileName, const RenderJob& job, const std::atomic<bool>* stop,
                      bool rows)
{
    const QSize size(job.width, job.height);
    FrameCheck check;
    FrameReader frame(fileName);
    check.reason = frame.reason();
    switch (frame.kind()) {
    case FrameReader::Kind::missing:
        return check;
    case FrameReader::Kind::notFile:
        check.state = FrameCheck::State::notFile;
        return check;
    case FrameReader::Kind::damaged:
        check.state = FrameCheck::State::stale;
        return check;
    case FrameReader::Kind::picture:
        break;
    }
    if (!ofThisMovie(frame, job, check) || !rows)
        return check;
    std::vector<uint8_t> row(size_t(size.width()) * 3);
    for (int y = 0; y < size.height(); ++y) {
        if (y % rowsBetweenStops == 0 && stop && stop->load()) {
            check.state = FrameCheck::State::stopped;
            return check;
        }
        if (!frame.readRows(row.data(), 1)) {
            check.reason = frame.reason();
            return check;
        }
    }
    if (!frame.finish()) {
        check.reason = frame.reason();
        return check;
    }
    check.state = FrameCheck::State::whole;
    return check;
}

Render::Outcome writeFrame(const QString& fileName, Render& render, const RenderJob& job,
                           PixelSink* pixels, const std::function<void(int rows)>& progress,
                           const std::atomic<bool>* stop, QString* error)
{
    AtomicFile file(fileName, Links::keep);
    if (file.writesInPlace()) {
        *error = notRegularFile();
        return Render::Outcome::writeFailed;
    }
    if (!file.open()) {
        *error = file.errorString();
        return Render::Outcome::writeFailed;
    }
    const Render::Outcome outcome =
        render.run(job, {.png = &file, .pixels = pixels}, progress, stop);
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
