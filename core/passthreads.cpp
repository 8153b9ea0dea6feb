// The helper threads of a drawing pass and the handing out of its blocks.
#include "passthreads.h"

#include <QThread>

#include <algorithm>
#include <chrono>
#include <system_error>

namespace {

// Blocks are a share of what is left: few while much is left, small towards
// the end, so that the threads run out of work close together. No block is so
// large that a thread the system holds back in the middle of one keeps the
// others waiting long.
constexpr size_t sharesPerThread = 4;
constexpr size_t smallestBlock = 8;
constexpr size_t largestBlock = 256;

// How long a thread waits awake, for the next call or for the helpers:
// longer than a pass spends between two calls (setting a run's pixels, a
// refresh, the events), short beside a person's reactions.
constexpr std::chrono::microseconds patience{500};

} // namespace

PassThreads::PassThreads()
{
    setThreads(QThread::idealThreadCount());
}

void PassThreads::setThreads(int threads)
{
    m_threads = std::max(1, threads);
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

    // Work of one block is not worth a helper. Where the system starts no
    // more threads, the work goes on with those there are.
    int seats = size > smallestBlock ? m_threads - 1 : 0;
    try {
        while (m_helpers.size() < size_t(seats))
            m_helpers.emplace_back([this](std::stop_token stop) { help(stop); });
    } catch (const std::system_error&) {
        seats = int(m_helpers.size());
    }
    if (seats > 0) {
        m_takeBlocks = &takeBlocks;
        // Helpers awake take their places at once; those asleep are woken.
        bool wake = false;
        {
            const std::lock_guard lock(m_mutex);
            m_seats.store(seats, std::memory_order_release);
            wake = m_sleeping > 0;
        }
        if (wake)
            m_called.notify_all();
    }
    takeBlocks();
    if (seats == 0)
        return;

    // No helper joins once the work is done; wait for those that did. They
    // finish within microseconds of this thread, sooner than it would wake.
    const int joined = seats - m_seats.exchange(0, std::memory_order_acq_rel);
    const auto allFinished = [&] { return m_finished.load(std::memory_order_acquire) == joined; };
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!allFinished()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            std::unique_lock lock(m_mutex);
            m_allFinished.wait(lock, allFinished);
            break;
        }
        std::this_thread::yield();
    }
    m_finished.store(0, std::memory_order_relaxed);
}

// Waits awake for a place in a call, for a while; false if none came or the
// helper is to stop.
bool PassThreads::takeSeat(const std::stop_token& stop)
{
    const auto deadline = std::chrono::steady_clock::now() + patience;
    int seats = m_seats.load(std::memory_order_relaxed);
    for (;;) {
        if (seats > 0 && m_seats.compare_exchange_weak(seats, seats - 1, std::memory_order_acquire,
                                                       std::memory_order_relaxed))
            return true;
        if (stop.stop_requested() || std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::yield();
        seats = m_seats.load(std::memory_order_relaxed);
    }
}

void PassThreads::help(std::stop_token stop)
{
    while (!stop.stop_requested()) {
        if (!takeSeat(stop)) {
            // Asleep until a call has places or the helper is to stop.
            std::unique_lock lock(m_mutex);
            ++m_sleeping;
            m_called.wait(lock, stop,
                          [this] { return m_seats.load(std::memory_order_relaxed) > 0; });
            --m_sleeping;
            continue;
        }
        (*m_takeBlocks)();
        {
            const std::lock_guard lock(m_mutex);
            m_finished.fetch_add(1, std::memory_order_release);
        }
        m_allFinished.notify_one();
    }
}
