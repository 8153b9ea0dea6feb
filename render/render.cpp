#include "render.h"

#include "bytesink.h"
#include "colourramp.h"
#include "colourtexts.h"
#include "lanecounts.h"
#include "pixelcolours.h"
#include "pngparts.h"
#include "pngstream.h"
#include "printing.h"
#include "stopsignals.h"
#include "viewmath.h"
#include "viewtext.h"

#include <algorithm>
#include <future>
#include <optional>
#include <system_error>
#include <vector>

namespace {

// A band holds about this many pixels: a few hundred kilobytes, worked out
// in a fraction of a second even where every pixel takes the full 1024
// tests, so that a stop and the progress come soon.
constexpr size_t bandPixels = size_t(1) << 18;
// Bands in flight: one being worked out while the one before is written.
constexpr int bandBuffers = 2;

} // namespace

// The PNG of the job's picture, its pixels indices in palette or, without
// one, red, green and blue, with the texts it records: the whole of it, or
// the part of it that holds the job's rows.
class PictureStream {
public:
    PictureStream(ByteSink& file, const RenderJob& job, const std::vector<uint32_t>& palette)
    {
        std::vector<PictureText> texts = pictureTexts(job.view);
        if (job.frameRate > 0)
            texts.push_back({frameRateKey, formatNumber(job.frameRate)});
        if (job.samples > 1)
            texts.push_back({samplesKey, std::to_string(job.samples)});
        for (PictureText& text : colourTexts(job.colour))
            texts.push_back(std::move(text));
        const PngHeader header{
            job.width, job.height,
            palette.empty() ? PngHeader::Pixels::rgb : PngHeader::Pixels::indexed, palette, texts};
        if (job.whole()) {
            m_begun = m_png.emplace(file).begin(header);
        } else {
            m_part.emplace(file);
            m_begun = m_part->begin(header, job.firstRow, job.lastRowDrawn());
        }
    }

    bool begun() const { return m_begun; }
    bool writeRows(const uint8_t* pixels, int rows)
    {
        return m_png ? m_png->writeRows(pixels, rows) : m_part->writeRows(pixels, rows);
    }
    bool finish() { return m_png ? m_png->finish() : m_part->finish(); }
    const QString& errorString() const
    {
        return m_png ? m_png->errorString() : m_part->errorString();
    }

private:
    std::optional<PngStream> m_png;
    std::optional<PngPartWriter> m_part;
    bool m_begun = false;
};

Render::Render(PassThreads& threads) : m_threads(threads) {}

namespace {

// Writes each band on a thread of its own while the next one is worked out,
// or where no thread can be started, at once.
class BandWriter {
public:
    explicit BandWriter(std::function<bool(const uint8_t*, int)> write) : m_write(std::move(write))
    {
    }
    // Hands on a band once the one before is written; false if a write failed.
    bool write(const uint8_t* pixels, int rows)
    {
        if (!written())
            return false;
        try {
            m_writing = std::async(std::launch::async,
                                   [this, pixels, rows] { return m_write(pixels, rows); });
            return true;
        } catch (const std::system_error&) {
            return m_write(pixels, rows);
        }
    }
    // Waits for the band being written; false if its write failed.
    bool written() { return !m_writing.valid() || m_writing.get(); }

private:
    std::function<bool(const uint8_t*, int)> m_write;
    std::future<bool> m_writing;
};

} // namespace

// The bytes of a band's rows, on the pass's threads, a run of pixels of a
// row at a time; the window's colours with one sample a pixel straight from
// Engine's counts, a block at a time.
void Render::workOut(const RenderJob& job, const PixelColours& colours, PixelLattice lattice,
                     int firstRow, int rows, uint8_t* pixels, std::vector<int16_t>& counts,
                     const std::atomic<bool>* stop)
{
    const size_t width = size_t(job.width);
    const size_t bytes = size_t(colours.bytesPerPixel());
    const bool engineLevels = job.samples == 1 && job.colour == ColourChoice{};
    if (engineLevels)
        lattice.firstRow = firstRow;
    m_threads.forEachBlock(size_t(rows) * width, [&](size_t begin, size_t end) {
        if (stop && stop->load(std::memory_order_relaxed))
            return;
        if (engineLevels) {
            laneCounts(lattice, begin, end, counts.data() + begin);
            for (size_t i = begin; i < end; ++i)
                pixels[i] = levelOf(counts[i]);
            return;
        }
        for (size_t i = begin; i < end;) {
            const size_t column = i % width;
            const size_t count = std::min(end - i, width - column);
            colours.pixels(lattice, firstRow + int(i / width), int(column), int(count),
                           pixels + i * bytes);
            i += count;
        }
    });
}

