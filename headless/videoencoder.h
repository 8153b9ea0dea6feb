// A video made by ffmpeg from PNG frames: each frame is decoded on a thread
// of the encoder's and piped into ffmpeg as raw RGB, while the next one is
// made. ffmpeg writes a temporary file beside the video, which takes the
// video's name only when ffmpeg has finished it.
#pragma once

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include <sys/types.h>

class VideoEncoder {
public:
    // Whether fileName names a video: it ends in .mp4, .mkv or .webm.
    static bool isVideo(const QString& fileName);
    // ffmpeg's path on PATH, or empty.
    static QString findFfmpeg();

    // A video of width x height pixels (both even) at fps frames a second.
    VideoEncoder(QString fileName, int width, int height, double fps);
    // Cancels a video that was not finished.
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    // Creates the temporary file beside the video: false if the folder takes
    // no file.
    bool createFile();
    // Starts ffmpeg, found at program, writing into the temporary file.
    bool start(const QString& program);
    // Hands on the next frame, a PNG of the video's size named name, once
    // fewer than two wait; false once the encoder has failed.
    bool addFrame(QByteArray png, const QString& name);
    // Waits for every frame to be encoded and for ffmpeg to end, and gives
    // the file the video's name. False if anything failed.
    bool finish();
    // Stops ffmpeg and removes the temporary file.
    void cancel();

    // After a call that returned false: why, in one line.
    const QString& errorString() const { return m_error; }

private:
    struct Frame {
        QByteArray png;
        QString name;
    };
    void feed();
    bool pipeFrame(const Frame& frame);
    bool fail(const QString& error);
    bool endFfmpeg();

    QString m_fileName;
    QString m_temporary;
    int m_width;
    int m_height;
    double m_fps;
    pid_t m_ffmpeg = -1;
    int m_input = -1;
    FILE* m_ffmpegErrors = nullptr;
    std::thread m_feeder;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Frame> m_frames;
    bool m_closed = false;
    bool m_failed = false;
    QString m_error;
};
