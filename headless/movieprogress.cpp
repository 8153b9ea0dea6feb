#include "movieprogress.h"

#include "progressline.h"

#include <QByteArray>

#include <unistd.h>

namespace {

constexpr std::chrono::milliseconds redrawEvery{200};

} // namespace

MovieProgress::MovieProgress(int fd, int frames)
    : m_fd(fd), m_frames(frames), m_shown(isatty(fd) == 1),
      m_start(std::chrono::steady_clock::now())
{
    if (m_shown)
        draw(0, 0);
}

void MovieProgress::update(int framesDone, double share)
{
    if (m_shown && std::chrono::steady_clock::now() - m_drawn >= redrawEvery)
        draw(framesDone, share);
}

void MovieProgress::finish()
{
    if (!m_shown)
        return;
    draw(m_frames, 0);
    stop();
}

void MovieProgress::stop()
{
    if (m_shown) {
        [[maybe_unused]] const ssize_t written = ::write(m_fd, "\n", 1);
    }
}

void MovieProgress::draw(int framesDone, double share)
{
    m_drawn = std::chrono::steady_clock::now();
    const double done = framesDone + share;
    const double elapsed = std::chrono::duration<double>(m_drawn - m_start).count();
    QByteArray line = "\r" + progressBar(m_frames > 0 ? done / m_frames : 1.0) + "  " +
                      QByteArray::number(framesDone) + "/" + QByteArray::number(m_frames) +
                      " frames  ";
    if (framesDone >= m_frames)
        line += progressDuration(elapsed) + " in all";
    else
        line += "this frame " + QByteArray::number(int(share * 100)).rightJustified(3) + "%  " +
                (done > 0 ? progressDuration(elapsed * (m_frames - done) / done) : "--:--") +
                " left";
    // Erase to the end of the line.
    line += "\x1b[K";
    [[maybe_unused]] const ssize_t written = ::write(m_fd, line.constData(), size_t(line.size()));
}
