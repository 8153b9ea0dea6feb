#include "movieprogress.h"

#include "progressline.h"

#include <QByteArray>

#include <algorithm>

#include <unistd.h>

namespace {

// What a frame's pixel costs beside its iterations (its level, its share of
// the PNG stream's compression), in iterations of the lane kernel: about 200,
// by the movie's time-left benchmark.
constexpr double framePixelCost = 200;
// A frame's own share is shown once it has taken this long.
constexpr std::chrono::seconds longFrame{1};

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

FrameClock::FrameClock(std::vector<double> iterations, double pixels)
    : m_iterations(std::move(iterations)), m_pixels(pixels)
{
}

void FrameClock::made(double seconds)
{
    if (m_seconds.size() < m_iterations.size())
        m_seconds.push_back(seconds);
}

std::optional<double> FrameClock::secondsLeft(double share, double spent) const
{
    const size_t made = m_seconds.size();
    if (made >= m_iterations.size())
        return 0.0;
    // A frame's time goes with its iterations and a cost of its pixels, at
    // a rate that the frames made so far give, or the share of the first.
    const double pixelCost = framePixelCost * m_pixels;
    double seconds = 0;
    double work = 0;
    for (size_t i = 0; i < made; ++i) {
        seconds += m_seconds[i];
        work += m_iterations[i] + pixelCost;
    }
    if (made == 0 && share > 0) {
        seconds = spent;
        work = share * (m_iterations[0] + pixelCost);
    }
    if (!(seconds > 0 && work > 0))
        return std::nullopt;
    double left = (1 - share) * (m_iterations[made] + pixelCost);
    for (size_t i = made + 1; i < m_iterations.size(); ++i)
        left += m_iterations[i] + pixelCost;
    return left * seconds / work;
}

bool MovieProgress::shows(int fd)
{
    return fd >= 0 && isatty(fd) == 1;
}

MovieProgress::MovieProgress(int fd, FrameClock clock, int encoded)
    : m_fd(fd), m_shown(shows(fd)), m_clock(std::move(clock)), m_encoded(encoded),
      m_start(std::chrono::steady_clock::now()), m_frameStart(m_start)
{
    if (m_shown)
        draw(0, 0, 0, false);
}

void MovieProgress::update(int made, double share, int encoded)
{
    if (made != m_frame) {
        // The frames made since the last call share the time since.
        const auto now = std::chrono::steady_clock::now();
        const int newly = made - std::max(m_frame, 0);
        for (int i = 0; i < newly && m_frame >= 0; ++i)
            m_clock.made(std::chrono::duration<double>(now - m_frameStart).count() / newly);
        m_frame = made;
        m_frameStart = now;
    }
    if (m_shown && std::chrono::steady_clock::now() - m_drawn >= progressRedrawEvery)
        draw(made, share, encoded, false);
}

void MovieProgress::finish()
{
    if (!m_shown)
        return;
    draw(m_clock.frames(), 0, m_encoded, true);
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
    const int frames = m_clock.frames();
    made = std::clamp(made, 0, frames);
    encoded = std::min(encoded, m_encoded);
    const double elapsed = secondsSince(m_start);
    // The job ends with the slower of the frames and their encoding, which
    // go side by side; the encoding's rate so far is its rate.
    std::optional<double> left = m_clock.secondsLeft(share, secondsSince(m_frameStart));
    if (encoded < m_encoded)
        left = left && encoded > 0
                   ? std::optional(std::max(*left, elapsed * (m_encoded - encoded) / encoded))
                   : std::nullopt;
    // The bar follows the time: the share of the whole that is behind.
    const double done = last ? 1 : left ? elapsed / (elapsed + *left) : 0;
    QByteArray line = "\r" + progressBar(done) + "  ";
    if (frames > 0 || m_encoded == 0)
        line += QByteArray::number(made) + "/" + QByteArray::number(frames) + " frames  ";
    if (m_encoded > 0)
        line += QByteArray::number(encoded) + "/" + QByteArray::number(m_encoded) + " encoded  ";
    if (!last && made < frames && secondsSince(m_frameStart) > longFrame.count())
        line += "this frame " + QByteArray::number(int(share * 100)) + "%  ";
    line += progressDuration(elapsed) + (last ? " in all" : " spent");
    if (!last)
        line += "  " + (left ? progressDuration(*left) : QByteArray("--:--")) + " left";
    // Erase to the end of the line.
    line += "\x1b[K";
    [[maybe_unused]] const ssize_t written = ::write(m_fd, line.constData(), size_t(line.size()));
}
