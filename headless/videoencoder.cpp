#include "videoencoder.h"

#include "localfiles.h"
#include "outsidetext.h"
#include "pngreader.h"

#include <QBuffer>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// ffmpeg's options for the video's container, by its suffix: H.264 in MP4
// (its index at the front, so that it plays while it loads) and Matroska,
// VP9 in WebM; 4:2:0 colours, which every player takes.
QList<QByteArray> codecOptions(const QString& suffix)
{
    const QList<QByteArray> h264 = {"-c:v", "libx264", "-preset", "medium", "-crf", "18"};
    if (suffix == QLatin1String("mp4"))
        return h264 +
               QList<QByteArray>{"-movflags", "+faststart", "-pix_fmt", "yuv420p", "-f", "mp4"};
    if (suffix == QLatin1String("mkv"))
        return h264 + QList<QByteArray>{"-pix_fmt", "yuv420p", "-f", "matroska"};
    return {"-c:v",    "libvpx-vp9", "-crf",     "30",      "-b:v", "0",
            "-row-mt", "1",          "-pix_fmt", "yuv420p", "-f",   "webm"};
}

// Writes all of size bytes to fd, or sets errno.
bool writeAll(int fd, const uint8_t* data, size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= size_t(written);
    }
    return true;
}

// The last line that ffmpeg wrote on its stderr, shown safely.
QString lastLine(FILE* file)
{
    QByteArray text;
    if (file && std::fseek(file, 0, SEEK_SET) == 0) {
        char buffer[4096];
        size_t read = 0;
        while ((read = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            text.append(buffer, qsizetype(read));
    }
    const QList<QByteArray> lines = text.trimmed().split('\n');
    return shownText(fileNameFromBytes(lines.constLast().trimmed()));
}

} // namespace

bool VideoEncoder::isVideo(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    return suffix == QLatin1String("mp4") || suffix == QLatin1String("mkv") ||
           suffix == QLatin1String("webm");
}

QString VideoEncoder::findFfmpeg()
{
    return QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
}

VideoEncoder::VideoEncoder(QString fileName, int width, int height, double fps)
    : m_fileName(std::move(fileName)), m_width(width), m_height(height), m_fps(fps)
{
}

VideoEncoder::~VideoEncoder()
{
    cancel();
}

bool VideoEncoder::createFile()
{
    // Hidden beside the video, so that the rename at the end stays on one
    // file system.
    const qsizetype slash = m_fileName.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash < 0 ? QStringLiteral(".") : m_fileName.left(qMax(slash, 1));
    const QString name = m_fileName.mid(slash + 1).left(NAME_MAX - 16);
    const TemporaryFile file =
        makeTemporaryFile(folder, QLatin1Char('.') + name + QLatin1Char('.'));
    if (file.error)
        return fail(*file.error);
    m_temporary = file.name;
    // A temporary file is private to its owner; the video gets the
    // permissions of any new file. The mask is read by setting it.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const bool madePublic = ::fchmod(file.fd, 0666 & ~mask) == 0;
    const int error = errno;
    ::close(file.fd);
    return madePublic || fail(systemError(error));
}

bool VideoEncoder::start(const QString& program)
{
    char fps[32];
    const auto fpsEnd = std::to_chars(fps, fps + sizeof fps, m_fps).ptr;
    QList<QByteArray> arguments = {
        fileNameToBytes(program),
        "-hide_banner",
        "-nostdin",
        "-loglevel",
        "error",
        "-y",
        "-f",
        "rawvideo",
        "-pix_fmt",
        "rgb24",
        "-video_size",
        QByteArray::number(m_width) + 'x' + QByteArray::number(m_height),
        "-framerate",
        QByteArray(fps, fpsEnd - fps),
        "-i",
        "pipe:0",
    };
    arguments += codecOptions(QFileInfo(m_fileName).suffix().toLower());
    // "file:", so that no part of the name reads as a protocol.
    arguments += "file:" + fileNameToBytes(m_temporary);
    std::vector<char*> argv;
    for (QByteArray& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    m_ffmpegErrors = std::tmpfile();
    int pipe[2];
    if (!m_ffmpegErrors || ::pipe2(pipe, O_CLOEXEC) != 0)
        return fail(QStringLiteral("cannot start ffmpeg: %1").arg(systemError(errno)));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fileno(m_ffmpegErrors), STDERR_FILENO);
    // A group of its own, so that Ctrl+C reaches this program alone, which
    // then stops ffmpeg itself; the signals this program ignores or catches
    // as they were.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP})
        sigaddset(&defaults, signal);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);
    const int error = posix_spawn(&m_ffmpeg, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(pipe[0]);
    m_input = pipe[1];
    if (error != 0) {
        m_ffmpeg = -1;
        return fail(
            QStringLiteral("cannot start %1: %2").arg(shownText(program), systemError(error)));
    }
    m_feeder = std::thread([this] { feed(); });
    return true;
}

bool VideoEncoder::addFrame(QByteArray png, const QString& name)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_failed || m_frames.size() < 2; });
    if (m_failed)
        return false;
    m_frames.push_back({std::move(png), name});
    m_changed.notify_all();
    return true;
}

