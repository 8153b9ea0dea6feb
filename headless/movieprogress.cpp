#include "movieprogress.h"

#include <QByteArray>

#include <algorithm>

namespace {

// What a frame's pixel costs beside its iterations (its level, its share of
// the PNG stream's compression), in iterations of the lane kernel: about 200,
// by the movie's time-left benchmark.
constexpr double framePixelCost = 200;
// A frame's own share is shown once it has taken this long.
constexpr double longFrame = 1; // s

double since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

FrameClock::FrameClock(std::vector<double> iterations, double pixels,
                       std::optional<double> secondsPerIteration)
    : m_iterations(std::move(iterations)), m_pixels(pixels), m_guess(secondsPerIteration)
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
    // a rate that the frames made so far give, or the share of the first, or
    // the guess.
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
    double left = (1 - share) * (m_iterations[made] + pixelCost);
    for (size_t i = made + 1; i < m_iterations.size(); ++i)
        left += m_iterations[i] + pixelCost;
    if (!(seconds > 0 && work > 0))
        return m_guess ? std::optional(left * *m_guess) : std::nullopt;
    return left * seconds / work;
}

MovieProgress::MovieProgress(int fd, int frames, bool video)
    : m_line(fd), m_frames(frames), m_video(video)
{
    checking(0);
}

void MovieProgress::checking(int checked)
{
    if (m_line.due())
        m_line.update(0,
                      "checking " + QByteArray::number(checked) + '/' +
                          QByteArray::number(m_frames) + " frames",
                      std::nullopt);
}

void MovieProgress::setClock(FrameClock clock)
{
    m_clock = std::move(clock);
    m_lastFed = Clock::now();
    draw();
}

void MovieProgress::fed()
{
    if (m_fed++ == 0)
        m_firstFedAt = Clock::now();
}

void MovieProgress::keptFed()
{
    fed();
    ++m_keptFed;
    m_keptSeconds += since(m_lastFed);
    m_lastFed = Clock::now();
    draw();
}

void MovieProgress::making(double share)
{
    m_share = share;
    draw();
}

void MovieProgress::made()
{
    m_clock.made(since(m_lastFed));
    m_lastFed = Clock::now();
    ++m_made;
    if (m_video)
        fed();
    m_share = 0;
    draw();
}

void MovieProgress::encoded(int encoded)
{
    encoded = std::min(encoded, m_frames);
    if (encoded != m_encoded) {
        const auto now = Clock::now();
        if (m_firstEncoded == 0) {
            m_firstEncoded = encoded;
            m_firstEncodedAt = now;
        }
        m_encoded = encoded;
        m_encodedAt = now;
    }
    draw();
}

void MovieProgress::finish()
{
    m_line.finish(
        QByteArray::number(m_made) + '/' + QByteArray::number(m_clock.frames()) + " frames" +
        (m_video
             ? "  " + QByteArray::number(m_frames) + '/' + QByteArray::number(m_frames) + " encoded"
             : QByteArray()));
}

// The job ends with the slower of its frames and their encoding, which go
// side by side: the frames kept and made go into ffmpeg at the rate they did
// so far, and ffmpeg encodes at the rate it did since its first frame.
std::optional<double> MovieProgress::secondsLeft() const
{
    const double spent = since(m_lastFed);
    std::optional<double> fed = m_clock.secondsLeft(m_share, spent);
    const int keptLeft = m_video ? m_frames - m_clock.frames() - m_keptFed : 0;
    // ffmpeg's rate between its first report and its last, or up to its
    // first from the first frame it was given.
    std::optional<double> encodingRate;
    if (m_encoded > m_firstEncoded)
        encodingRate = std::chrono::duration<double>(m_encodedAt - m_firstEncodedAt).count() /
                       (m_encoded - m_firstEncoded);
    else if (m_encoded > 0)
        encodingRate =
            std::chrono::duration<double>(m_firstEncodedAt - m_firstFedAt).count() / m_encoded;
    if (keptLeft > 0) {
        if (m_keptFed > 0)
            fed = fed ? std::optional(*fed + keptLeft * m_keptSeconds / m_keptFed) : std::nullopt;
        else
            fed =
                fed && encodingRate ? std::optional(*fed + keptLeft * *encodingRate) : std::nullopt;
    }
    if (!m_video || !fed)
        return fed;
    // Once every frame went in, for want of any, the rate at which they went
    // in.
    if (!encodingRate && m_fed == m_frames && m_fed > 0)
        encodingRate = m_line.elapsed() / m_fed;
    if (!encodingRate)
        return fed;
    const double encoding =
        std::max(0.0, (m_frames - m_encoded) * *encodingRate -
                          std::chrono::duration<double>(Clock::now() - m_encodedAt).count());
    return std::max(*fed, m_encoded > 0 ? encoding : (m_frames - m_encoded) * *encodingRate);
}

void MovieProgress::draw()
{
    if (!m_line.due())
        return;
    const int frames = m_clock.frames();
    QByteArray done = QByteArray::number(m_made) + '/' + QByteArray::number(frames) + " frames";
    if (m_video)
        done +=
            "  " + QByteArray::number(m_encoded) + '/' + QByteArray::number(m_frames) + " encoded";
    if (m_made < frames && since(m_lastFed) > longFrame)
        done += "  this frame " + QByteArray::number(int(m_share * 100)) + '%';
    const std::optional<double> left = secondsLeft();
    const double elapsed = m_line.elapsed();
    // The bar follows the time: the share of the whole that is behind.
    m_line.update(left ? elapsed / (elapsed + *left) : 0, done, left);
}
