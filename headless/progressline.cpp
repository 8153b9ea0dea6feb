#include "progressline.h"

#include <QByteArray>
#include <QString>

#include <unistd.h>

namespace {

constexpr int barWidth = 24;

} // namespace

QByteArray progressBar(double share)
{
    const int filled = int(share * barWidth);
    return "[" + QByteArray(filled, '#') + QByteArray(barWidth - filled, '.') + "] " +
           QByteArray::number(int(share * 100)).rightJustified(3) + "%";
}

QByteArray progressDuration(double seconds)
{
    const long total = long(seconds + 0.5);
    const long hours = total / 3600;
    const long minutes = total / 60 % 60;
    const long rest = total % 60;
    return hours > 0 ? QString::asprintf("%ld:%02ld:%02ld", hours, minutes, rest).toLatin1()
                     : QString::asprintf("%ld:%02ld", minutes, rest).toLatin1();
}

ProgressLine::ProgressLine(int fd, int rows)
    : m_fd(fd), m_rows(rows), m_shown(isatty(fd) == 1), m_start(std::chrono::steady_clock::now())
{
    if (m_shown)
        draw(0);
}

void ProgressLine::setWork(WorkEstimate work)
{
    m_work = std::move(work);
    m_start = std::chrono::steady_clock::now();
}

void ProgressLine::update(int rowsDone)
{
    if (m_shown && std::chrono::steady_clock::now() - m_drawn >= progressRedrawEvery)
        draw(rowsDone);
}

void ProgressLine::finish(int rowsDone)
{
    if (!m_shown)
        return;
    draw(rowsDone);
    stop();
}

void ProgressLine::stop()
{
    if (m_shown) {
        [[maybe_unused]] const ssize_t written = ::write(m_fd, "\n", 1);
    }
}

void ProgressLine::draw(int rowsDone)
{
    m_drawn = std::chrono::steady_clock::now();
    const double share = rowsDone >= m_rows ? 1.0
                         : m_work           ? m_work->share(rowsDone)
                                            : double(rowsDone) / m_rows;
    const double elapsed = std::chrono::duration<double>(m_drawn - m_start).count();
    const std::optional<double> seconds = secondsLeft(share, elapsed);
    const QByteArray left = rowsDone >= m_rows ? progressDuration(elapsed) + " in all"
                            : seconds          ? progressDuration(*seconds) + " left"
                                               : QByteArray("--:-- left");
    // Carriage return, the line, and erase to the end of the line.
    const QByteArray line = "\r" + progressBar(share) + "  " + QByteArray::number(rowsDone) + "/" +
                            QByteArray::number(m_rows) + " rows  " + left + "\x1b[K";
    [[maybe_unused]] const ssize_t written = ::write(m_fd, line.constData(), size_t(line.size()));
}
