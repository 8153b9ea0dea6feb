// The progress of a movie on a terminal: one line with a bar, the frames made
// of those this run makes and, for a video, the frames encoded of all, the
// time spent and the time left for the whole job, its encoding included,
// redrawn a few times a second; the share of the frame being made only once
// a frame takes more than a second.
#pragma once

#include <chrono>
#include <optional>
#include <vector>

// The time a movie's frames still to make will take, from the time those
// made took: a frame's time goes with its iterations and a cost of each of
// its pixels (its colour and PNG stream), at the rate the frames made show.
class FrameClock {
public:
    // iterations: each frame's estimated iterations, in the order they are
    // made; pixels: a frame's.
    FrameClock(std::vector<double> iterations, double pixels);
    // The next frame took seconds.
    void made(double seconds);
    int frames() const { return int(m_iterations.size()); }
    int madeFrames() const { return int(m_seconds.size()); }
    // The seconds that the frames not made yet will take, the one being made
    // counted from share (0 to 1) on, which took spent so far; none before
    // anything is known.
    std::optional<double> secondsLeft(double share, double spent) const;

private:
    std::vector<double> m_iterations;
    double m_pixels;
    std::vector<double> m_seconds;
};

class MovieProgress {
public:
    // Whether a line would be shown on fd: a terminal's.
    static bool shows(int fd);

    // Shows nothing unless fd is a terminal. clock: the frames this run
    // makes; encoded: the frames the video encodes, or 0 without a video.
    // Write errors are ignored.
    MovieProgress(int fd, FrameClock clock, int encoded);

    // Redraws the line if it was last drawn long enough ago: made frames
    // are made, and share (0 to 1) of the next one; encoded are encoded.
    void update(int made, double share, int encoded);
    // The same once every frame is made, while the video is encoded.
    void encoded(int encoded) { update(m_frame, 0, encoded); }
    // Draws the line a last time and ends it.
    void finish();
    // Ends the line as it stands.
    void stop();

private:
    void draw(int made, double share, int encoded, bool last);

    int m_fd;
    bool m_shown;
    FrameClock m_clock;
    int m_encoded;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_drawn;
    std::chrono::steady_clock::time_point m_frameStart;
    int m_frame = -1;
};