void VideoEncoder::feed()
{
    for (;;) {
        Frame frame;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_closed || !m_frames.empty(); });
            if (m_frames.empty())
                return;
            frame = std::move(m_frames.front());
            m_frames.pop_front();
            m_changed.notify_all();
        }
        if (!pipeFrame(frame))
            return;
    }
}

bool VideoEncoder::pipeFrame(const Frame& frame)
{
    QBuffer buffer;
    buffer.setData(frame.png);
    buffer.open(QIODevice::ReadOnly);
    PngReader reader(buffer);
    const auto unreadable = [&](const QString& reason) {
        return fail(
            QStringLiteral("cannot read the frame '%1': %2").arg(shownText(frame.name), reason));
    };
    if (!reader.begin())
        return unreadable(reader.errorString());
    if (reader.width() != m_width || reader.height() != m_height)
        return unreadable(QStringLiteral("it is %1x%2 pixels, not %3x%4")
                              .arg(reader.width())
                              .arg(reader.height())
                              .arg(m_width)
                              .arg(m_height));
    std::vector<uint8_t> row(size_t(m_width) * 3);
    for (int y = 0; y < m_height; ++y) {
        if (!reader.readRow(row.data()))
            return unreadable(reader.errorString());
        if (!writeAll(m_input, row.data(), row.size()))
            return fail(
                QStringLiteral("ffmpeg stopped reading its frames: %1").arg(systemError(errno)));
    }
    return true;
}

bool VideoEncoder::fail(const QString& error)
{
    const std::lock_guard lock(m_mutex);
    if (!m_failed)
        m_error = error;
    m_failed = true;
    m_changed.notify_all();
    return false;
}

bool VideoEncoder::endFfmpeg()
{
    {
        const std::lock_guard lock(m_mutex);
        m_closed = true;
        m_changed.notify_all();
    }
    if (m_feeder.joinable())
        m_feeder.join();
    if (m_input >= 0)
        ::close(m_input);
    m_input = -1;
    if (m_ffmpeg < 0)
        return false;
    int status = 0;
    while (::waitpid(m_ffmpeg, &status, 0) < 0 && errno == EINTR) {
    }
    m_ffmpeg = -1;
    // ffmpeg's own word comes before what its end did to the pipe.
    const std::lock_guard lock(m_mutex);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return !m_failed;
    if (WIFEXITED(status)) {
        const QString line = lastLine(m_ffmpegErrors);
        m_error = QStringLiteral("ffmpeg failed (status %1)").arg(WEXITSTATUS(status));
        if (!line.isEmpty())
            m_error += QStringLiteral(": ") + line;
    } else {
        m_error = QStringLiteral("ffmpeg ended by signal %1").arg(WTERMSIG(status));
    }
    m_failed = true;
    return false;
}

bool VideoEncoder::finish()
{
    const bool encoded = endFfmpeg();
    if (encoded) {
        // On the disk before it takes the video's name.
        const QByteArray temporary = fileNameToBytes(m_temporary);
        const int fd = ::open(temporary.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::fsync(fd) != 0 || ::close(fd) != 0 ||
            ::rename(temporary.constData(), fileNameToBytes(m_fileName).constData()) != 0) {
            fail(systemError(errno));
        } else {
            m_temporary.clear();
            return true;
        }
    }
    cancel();
    return false;
}

void VideoEncoder::cancel()
{
    if (m_ffmpeg > 0) {
        ::kill(m_ffmpeg, SIGKILL);
        endFfmpeg();
    }
    if (m_feeder.joinable())
        m_feeder.join();
    if (m_input >= 0)
        ::close(m_input);
    m_input = -1;
    if (!m_temporary.isEmpty())
        ::unlink(fileNameToBytes(m_temporary).constData());
    m_temporary.clear();
    if (m_ffmpegErrors)
        std::fclose(m_ffmpegErrors);
    m_ffmpegErrors = nullptr;
}
