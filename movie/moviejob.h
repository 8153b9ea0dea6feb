// A zoom movie as the command line describes it: the views it goes from and
// to, its size, rate and length, the frames to render, or the folder of
// frames to join into a video.
#pragma once

#include "colouring.h"
#include "picturescan.h"
#include "viewstate.h"

#include <QSize>
#include <QString>

struct MovieJob {
    static constexpr int largestFrames = 1000000;
    // The largest side of a frame: those of a video's codecs, and of frames
    // made for one.
    static constexpr int largestSide = 16384;
    static constexpr double largestFps = 1000;

    // A folder of frames, or a video file (video set).
    QString out;
    bool video = false;
    View from;
    View to;
    int width = picture::columns;
    int height = picture::rows;
    double fps = 30;
    bool fpsGiven = false;
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
    // --stretch: the views as given, not widened to the frames' shape.
    bool stretch = false;
    // N x N samples a pixel; with a join, whether --samples named what the
    // frames must have.
    int samples = 1;
    bool samplesGiven = false;
    // The cap of the counts and the colours; with a join, whether options
    // named what the frames must have.
    ColourChoice colour = {};
    bool colourGiven = false;
    bool quiet = false;
    // Only check the options and OUT, and print the movie's options in full.
    bool check = false;

    QSize size() const { return {width, height}; }

    // The movie's options in full, one a line ("--to=0.2,-0.52,0.04,0.03"),
    // views as numbers: what makes this very movie again.
    QString optionLines() const;
};
