// Drawing a view into a PNG of any size without a window. The counts are
// worked out a band of rows at a time on the pass's threads, and a thread of
// its own compresses and writes each band while the next one is worked out,
// so that memory does not grow with the picture's height.
#pragma once

#include "colouring.h"
#include "passthreads.h"
#include "picturescan.h"
#include "viewstate.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

class ByteSink;
class PictureStream;
class PixelColours;
struct PixelLattice;

// Where a render's pixels go beside or instead of a PNG: each band's rows,
// in order, on the render's writer, each pixel an index in palette
// (0x00BBGGRR colours) or, where the palette is empty, red, green and blue.
class PixelSink {
public:
    virtual ~PixelSink() = default;
    // False on failure; errorString() then says why.
    virtual bool writePixels(const uint8_t* pixels, int width, int rows,
                             const std::vector<uint32_t>& palette) = 0;
    virtual QString errorString() const = 0;
};

struct RenderJob {
    static constexpr int mostSamples = 8;

    View view;
    int width = picture::columns;
    int height = picture::rows;
    // A movie's frame: its movie's rate, recorded in the picture.
    double frameRate = 0;
    // N for N x N samples a pixel (supersample.h), recorded in the picture
    // where above 1.
    int samples = 1;
    // The cap of the counts and their colours: by default the window's ramp
    // to Engine's cap, recorded in the picture otherwise.
    ColourChoice colour = {};
    // The rows drawn, first to last, counted from 0: all of them (lastRow -1)
    // unless a part of the picture is (pngparts.h).
    int firstRow = 0;
    int lastRow = -1;

    int lastRowDrawn() const { return lastRow < 0 ? height - 1 : lastRow; }
    bool whole() const { return firstRow == 0 && lastRowDrawn() == height - 1; }
};

class Render {
public:
    enum class Outcome {
        done,
        // The stop flag was raised.
        stopped,
        // A write to an output failed: errorString() says why.
        writeFailed,
    };

    // The largest side of a picture: the most that readers of PNG commonly
    // take (libpng's own default limit), far below the 2^31 - 1 PNG allows.
    static constexpr int largestSide = 1000000;

    // Each pixel gets Engine's count with the arguments a pass of the same
    // size passes, worked out by the lane kernel (no engine library is
    // loaded), and is coloured as a pass colours it.
    explicit Render(PassThreads& threads);

    // Where the picture goes: a PNG with the text entries of a saved
    // picture into png, which must be open (committing it is the caller's),
    // or where only some of its rows are drawn, a part of that PNG; and the
    // pixels into pixels; either may be left out.
    struct Outputs {
        ByteSink* png = nullptr;
        PixelSink* pixels = nullptr;
    };

    // Draws the picture of job into outputs. After each band, progress (if
    // set) is called with the number of its rows worked out so far, on the
    // calling thread. A raised stop flag ends the render within a block of
    // pixels.
    Outcome run(const RenderJob& job, Outputs outputs,
                const std::function<void(int rows)>& progress = {},
                const std::atomic<bool>* stop = nullptr);

    const QString& errorString() const { return m_error; }

private:
    Outcome finish(Outcome outcome, PictureStream* png, const std::atomic<bool>* stop);
    void workOut(const RenderJob& job, const PixelColours& colours, PixelLattice lattice,
                 int firstRow, int rows, uint8_t* pixels, std::vector<int16_t>& counts,
                 const std::atomic<bool>* stop);

    PassThreads& m_threads;
    QString m_error;
};

// The exit status of a render into fileName that ended with outcome, after
// the line that says why; a stop ends the program by its signal. writeError
// is why a write failed.
int renderEnd(Render::Outcome outcome, const QString& fileName, const QString& writeError);
