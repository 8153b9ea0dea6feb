#include "passthreads.h"

#include <QDeadlineTimer>
#include <QThread>

#include <algorithm>
#include <chrono>

namespace {

// Blocks are a share of what is left: few while much is left, small towards
// the end, so that the threads run out of work close together. No block is so
// large that a thread the system holds back in the middle of one keeps the
// others waiting long.
constexpr size_t sharesPerThread = 4;
constexpr size_t smallestBlock = 8;
constexpr size_t largestBlock = 256;

// How long a helper waits for the next call: longer than a pass spends between
// two calls (setting a run's pixels, a refresh, the events), short beside a
// person's reactions.
constexpr std::chrono::microseconds helperPatience{500};

} // namespace

PassThreads::PassThreads()
{
    setThreads(QThread::idealThreadCount());
}

void PassThreads::setThreads(int threads)
{
    m_threads = std::max(1, threads);
    // The calling thread is one of them.
    m_pool.setMaxThreadCount(std::max(1, m_threads - 1));
}

void PassThreads::forEachBlock(size_t size, const std::function<void(size_t, size_t)>& work)
{
    const size_t shares = sharesPerThread * size_t(m_threads);
    std::atomic<size_t> next{0};
    const std::function<void()> takeBlocks = [&] {
        size_t begin = next.load(std::memory_order_relaxed);
        while (begin < size) {
            const size_t end = std::min(
                size, begin + std::clamp((size - begin) / shares, smallestBlock, largestBlock));
            // On failure, begin becomes what another thread left.
            if (!next.compare_exchange_weak(begin, end, std::memory_order_relaxed))
                continue;
            work(begin, end);
            begin = next.load(std::memory_order_relaxed);
        }
    };

    // Work of one block is not worth a helper.
    const int seats = size > smallestBlock ? m_threads - 1 : 0;
    if (seats > 0) {
        m_takeBlocks = &takeBlocks;
        m_seats.store(seats, std::memory_order_release);
        // Helpers still waiting from the last call take their places at once;
        // new ones are started for the rest.
        for (int i = m_helpers.load(std::memory_order_relaxed); i < seats; ++i) {
            m_helpers.fetch_add(1, std::memory_order_relaxed);
            m_pool.start([this] { help(); });
        }
    }
    takeBlocks();
    // No helper joins once the work is done; wait for those that did. They
    // finish within microseconds of this thread, sooner than it would wake.
    const int joined = seats - m_seats.exchange(0, std::memory_order_acq_rel);
    const QDeadlineTimer patience(helperPatience, Qt::PreciseTimer);
    while (!m_finished.tryAcquire(joined)) {
        if (patience.hasExpired()) {
            m_finished.acquire(joined);
            break;
        }
        QThread::yieldCurrentThread();
    }
}

void PassThreads::help()
{
    for (;;) {
        const QDeadlineTimer patience(helperPatience, Qt::PreciseTimer);
        int seats = m_seats.load(std::memory_order_relaxed);
        for (;;) {
            if (seats > 0 &&
                m_seats.compare_exchange_weak(seats, seats - 1, std::memory_order_acquire,
                                              std::memory_order_relaxed))
                break;
            if (patience.hasExpired()) {
                m_helpers.fetch_sub(1, std::memory_order_relaxed);
                return;
            }
            QThread::yieldCurrentThread();
            seats = m_seats.load(std::memory_order_relaxed);
        }
        (*m_takeBlocks)();
        m_finished.release();
    }
}
