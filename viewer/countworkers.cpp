#include "countworkers.h"

#include <QThread>

#include <algorithm>
#include <atomic>

namespace {

// Pixels handed out at a time: small enough that the threads finish a run
// close together, large enough that taking a block costs nothing beside it.
constexpr size_t blockSize = 32;

} // namespace

CountWorkers::CountWorkers()
{
    setThreads(QThread::idealThreadCount());
}

void CountWorkers::setThreads(int threads)
{
    m_threads = std::max(1, threads);
    // The calling thread is one of them.
    m_pool.setMaxThreadCount(std::max(1, m_threads - 1));
}

void CountWorkers::compute(EngineFunction engine, const EngineView& view,
                           std::span<const Pixel> pixels, std::span<int32_t> counts)
{
    const size_t size = pixels.size();
    std::atomic<size_t> next{0};
    const auto work = [&] {
        for (;;) {
            const size_t begin = next.fetch_add(blockSize, std::memory_order_relaxed);
            if (begin >= size)
                return;
            const size_t end = std::min(begin + blockSize, size);
            for (size_t i = begin; i < end; ++i)
                counts[i] = engine(pixels[i].col, pixels[i].row, view.scaleX, view.scaleY,
                                   view.left, view.top);
        }
    };

    // No more helpers than there are blocks beyond the caller's first.
    const size_t blocks = (size + blockSize - 1) / blockSize;
    const int helpers = int(std::min(size_t(m_threads - 1), blocks > 0 ? blocks - 1 : 0));
    for (int i = 0; i < helpers; ++i)
        m_pool.start([this, &work] {
            work();
            m_finished.release();
        });
    work();
    // A helper touches this call's frame only before it releases.
    m_finished.acquire(helpers);
}
