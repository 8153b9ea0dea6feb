#include "movievideo.h"

#include "framereader.h"
#include "localfiles.h"
#include "movieprogress.h"
#include "printing.h"
#include "stopsignals.h"

#include <algorithm>
#include <vector>

namespace {

// Frames are read back about a render's band at a time.
constexpr int pixelsAtOnce = 1 << 18;

int cannotMake(const QString& fileName, const QString& reason)
{
    return failWith(QStringLiteral("cannot make the video %1: %2").arg(quoted(fileName), reason));
}

} // namespace

int openVideo(VideoEncoder& encoder, const QString& fileName)
{
    if (fileKind(fileName) == FileKind::folder)
        return refuseWith(
            QStringLiteral("cannot write the video %1: it is a folder").arg(quoted(fileName)));
    if (const std::optional<QString> error = encoder.open())
        return cannotWrite(fileName, *error, 2);
    return 0;
}

int startFfmpeg(VideoEncoder& encoder, const QString& fileName)
{
    const QString ffmpeg = VideoEncoder::findFfmpeg();
    if (ffmpeg.isEmpty())
        return cannotMake(fileName, QStringLiteral("ffmpeg is not on PATH (install it, or give a "
                                                   "folder for the frames)"));
    if (!encoder.start(ffmpeg))
        return cannotMake(fileName, encoder.errorString());
    return 0;
}

int startVideo(VideoEncoder& encoder, const QString& fileName)
{
    if (const int status = openVideo(encoder, fileName))
        return status;
    return startFfmpeg(encoder, fileName);
}

std::optional<QString> pipeFrame(const QString& fileName, QSize size, VideoEncoder& encoder)
{
    FrameReader reader(fileName);
    if (reader.kind() != FrameReader::Kind::picture || reader.size() != size)
        return reader.reason().isEmpty() ? QStringLiteral("it changed while it was read")
                                         : reader.reason();
    const int rows = std::clamp(pixelsAtOnce / size.width(), 1, size.height());
    std::vector<uint8_t> rgb(size_t(rows) * size_t(size.width()) * 3);
    for (int row = 0; row < size.height(); row += rows) {
        const int count = std::min(rows, size.height() - row);
        if (!reader.readRows(rgb.data(), count))
            return reader.reason();
        if (!encoder.writeRows(rgb.data(), count))
            return std::nullopt;
    }
    if (!reader.finish())
        return reader.reason();
    return std::nullopt;
}

int finishVideo(VideoEncoder& encoder, const QString& fileName, MovieProgress& progress)
{
    if (stopFlag() || !encoder.finish([&] { progress.encoded(encoder.encodedFrames()); })) {
        encoder.cancel();
        progress.stop();
        if (stopFlag())
            endByStopSignal();
        return cannotMake(fileName, encoder.errorString());
    }
    progress.finish();
    return 0;
}
