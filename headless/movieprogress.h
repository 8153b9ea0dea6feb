// The progress of a movie on a terminal: one line with a bar, the frames
// done of those this run makes, the share of the frame being made and the
// time left, redrawn a few times a second.
#pragma once

#include <chrono>

class MovieProgress {
public:
    // Shows nothing unless fd is a terminal. Write errors are ignored.
    MovieProgress(int fd, int frames);

    // Redraws the line if it was last drawn long enough ago; share is that
    // of the frame after the framesDone done, 0 to 1.
    void update(int framesDone, double share);
    // Draws the line a last time and ends it.
    void finish();
    // Ends the line as it stands.
    void stop();

private:
    void draw(int framesDone, double share);

    int m_fd;
    int m_frames;
    bool m_shown;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_drawn;
};
