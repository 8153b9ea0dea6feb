#include "movieprogress.h"

#include "progressline.h"

#include <QByteArray>

#include <algorithm>

#include <unistd.h>

namespace {

constexpr std::chrono::milliseconds redrawEvery{200};
// A frame's own share is shown once it has taken this long.
constexpr std::chrono::seconds longFrame{1};

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

bool MovieProgress::shows(int fd)
{
    return fd >= 0 && isatty(fd) == 1;
}

MovieProgress::MovieProgress(int fd, std::vector<double> works, int encoded)
    : m_fd(fd), m_shown(shows(fd)), m_before(works.size() + 1), m_encoded(encoded),
      m_start(std::chrono::steady_clock::now()), m_frameStart(m_start)
{
    for (size_t i = 0; i < works.size(); ++i)
        m_before[i + 1] = m_before[i] + works[i];
    if (m_shown)
        draw(0, 0, 0, false);
}

std::optional<double> MovieProgress::secondsLeft(double elapsed, Part render, Part encode)
{
    double left = 0;
    for (const Part& part : {render, encode}) {
        if (part.done >= part.all)
            continue;
        if (!(part.done > 0))
            return std::nullopt;
        left = std::max(left, elapsed * (part.all - part.done) / part.done);
    }
    return left;
}

void MovieProgress::update(int made, double share, int encoded)
{
    if (made != m_frame) {
        m_frame = made;
        m_frameStart = std::chrono::steady_clock::now();
    }
    if (m_shown && std::chrono::steady_clock::now() - m_drawn >= redrawEvery)
        draw(made, share, encoded, false);
}

void MovieProgress::finish()
{
    if (!m_shown)
        return;
    draw(int(m_before.size()) - 1, 0, m_encoded, true);
    stop();
}

void MovieProgress::stop()
{
    if (m_shown) {
        [[maybe_unused]] const ssize_t written = ::write(m_fd, "\n", 1);
    }
}

void MovieProgress::draw(int made, double share, int encoded, bool last)
{
    m_drawn = std::chrono::steady_clock::now();
    const int frames = int(m_before.size()) - 1;
    made = std::clamp(made, 0, frames);
    const double elapsed = secondsSince(m_start);
    const Part render{
        m_before[size_t(made)] +
            (made < frames ? share * (m_before[size_t(made) + 1] - m_before[size_t(made)]) : 0),
        m_before.back()};
    const Part encode{double(std::min(encoded, m_encoded)), double(m_encoded)};
    const std::optional<double> left = secondsLeft(elapsed, render, encode);
    // The bar follows the time: the share of the whole that is behind.
    const double done = last ? 1 : left ? elapsed / (elapsed + *left) : 0;
    QByteArray line = "\r" + progressBar(done) + "  ";
    if (frames > 0 || m_encoded == 0)
        line += QByteArray::number(made) + "/" + QByteArray::number(frames) + " frames  ";
    if (m_encoded > 0)
        line += QByteArray::number(int(encode.done)) + "/" + QByteArray::number(m_encoded) +
                " encoded  ";
    if (!last && made < frames && secondsSince(m_frameStart) > longFrame.count())
        line += "this frame " + QByteArray::number(int(share * 100)) + "%  ";
    line += progressDuration(elapsed) + (last ? " in all" : " spent");
    if (!last)
        line += "  " + (left ? progressDuration(*left) : QByteArray("--:--")) + " left";
    // Erase to the end of the line.
    line += "\x1b[K";
    [[maybe_unused]] const ssize_t written = ::write(m_fd, line.constData(), size_t(line.size()));
}
