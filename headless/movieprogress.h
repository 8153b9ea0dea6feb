// The progress of a movie on a terminal: one line with a bar, the frames made
// of those this run makes and, for a video, the frames encoded of all, the
// time spent and the time left for the whole job, its encoding included,
// redrawn a few times a second; the share of the frame being made only once
// a frame takes more than a second.
#pragma once

#include <chrono>
#include <optional>
#include <vector>

class MovieProgress {
public:
    // Whether a line would be shown on fd: a terminal's.
    static bool shows(int fd);

    // Shows nothing unless fd is a terminal. works: the estimated work of
    // each frame this run makes, in the order they are made; encoded: the
    // frames the video encodes, or 0 without a video. Write errors are
    // ignored.
    MovieProgress(int fd, std::vector<double> works, int encoded);

    // Redraws the line if it was last drawn long enough ago: made frames
    // are made, and share (0 to 1) of the next one; encoded are encoded.
    void update(int made, double share, int encoded);
    // The same once every frame is made, while the video is encoded.
    void encoded(int encoded) { update(m_frame, 0, encoded); }
    // Draws the line a last time and ends it.
    void finish();
    // Ends the line as it stands.
    void stop();

    // The seconds left when elapsed seconds made work rendered of all
    // (render) and encoded frames of all (encode); none before there is
    // anything to go by. The job ends with the slower of the two, which
    // run side by side.
    struct Part {
        double done = 0;
        double all = 0;
    };
    static std::optional<double> secondsLeft(double elapsed, Part render, Part encode);

private:
    void draw(int made, double share, int encoded, bool last);

    int m_fd;
    bool m_shown;
    std::vector<double> m_before; // the work of the first i frames, i = 0 to all
    int m_encoded;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_drawn;
    std::chrono::steady_clock::time_point m_frameStart;
    int m_frame = -1;
};
