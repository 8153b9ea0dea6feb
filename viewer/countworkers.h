// Works out the iteration counts of a run of pixels on several threads.
#pragma once

#include "engine.h"

#include <QSemaphore>
#include <QThreadPool>

#include <cstdint>
#include <span>

// The arguments of Engine that a pass keeps for all its pixels.
struct EngineView {
    double scaleX;
    double scaleY;
    double left;
    double top;
};

struct Pixel {
    int16_t col;
    int16_t row;
};

// Calls Engine once for every pixel of a run, spread over the calling thread
// and threads() - 1 threads of a pool of its own. Pixels are handed out in
// small blocks as the threads come for them, since one pixel may cost a
// thousand times another. The pool's threads only call Engine and write
// counts; they touch nothing else.
class CountWorkers {
public:
    // One thread per core.
    CountWorkers();

    int threads() const { return m_threads; }
    // At least 1: the calling thread alone.
    void setThreads(int threads);

    // counts[i] = Engine(pixels[i], view), for every pixel; returns when all
    // are done. counts holds at least as many values as pixels.
    void compute(EngineFunction engine, const EngineView& view, std::span<const Pixel> pixels,
                 std::span<int32_t> counts);

private:
    int m_threads = 1;
    // Released once by each helper when it has no more work. A member, not a
    // local of compute(): a helper may still be inside release() when the
    // caller's acquire() returns.
    QSemaphore m_finished;
    // Last, so that it is destroyed first: it waits for its threads.
    QThreadPool m_pool;
};
