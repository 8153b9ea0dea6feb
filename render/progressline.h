// The progress of a command on a terminal, a render's or a movie's: one line
// redrawn a few times a second, with a bar for the share done, what is done so
// far, the time spent and the time left,
//   [######..................]  25%  12/48 rows  0:03 spent  0:09 left
// and the time in all once done.
#pragma once

#include <QByteArray>

#include <chrono>
#include <optional>

class ProgressLine {
public:
    // Shows nothing unless fd is a terminal. Write errors are ignored: the
    // work goes on when its progress cannot be shown. The clock starts now.
    explicit ProgressLine(int fd);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    bool shown() const { return m_shown; }
    // The seconds since the clock started.
    double elapsed() const;
    // Starts the clock again, e.g. once a render's estimate is made.
    void restartClock();

    // Whether the line is shown and was last drawn long enough ago to be
    // drawn again.
    bool due() const;
    // Redraws the line if it is due: share (0 to 1)
    // is done, done says what, and left is the time left if it is known.
    void update(double share, const QByteArray& done, std::optional<double> left);
    // Draws the line a last time, everything done, and ends it.
    void finish(const QByteArray& done);
    // Ends the line as it stands.
    void stop();

private:
    void draw(double share, const QByteArray& done, const QByteArray& times);

    int m_fd;
    bool m_shown;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_drawn;
};
