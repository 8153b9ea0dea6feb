#include "progressline.h"

#include "stopsignals.h"

#include <QString>

#include <algorithm>

#include <unistd.h>

namespace {

constexpr int barWidth = 24;
// How often the line is redrawn at most.
constexpr std::chrono::milliseconds redrawEvery{200};

QByteArray bar(double share)
{
    const int filled = int(share * barWidth);
    return "[" + QByteArray(filled, '#') + QByteArray(barWidth - filled, '.') + "] " +
           QByteArray::number(int(share * 100)).rightJustified(3) + "%";
}

// "1:02:03", or "2:03" under an hour.
QByteArray duration(double seconds)
{
    const long total = long(seconds + 0.5);
    const long hours = total / 3600;
    const long minutes = total / 60 % 60;
    const long rest = total % 60;
    return hours > 0 ? QString::asprintf("%ld:%02ld:%02ld", hours, minutes, rest).toLatin1()
                     : QString::asprintf("%ld:%02ld", minutes, rest).toLatin1();
}

} // namespace

ProgressLine::ProgressLine(int fd)
    : m_fd(fd), m_shown(fd >= 0 && isatty(fd) == 1), m_start(std::chrono::steady_clock::now())
{
}

ProgressLine::~ProgressLine()
{
    stop();
}

double ProgressLine::elapsed() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
}

void ProgressLine::restartClock()
{
    m_start = std::chrono::steady_clock::now();
}

bool ProgressLine::due() const
{
    return m_shown && std::chrono::steady_clock::now() - m_drawn >= redrawEvery;
}

void ProgressLine::update(double share, const QByteArray& done, std::optional<double> left)
{
    if (!due())
        return;
    draw(share, done,
         duration(elapsed()) + " spent  " + (left ? duration(*left) : QByteArray("--:--")) +
             " left");
}

void ProgressLine::finish(const QByteArray& done)
{
    if (!m_shown)
        return;
    draw(1, done, duration(elapsed()) + " in all");
    stop();
}

void ProgressLine::stop()
{
    if (m_shown && progressLineOpen()) {
        setProgressLineOpen(false);
        [[maybe_unused]] const ssize_t written = ::write(m_fd, "\n", 1);
    }
}

void ProgressLine::draw(double share, const QByteArray& done, const QByteArray& times)
{
    m_drawn = std::chrono::steady_clock::now();
    // Carriage return, the line, and erase to the end of the line.
    const QByteArray line =
        "\r" + bar(std::clamp(share, 0.0, 1.0)) + "  " + done + "  " + times + "\x1b[K";
    setProgressLineOpen(true);
    [[maybe_unused]] const ssize_t written = ::write(m_fd, line.constData(), size_t(line.size()));
}
