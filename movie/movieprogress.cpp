#include "movieprogress.h"

#include "workestimate.h"

#include <QByteArray>

#include <algorithm>

namespace {

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

// A frame's time is a rate times its work (its iterations and a cost of its
// pixels), and a cost of its own (opening, finishing and writing a picture),
// as the frames made so far show them: by a line fitted through their times
// once their work differs enough to tell the two apart, else by the rate
// alone, of the frames made, of the share of the first made so far, or the
// one guessed.
std::optional<double> FrameClock::secondsLeft(double share, double spent) const
{
    const size_t made = m_seconds.size();
    if (made >= m_iterations.size())
        return 0.0;
    const auto work = [&](size_t frame) { return m_iterations[frame] + pixelCost * m_pixels; };
    double rate = 0;
    double ownCost = 0;
    double sumWork = 0, sumSeconds = 0, sumSquares = 0, sumProducts = 0;
    for (size_t i = 0; i < made; ++i) {
        sumWork += work(i);
        sumSeconds += m_seconds[i];
        sumSquares += work(i) * work(i);
        sumProducts += work(i) * m_seconds[i];
    }
    const double spread = sumSquares * double(made) - sumWork * sumWork;
    if (made >= 3 && spread > 0.01 * sumSquares * double(made)) {
        rate = (sumProducts * double(made) - sumWork * sumSeconds) / spread;
        ownCost = (sumSeconds - rate * sumWork) / double(made);
    }
    if (!(rate > 0 && ownCost >= 0)) {
        ownCost = 0;
        rate = made > 0              ? sumSeconds / sumWork
               : share > 0           ? spent / (share * work(0))
               : m_guess.has_value() ? *m_guess
                                     : 0;
    }
    if (!(rate > 0))
        return std::nullopt;
    double left = (1 - share) * (rate * work(made) + ownCost);
    for (size_t i = made + 1; i < m_iterations.size(); ++i)
        left += rate * work(i) + ownCost;
    return left;
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

void MovieProgress::fed(double bytes)
{
    ++m_fed;
    m_bytesBefore.push_back(m_bytesBefore.back() + bytes);
}

// The weight of the encoding of the frames first to last - 1: a frame's
// encoding takes a time of its own, and about as much again for its detail,
// which its PNG's size beside the others' tells. A frame not in yet weighs
// as much as those in on average.
double MovieProgress::encodingWeight(int first, int last) const
{
    const double mean = m_fed > 0 && m_bytesBefore.back() > 0 ? m_bytesBefore.back() / m_fed : 0;
    const auto before = [&](int frame) {
        const double bytes = frame <= m_fed ? m_bytesBefore[size_t(frame)]
                                            : m_bytesBefore.back() + (frame - m_fed) * mean;
        return frame + (mean > 0 ? bytes / mean : frame);
    };
    return before(last) - before(first);
}

void MovieProgress::keptFed(double bytes)
{
    fed(bytes);
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

void MovieProgress::made(double bytes)
{
    m_clock.made(since(m_lastFed));
    m_lastFed = Clock::now();
    ++m_made;
    if (m_video)
        fed(bytes);
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

// The time ffmpeg still takes for the frames it has not encoded, at the rate
// for their weight it showed between its first report and its last (before
// its first one it has taken in more frames than it gave, looking ahead, and
// a rate up to it would be far too slow), less the time since its last.
std::optional<double> MovieProgress::encodingLeft() const
{
    if (m_encoded <= m_firstEncoded)
        return std::nullopt;
    const double rate = std::chrono::duration<double>(m_encodedAt - m_firstEncodedAt).count() /
                        encodingWeight(m_firstEncoded, m_encoded);
    return std::max(0.0, encodingWeight(m_encoded, m_frames) * rate -
                             std::chrono::duration<double>(Clock::now() - m_encodedAt).count());
}

// The job ends with the slower of its frames and their encoding, which go
// side by side: the frames kept and made go into ffmpeg at the rate they did
// so far, and ffmpeg encodes at the rate it did.
std::optional<double> MovieProgress::secondsLeft() const
{
    std::optional<double> fed = m_clock.secondsLeft(m_share, since(m_lastFed));
    const int keptLeft = m_video ? m_frames - m_clock.frames() - m_keptFed : 0;
    const std::optional<double> encoding = m_video ? encodingLeft() : std::nullopt;
    // Kept frames go in at ffmpeg's pace, which it shows only once it has
    // looked ahead and given its first frames.
    if (keptLeft > 0 && !encoding)
        return std::nullopt;
    if (keptLeft > 0 && fed)
        fed = *fed + keptLeft * m_keptSeconds / std::max(m_keptFed, 1);
    // Every frame in, ffmpeg alone tells how long it takes.
    if (m_video && m_fed == m_frames && !encoding)
        return std::nullopt;
    if (!fed || !encoding)
        return fed;
    return std::max(*fed, *encoding);
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
