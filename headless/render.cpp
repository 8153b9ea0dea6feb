#include "render.h"

#include "atomicfile.h"
#include "colourramp.h"
#include "pngstream.h"
#include "viewmath.h"
#include "viewtext.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// A band holds about this many pixels: a few hundred kilobytes, worked out
// in a fraction of a second even where every pixel takes the full 1024
// tests, so that a stop and the progress come soon.
constexpr size_t bandPixels = size_t(1) << 18;
// Bands in flight: one being worked out while the one before is written.
constexpr int bandBuffers = 2;

constexpr int countOffset = -std::numeric_limits<int16_t>::min();

struct Palette {
    std::vector<uint32_t> colours;
    std::array<uint8_t, 1 << 16> indices{};
};

// Every colour colourOf gives a 16-bit count, once each, in the order of the
// counts: the black-to-yellow ramp has 256 of them. Neighbouring counts
// mostly share their colour, so the palette is searched only where it
// changes.
const Palette& thePalette()
{
    static const Palette palette = [] {
        Palette made;
        size_t index = 0;
        for (int count = std::numeric_limits<int16_t>::min();
             count <= std::numeric_limits<int16_t>::max(); ++count) {
            const uint32_t colour = colourOf(int16_t(count));
            if (made.colours.empty() || made.colours[index] != colour) {
                const auto found = std::find(made.colours.begin(), made.colours.end(), colour);
                index = size_t(found - made.colours.begin());
                if (found == made.colours.end())
                    made.colours.push_back(colour);
            }
            if (made.colours.size() > 256)
                qFatal("The colour ramp has more colours than a PNG palette holds");
            made.indices[size_t(count + countOffset)] = uint8_t(index);
        }
        return made;
    }();
    return palette;
}

// The bands handed from the threads that work them out to the thread that
// writes them.
class BandQueue {
public:
    // Waits until band may be worked out into its buffer: the band that used
    // the buffer before has been written. False if the writer has failed.
    bool waitForBuffer(int band)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_failed || m_written > band - bandBuffers; });
        return !m_failed;
    }
    void computed(int bands)
    {
        change([&] { m_computed = bands; });
    }
    // Closes the queue: the writer stops after the bands computed so far.
    void close()
    {
        change([&] { m_closed = true; });
    }

    // The writer's side: waits until band is computed; false if the queue
    // was closed before.
    bool waitForBand(int band)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_computed > band || m_closed; });
        return m_computed > band;
    }
    void written(int bands)
    {
        change([&] { m_written = bands; });
    }
    void failed()
    {
        change([&] { m_failed = true; });
    }

    bool hasFailed()
    {
        const std::lock_guard lock(m_mutex);
        return m_failed;
    }

private:
    template <typename Change> void change(Change make)
    {
        {
            const std::lock_guard lock(m_mutex);
            make();
        }
        m_changed.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_computed = 0;
    int m_written = 0;
    bool m_closed = false;
    bool m_failed = false;
};

} // namespace

Render::Render(EngineFunction engine, PassThreads& threads) : m_engine(engine), m_threads(threads)
{
}

Render::Outcome Render::run(const RenderJob& job, AtomicFile& file,
                            const std::function<void(int rows)>& progress,
                            const std::atomic<bool>* stop)
{
    m_badCount = 0;
    m_error.clear();
    const Palette& palette = thePalette();
    const int width = job.width;
    const int height = job.height;
    const int bandRows = int(std::clamp(bandPixels / size_t(width), size_t(1), size_t(height)));
    const int bands = (height + bandRows - 1) / bandRows;
    const auto rowsOf = [&](int band) { return std::min(bandRows, height - band * bandRows); };
    std::vector<uint8_t> buffers[bandBuffers];
    for (std::vector<uint8_t>& buffer : buffers)
        buffer.resize(size_t(bandRows) * size_t(width));

    PngStream png(file);
    if (!png.begin(width, height, palette.colours, pictureTexts(job.view))) {
        m_error = png.errorString();
        return Outcome::writeFailed;
    }

    BandQueue queue;
    std::thread writer([&] {
        for (int band = 0; band < bands; ++band) {
            // Closed before the band came: the render stopped.
            if (!queue.waitForBand(band))
                return;
            if (!png.writeRows(buffers[band % bandBuffers].data(), rowsOf(band))) {
                queue.failed();
                return;
            }
            queue.written(band + 1);
        }
        if (!png.finish())
            queue.failed();
    });

    const Scales scales = scalesOf(job.view, width, height);
    const double left = job.view.viewLeft;
    const double top = job.view.viewTop;
    const EngineFunction engine = m_engine;
    std::atomic<bool> badCount{false};
    Outcome outcome = Outcome::done;
    for (int band = 0; band < bands; ++band) {
        if (!queue.waitForBuffer(band)) {
            outcome = Outcome::writeFailed;
            break;
        }
        uint8_t* pixels = buffers[band % bandBuffers].data();
        const int firstRow = band * bandRows;
        m_threads.forEachBlock(size_t(rowsOf(band)) * size_t(width), [&](size_t begin, size_t end) {
            if (stop && stop->load(std::memory_order_relaxed))
                return;
            int col = int(begin % size_t(width));
            int row = firstRow + int(begin / size_t(width));
            for (size_t i = begin; i < end; ++i) {
                const int32_t count = engine(col, row, scales.x, scales.y, left, top);
                if (!isCount(count)) [[unlikely]] {
                    if (!badCount.exchange(true))
                        m_badCount = count;
                    return;
                }
                pixels[i] = palette.indices[size_t(count + countOffset)];
                if (++col == width) {
                    col = 0;
                    ++row;
                }
            }
        });
        if (badCount) {
            outcome = Outcome::badCount;
            break;
        }
        if (stop && stop->load(std::memory_order_relaxed)) {
            outcome = Outcome::stopped;
            break;
        }
        queue.computed(band + 1);
        // The rows worked out, which the time their work took goes with.
        if (progress)
            progress(std::min(height, (band + 1) * bandRows));
    }
    queue.close();
    writer.join();
    if (outcome == Outcome::done && queue.hasFailed())
        outcome = Outcome::writeFailed;
    if (outcome == Outcome::writeFailed)
        m_error = png.errorString();
    if (outcome == Outcome::done && progress)
        progress(height);
    return outcome;
}
