// A movie's video as the movie and the join make it: ffmpeg started on a
// video file that can be written, frames read back into it, and its end.
#pragma once

#include "videoencoder.h"

#include <QSize>
#include <QString>

#include <optional>

class MovieProgress;

// Opens the video's file and starts ffmpeg: the status of a failure after
// its line (2 if the file cannot be written, 1 without ffmpeg), or 0. Or the
// one, then the other.
int startVideo(VideoEncoder& encoder, const QString& fileName);
int openVideo(VideoEncoder& encoder, const QString& fileName);
int startFfmpeg(VideoEncoder& encoder, const QString& fileName);

// Reads the frame fileName, of size, into the video: why it could not be
// read, or nothing. A failure of ffmpeg's is left for finishVideo to tell.
std::optional<QString> pipeFrame(const QString& fileName, QSize size, VideoEncoder& encoder);

// Waits for ffmpeg and gives the video its name: 0, or 1 after one line
// saying why not; a stop ends the program.
int finishVideo(VideoEncoder& encoder, const QString& fileName, MovieProgress& progress);
