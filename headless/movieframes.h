// A movie's frames in a folder: their names, whether one there is whole and
// of this movie, and writing one.
#pragma once

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
// The number of a frame's file name, with its count of digits; empty for any
// other name.
struct FrameNumber {
    int frame = 0;
    int digits = 0;
};
std::optional<FrameNumber> frameNumber(const QString& fileName);
int frameDigits(int frames);

// What a file in the folder is to the movie.
struct FrameCheck {
    enum class State {
        missing,
        // A picture of the movie's size and of the frame's view, read whole:
        // it is kept.
        whole,
        // Of another size: it belongs to another movie.
        otherSize,
        // Not a regular file (a folder, a FIFO, a device): not the movie's
        // to replace.
        notFile,
        // Anything else: it is rendered again.
        stale,
    };
    State state = State::missing;
    QSize size;
    QString reason;
};
FrameCheck checkFrame(const QString& fileName, QSize size, const View& view);

// Writes the frame as --render writes its picture: job through render, into
// a temporary file beside fileName that takes its name only when complete.
// The outcome is render's, or writeFailed with error set.
Render::Outcome writeFrame(const QString& fileName, Render& render, const RenderJob& job,
                           const std::function<void(int rows)>& progress,
                           const std::atomic<bool>* stop, QString* error);
