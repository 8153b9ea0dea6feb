// The progress of a movie on its progress line: the frames checked, made and
// encoded, and the time left of the whole job, its encoding included; the
// share of the frame being made once a frame takes more than a second.
#pragma once

#include "progressline.h"

#include <chrono>
#include <optional>
#include <vector>

// The time a movie's frames still to make will take, from the time those
// made took: a frame's time goes with its iterations and a cost of each of
// its pixels (its colour and PNG stream), at the rate the frames made show,
// or before any is made, at a rate guessed beforehand.
class FrameClock {
public:
    // iterations: each frame's estimated iterations, in the order they are
    // made; pixels: a frame's; secondsPerIteration: the rate until a frame is
    // made, if known.
    FrameClock(std::vector<double> iterations, double pixels,
               std::optional<double> secondsPerIteration = std::nullopt);
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
    std::optional<double> m_guess;
    std::vector<double> m_seconds;
};

class MovieProgress {
public:
    // Shows nothing unless fd is a terminal. frames: the frames of this run,
    // kept or made; video: whether all of them go into a video.
    MovieProgress(int fd, int frames, bool video);

    bool shown() const { return m_line.shown(); }
    // Before the frames are made: checked of them are checked.
    void checking(int checked);
    // The frames this run makes, weighed.
    void setClock(FrameClock clock);

    // A kept frame of bytes went into the video.
    void keptFed(double bytes);
    // share (0 to 1) of the next frame to make is made.
    void making(double share);
    // The frame being made is made, of bytes (and went into the video).
    void made(double bytes);
    // The video's frames encoded, as ffmpeg said last.
    void encoded(int encoded);

    // Draws the line a last time and ends it.
    void finish();
    // Ends the line as it stands.
    void stop() { m_line.stop(); }

private:
    using Clock = std::chrono::steady_clock;

    void fed(double bytes);
    double encodingWeight(int first, int last) const;
    std::optional<double> encodingLeft() const;
    std::optional<double> secondsLeft() const;
    void draw();

    ProgressLine m_line;
    int m_frames;
    bool m_video;
    FrameClock m_clock{{}, 0};
    int m_made = 0;
    int m_fed = 0;
    int m_keptFed = 0;
    double m_keptSeconds = 0;
    double m_share = 0;
    Clock::time_point m_lastFed = Clock::now();
    // The bytes of the frames that went into the video, summed in their
    // order (encodingWeight()).
    std::vector<double> m_bytesBefore{0};
    // ffmpeg's count, and the time of its first and last change.
    int m_encoded = 0;
    int m_firstEncoded = 0;
    Clock::time_point m_firstEncodedAt;
    Clock::time_point m_encodedAt;
};
