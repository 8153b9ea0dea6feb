// A video made by ffmpeg from rows of pixels piped into it as raw RGB: the
// levels of a render as it makes them, or the rows of frames read back. The
// video is written as --render writes a picture: to a temporary file beside
// it that takes its name only when ffmpeg has finished it and it holds
// something, so that an earlier video stays as it was until then.
#pragma once

#include "atomicfile.h"
#include "childprocess.h"
#include "render.h"

#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class VideoEncoder : public PixelSink {
public:
    // ffmpeg's path on PATH, or empty.
    static QString findFfmpeg();

    // A video of width x height pixels at fps frames a second; a raised stop
    // ends every wait on ffmpeg within a tenth of a second.
    VideoEncoder(const QString& fileName, int width, int height, double fps,
                 const std::atomic<bool>* stop);
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    // Opens the video's temporary file: why it cannot be written, or nothing.
    std::optional<QString> open();
    // Starts ffmpeg, found at program, writing the temporary file.
    bool start(const QString& program);
    // Hands on rows of RGB pixels, width * 3 bytes each, from the top.
    bool writeRows(const uint8_t* rgb, int rows);
    // The same from a render's pixels.
    bool writePixels(const uint8_t* pixels, int width, int rows,
                     const std::vector<uint32_t>& palette) override;
    // Waits for ffmpeg to end, and gives the file the video's name if ffmpeg
    // ended with 0, reported no error, wrote something and says it encoded
    // every frame it was given. False if anything failed or the stop was
    // raised (stopped() then).
    bool finish(const std::function<void()>& waiting = {});
    bool stopped() const { return m_stop && m_stop->load(); }
    // The frames ffmpeg has encoded into the video, as it last said while it
    // was written to or waited for.
    int encodedFrames() const { return m_encoded.load(std::memory_order_relaxed); }
    // Stops ffmpeg and removes the temporary file.
    void cancel();

    // After a call that returned false: why, in one line.
    QString errorString() const override { return m_error; }

private:
    bool fail(const QString& error);
    // Why the video ffmpeg ended with 0 is not whole, or empty.
    QString unfinishedVideo() const;

    AtomicFile m_file;
    int m_width;
    int m_height;
    double m_fps;
    const std::atomic<bool>* m_stop;
    ChildProcess m_ffmpeg;
    bool m_started = false;
    std::atomic<int> m_encoded{0};
    // The frames ffmpeg said it took in, and whether it said it ended.
    int m_framesIn = 0;
    bool m_reportedEnd = false;
    qint64 m_rowsWritten = 0;
    std::vector<uint8_t> m_rgb;
    QString m_error;
};
