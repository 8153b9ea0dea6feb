// The options of --movie and the movie they describe: the views it goes
// from and to, its size, rate and length, the frames to render, or the
// folder of frames to join into a video.
#pragma once

#include "picturescan.h"
#include "viewstate.h"

#include <QCommandLineOption>
#include <QList>
#include <QString>

class QCommandLineParser;

struct MovieJob {
    static constexpr int largestFrames = 1000000;

    // A folder of frames, or a video file (video set).
    QString out;
    bool video = false;
    View from;
    View to;
    int width = picture::columns;
    int height = picture::rows;
    double fps = 30;
    int frames = 300;
    // The frames to render, first to last.
    int first = 0;
    int last = 299;
    // With a video: the folder of frames to join instead of rendering them,
    // whether --frames or --seconds named how many it must hold, and whether
    // --to (and --from) or --size named the movie they must be.
    QString framesFrom;
    bool framesGiven = false;
    bool viewsGiven = false;
    bool sizeGiven = false;
    bool quiet = false;
    // Only check the options and OUT, and print the movie's options in full.
    bool check = false;

    // The movie's options in full, one a line ("--to=0.2,-0.52,0.04,0.03"),
    // views as numbers: what makes this very movie again.
    QString optionLines() const;
};

class MovieOptions {
public:
    MovieOptions();

    QList<QCommandLineOption> options() const;
    const QCommandLineOption& movieOption() const { return m_movie; }
    // The first option of a movie's own, but --movie, that is set, or empty.
    QString firstSet(const QCommandLineParser& parser) const;

    // What went wrong, in one line, and whether the usage hint belongs to it.
    struct Error {
        QString text;
        bool usage = false;
    };
    // Reads the movie's options into job, whose size, quiet flag and
    // out are set already, and checks that every frame to render can be
    // drawn at that size.
    std::optional<Error> read(const QCommandLineParser& parser, MovieJob& job) const;

private:
    std::optional<Error> readViews(const QCommandLineParser& parser, MovieJob& job) const;

    QCommandLineOption m_movie;
    QCommandLineOption m_from;
    QCommandLineOption m_to;
    QCommandLineOption m_fps;
    QCommandLineOption m_seconds;
    QCommandLineOption m_frames;
    QCommandLineOption m_frameRange;
    QCommandLineOption m_framesFrom;
    QCommandLineOption m_check;
};
