#include "videoencoder.h"

#include "colourramp.h"
#include "localfiles.h"
#include "outsidetext.h"
#include "videoformats.h"
#include "viewtext.h"

#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>

#include <sys/stat.h>

namespace {

// ffmpeg's options for the video's container, by its suffix: H.264 in MP4
// (its index at the front, so that it plays while it loads) and Matroska,
// VP9 in WebM at libvpx's fastest speed, which takes about a tenth of the
// time of its default for a tenth more bytes; 4:2:0 colours, which every
// player takes.
QList<QByteArray> codecOptions(const QString& suffix)
{
    const QList<QByteArray> h264 = {"-c:v", "libx264", "-preset", "medium", "-crf", "18"};
    if (suffix == QLatin1String("mp4"))
        return h264 +
               QList<QByteArray>{"-movflags", "+faststart", "-pix_fmt", "yuv420p", "-f", "mp4"};
    if (suffix == QLatin1String("mkv"))
        return h264 + QList<QByteArray>{"-pix_fmt", "yuv420p", "-f", "matroska"};
    return {"-c:v",      "libvpx-vp9", "-crf",      "30", "-b:v",     "0",       "-row-mt", "1",
            "-deadline", "realtime",   "-cpu-used", "8",  "-pix_fmt", "yuv420p", "-f",      "webm"};
}

} // namespace

QString VideoEncoder::findFfmpeg()
{
    return QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
}

VideoEncoder::VideoEncoder(const QString& fileName, int width, int height, double fps,
                           const std::atomic<bool>* stop)
    : m_file(fileName), m_width(width), m_height(height), m_fps(fps), m_stop(stop)
{
}

bool VideoEncoder::fail(const QString& error)
{
    if (m_error.isEmpty())
        m_error = error;
    return false;
}

std::optional<QString> VideoEncoder::open()
{
    // ffmpeg seeks in what it writes: a FIFO or a device cannot take a video.
    if (m_file.writesInPlace())
        return notRegularFile();
    if (!m_file.open())
        return m_file.errorString();
    return std::nullopt;
}

bool VideoEncoder::start(const QString& program)
{
    QList<QByteArray> arguments = {
        fileNameToBytes(program),
        "-hide_banner",
        "-nostdin",
        "-loglevel",
        "error",
        // The frames encoded, reported on stderr as it goes.
        "-nostats",
        "-progress",
        "pipe:2",
        "-y",
        "-f",
        "rawvideo",
        "-pix_fmt",
        "rgb24",
        "-video_size",
        QByteArray::number(m_width) + 'x' + QByteArray::number(m_height),
        "-framerate",
        QByteArray::fromStdString(formatNumber(m_fps)),
        "-i",
        "pipe:0",
    };
    arguments += codecOptions(videoSuffix(m_file.fileName()));
    // "file:", so that no part of the name reads as a protocol.
    arguments += "file:" + m_file.temporaryName();
    // ffmpeg's reports, "frame=12", "progress=continue" and the like, are
    // read as they come and are not its reason for a failure.
    m_ffmpeg.setLineFilter([this](QByteArrayView line) {
        // A report is a key of small letters, digits and _, then =.
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0 || !std::all_of(line.begin(), line.begin() + equals, [](char c) {
                return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
            }))
            return false;
        // frame= counts the frames the encoder took in; out_time_us= the
        // time of the video written so far, which lags behind by the frames
        // the encoder looks ahead.
        if (line.startsWith("frame="))
            m_framesIn = line.sliced(6).toInt();
        if (line.startsWith("out_time_us=")) {
            const double frames = std::round(line.sliced(12).toDouble() * m_fps / 1e6);
            m_encoded.store(int(std::clamp(frames, 0.0, double(m_framesIn))),
                            std::memory_order_relaxed);
        }
        if (line == "progress=end") {
            m_reportedEnd = true;
            m_encoded.store(m_framesIn, std::memory_order_relaxed);
        }
        return true;
    });
    if (!m_ffmpeg.start(arguments))
        return fail(
            QStringLiteral("cannot start %1: %2").arg(shownText(program), m_ffmpeg.errorString()));
    m_started = true;
    return true;
}

bool VideoEncoder::writeRows(const uint8_t* rgb, int rows)
{
    if (m_ffmpeg.write(reinterpret_cast<const char*>(rgb), size_t(rows) * size_t(m_width) * 3,
                       m_stop)) {
        m_rowsWritten += rows;
        return true;
    }
    return fail(
        QStringLiteral("ffmpeg stopped reading its frames: %1").arg(m_ffmpeg.errorString()));
}

bool VideoEncoder::writePixels(const uint8_t* pixels, int width, int rows,
                               const std::vector<uint32_t>& palette)
{
    if (palette.empty())
        return writeRows(pixels, rows);
    const size_t count = size_t(width) * size_t(rows);
    m_rgb.resize(count * 3);
    for (size_t i = 0; i < count; ++i) {
        const uint32_t colour = palette[pixels[i]];
        for (size_t channel = 0; channel < 3; ++channel)
            m_rgb[3 * i + channel] = uint8_t(colour >> (8 * channel));
    }
    return writeRows(m_rgb.data(), rows);
}

bool VideoEncoder::finish(const std::function<void()>& waiting)
{
    if (!m_started)
        return fail(QStringLiteral("ffmpeg was not started"));
    const ChildProcess::End end = m_ffmpeg.finish(m_stop, waiting);
    m_started = false;
    if (end.stopped) {
        cancel();
        return false;
    }
    // ffmpeg's own word comes before what its end did to the pipe.
    if (end.waitError != 0) {
        m_error =
            QStringLiteral("cannot tell how ffmpeg ended: %1").arg(systemError(end.waitError));
    } else if (end.exited && end.status != 0) {
        m_error = QStringLiteral("ffmpeg failed (status %1)").arg(end.status);
        const QString line = m_ffmpeg.lastErrorLine();
        if (!line.isEmpty())
            m_error += QStringLiteral(": ") + line;
    } else if (!end.exited) {
        m_error = QStringLiteral("ffmpeg ended by signal %1").arg(end.signal);
    } else if (m_error.isEmpty()) {
        m_error = unfinishedVideo();
        if (m_error.isEmpty() && !m_file.commit())
            m_error = m_file.errorString();
    }
    if (!m_error.isEmpty()) {
        cancel();
        return false;
    }
    return true;
}

QString VideoEncoder::unfinishedVideo() const
{
    // ffmpeg's status is not enough: it ends with 0 after it failed to write
    // the end of the video (a full disk), which it reports as an error.
    QByteArray reported = m_ffmpeg.firstErrorLine();
    if (!reported.isEmpty()) {
        reported.replace("file:" + m_file.temporaryName(), "the video");
        return QStringLiteral("ffmpeg reported an error: %1")
            .arg(shownText(fileNameFromBytes(reported.trimmed())));
    }
    struct stat written {};
    if (::stat(m_file.temporaryName().constData(), &written) != 0 || written.st_size == 0)
        return QStringLiteral("ffmpeg wrote nothing");
    // Its last report counts the frames in the video.
    const int frames = int(m_rowsWritten / m_height);
    if (!m_reportedEnd || m_framesIn != frames)
        return QStringLiteral("ffmpeg made %1 of the %2 frames into the video")
            .arg(m_framesIn)
            .arg(frames);
    return {};
}

void VideoEncoder::cancel()
{
    m_ffmpeg.kill();
    m_started = false;
    m_file.discard();
}