Render::Outcome Render::run(const RenderJob& job, Outputs outputs,
                            const std::function<void(int rows)>& progress,
                            const std::atomic<bool>* stop)
{
    m_error.clear();
    const int width = job.width;
    const int rowsDrawn = job.lastRowDrawn() - job.firstRow + 1;
    // A band of the same work whatever the samples.
    const size_t bandWork = bandPixels / size_t(job.samples * job.samples);
    const int bandRows = int(std::clamp(bandWork / size_t(width), size_t(1), size_t(rowsDrawn)));
    const int bands = (rowsDrawn + bandRows - 1) / bandRows;
    const auto rowsOf = [&](int band) { return std::min(bandRows, rowsDrawn - band * bandRows); };
    const PixelColours colours(job);
    std::vector<uint8_t> buffers[bandBuffers];
    for (std::vector<uint8_t>& buffer : buffers)
        buffer.resize(size_t(bandRows) * size_t(width) * size_t(colours.bytesPerPixel()));
    // The counts of the band being worked out, turned into its levels.
    std::vector<int16_t> counts(size_t(bandRows) * size_t(width));

    std::optional<PictureStream> png;
    if (outputs.png && !png.emplace(*outputs.png, job, colours.palette()).begun()) {
        m_error = png->errorString();
        return Outcome::writeFailed;
    }
    // A band to the outputs; false, with m_error set, if one failed.
    BandWriter writer([&](const uint8_t* pixels, int rows) {
        if (png && !png->writeRows(pixels, rows)) {
            m_error = png->errorString();
            return false;
        }
        if (outputs.pixels &&
            !outputs.pixels->writePixels(pixels, width, rows, colours.palette())) {
            m_error = outputs.pixels->errorString();
            return false;
        }
        return true;
    });

    // The lattice of the samples: with N of them a side, the pixels of the
    // picture N times as wide and as high.
    const Scales scales = scalesOf(job.view, width * job.samples, job.height * job.samples);
    const PixelLattice lattice{scales.x, scales.y, job.view.viewLeft, job.view.viewTop,
                               width * job.samples};
    Outcome outcome = Outcome::done;
    for (int band = 0; band < bands && outcome == Outcome::done; ++band) {
        uint8_t* pixels = buffers[band % bandBuffers].data();
        workOut(job, colours, lattice, job.firstRow + band * bandRows, rowsOf(band), pixels, counts,
                stop);
        if (stop && stop->load(std::memory_order_relaxed))
            outcome = Outcome::stopped;
        else if (!writer.write(pixels, rowsOf(band)))
            outcome = Outcome::writeFailed;
        // The rows worked out, which the time their work took goes with.
        else if (progress)
            progress(std::min(rowsDrawn, (band + 1) * bandRows));
    }
    // The last band's write ends before its buffer and the stream go.
    if (!writer.written() && outcome == Outcome::done)
        outcome = Outcome::writeFailed;
    outcome = finish(outcome, png ? &*png : nullptr, stop);
    if (outcome == Outcome::done && progress)
        progress(rowsDrawn);
    return outcome;
}

// The outcome of the bands' outcome once the picture is finished: its end
// written, a write given up for the stop the stop's.
Render::Outcome Render::finish(Outcome outcome, PictureStream* png, const std::atomic<bool>* stop)
{
    if (outcome == Outcome::done && png && !png->finish()) {
        m_error = png->errorString();
        outcome = Outcome::writeFailed;
    }
    if (outcome == Outcome::writeFailed && stop && stop->load(std::memory_order_relaxed))
        outcome = Outcome::stopped;
    return outcome;
}

int renderEnd(Render::Outcome outcome, const QString& fileName, const QString& writeError)
{
    switch (outcome) {
    case Render::Outcome::done:
        return 0;
    case Render::Outcome::stopped:
        endByStopSignal();
    case Render::Outcome::writeFailed:
        return cannotWrite(fileName, writeError);
    }
    return 1;
}
