// The progress of a render on a terminal: one line with a bar, the
// percentage, the rows done and the time left, redrawn a few times a second.
#pragma once

#include "workestimate.h"
#include <QByteArray>

#include <chrono>
#include <optional>

// How often a progress line is redrawn at most.
inline constexpr std::chrono::milliseconds progressRedrawEvery{200};

// The parts of a progress line: "[######..................]  25%" for a share
// of 0 to 1, and a time as "1:02:03" or "2:03".
QByteArray progressBar(double share);
QByteArray progressDuration(double seconds);

class ProgressLine {
public:
    // Shows nothing unless fd is a terminal. Write errors are ignored: the
    // render goes on when its progress cannot be shown.
    ProgressLine(int fd, int rows);

    // Whether the line is shown at all.
    bool shown() const { return m_shown; }
    // From now on the share done and the time left follow the work of the
    // rows done, not their number; the clock starts again.
    void setWork(WorkEstimate work);

    // Redraws the line if it was last drawn long enough ago.
    void update(int rowsDone);
    // Draws the line a last time and ends it.
    void finish(int rowsDone);
    // Ends the line as it stands.
    void stop();

private:
    void draw(int rowsDone);

    int m_fd;
    int m_rows;
    bool m_shown;
    std::optional<WorkEstimate> m_work;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_drawn;
};
