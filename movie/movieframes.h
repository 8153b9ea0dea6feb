// A movie's frames in a folder: their names, whether one there is whole and
// of this movie, and writing one.
#pragma once

#include "framereader.h"
#include "render.h"
#include "viewstate.h"

#include <QSize>
#include <QString>

#include <atomic>
#include <functional>
#include <optional>

// "frame-0042.png": frame numbered with as many digits as the movie's last
// frame has, so that the names sort in the frames' order.
QString frameFileName(int frame, int frames);
// The same with digits digits.
QString frameFileNameOfDigits(int frame, int digits);
// The number of a frame's file name, with its count of digits; empty for any
// other name.
struct FrameNumber {
    int frame = 0;
    int digits = 0;
};
std::optional<FrameNumber> frameNumber(const QString& fileName);
int frameDigits(int frames);

// The samples a pixel of a picture whose Samples text is text: 1 if there is
// none, 0 if it is not a number of samples.
int recordedSamples(const std::string& text);
// A picture's colouring as messages write them: its recorded entries, e.g.
// "Iterations=5000 Colour=cycle", or "the window's" for none.
QString colouringText(const std::vector<PictureText>& entries);
// The colouring entries that reader's picture records.
std::vector<PictureText> recordedColouring(const FrameReader& reader);

// Samples a pixel as messages write them: "3x3", or "unreadable" for 0.
QString samplesText(int samples);

// The lines that refuse a frame's file: not a regular file, or one that
// cannot be read (and why).
QString notAFrame(const QString& fileName);
QString cannotReadFrame(const QString& fileName, const QString& reason);

// What a file in the folder is to the movie.
struct FrameCheck {
    enum class State {
        missing,
        // A picture of the movie's size and of the frame's view, read whole:
        // it is kept.
        whole,
        // Not a regular file (a folder, a FIFO, a device, a symbolic link):
        // not the movie's to replace.
        notFile,
        // A picture of another size, or of another view or of none: another
        // movie's, or not a movie's, and left alone.
        otherSize,
        otherView,
        // This movie's frame at another rate, or of other samples a pixel:
        // the folder would hold frames of two movies.
        otherRate,
        otherSamples,
        otherColouring,
        // A frame of this movie, or something that is not a picture, that
        // does not read whole: it is rendered again.
        stale,
        // The stop flag was raised while it was read.
        stopped,
    };
    State state = State::missing;
    QSize size;
    // The view or the rate it holds, as its text has it (otherView,
    // otherRate).
    QString view;
    QString frameRate;
    // Its samples a pixel, N for N x N (otherSamples), and its colouring as
    // colouringText() writes it (otherColouring).
    int samples = 1;
    QString colouring;
    QString reason;
};
// Checks the frame fileName of job (a frame of a movie, its rate set),
// reading every row unless stop is raised; with rows false, only up to its
// pixels, which tells all but whether it is whole (a frame of this movie is
// then stale).
FrameCheck checkFrame(const QString& fileName, const RenderJob& job, const std::atomic<bool>* stop,
                      bool rows = true);

// Writes the frame as --render writes its picture: job through render, into
// a temporary file beside fileName that takes its name only when complete,
// never through a symbolic link, and its levels into levels if given. The
// outcome is render's, or writeFailed with error set.
Render::Outcome writeFrame(const QString& fileName, Render& render, const RenderJob& job,
                           PixelSink* pixels, const std::function<void(int rows)>& progress,
                           const std::atomic<bool>* stop, QString* error);
