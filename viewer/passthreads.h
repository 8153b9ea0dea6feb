// The threads a drawing pass works out its counts on.
#pragma once

#include <QSemaphore>
#include <QThreadPool>

#include <atomic>
#include <cstddef>
#include <functional>

// Runs a piece of work over the numbers 0 to size - 1 on the calling thread
// and threads() - 1 helpers, runnables of a thread pool of its own. The
// numbers are handed out in blocks as the threads come for them, since one
// piece of the work may cost a thousand times another.
//
// A pass calls forEachBlock about fifty times, a few hundred microseconds
// apart when the view is light. Waking a sleeping thread takes tens of
// microseconds here, so a helper that has finished waits a little while for
// the next call before it gives its thread back to the pool.
class PassThreads {
public:
    // One thread per core.
    PassThreads();

    int threads() const { return m_threads; }
    // At least 1: the calling thread alone.
    void setThreads(int threads);

    // Calls work(begin, end) for blocks that together cover 0 to size - 1 once
    // each, on all the threads at once; returns when all blocks are done.
    void forEachBlock(size_t size, const std::function<void(size_t, size_t)>& work);

private:
    void help();

    int m_threads = 1;
    // Helpers started and not yet returned to the pool.
    std::atomic<int> m_helpers{0};
    // Places left for helpers in the running call, 0 between calls.
    std::atomic<int> m_seats{0};
    // What the running call hands out; valid to a helper holding a place.
    const std::function<void()>* m_takeBlocks = nullptr;
    // Released by a helper holding a place when it has no more work. A
    // member: a helper may still be inside release() when the caller's
    // acquire() returns.
    QSemaphore m_finished;
    // Last, so that it is destroyed first: it waits for the helpers.
    QThreadPool m_pool;
};
