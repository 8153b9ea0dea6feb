// The threads a drawing pass works out its counts on.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

// Runs a piece of work over the numbers 0 to size - 1 on the calling thread
// and threads() - 1 helper threads of its own. The numbers are handed out in
// blocks as the threads come for them, since one piece of the work may cost a
// thousand times another.
//
// A pass calls forEachBlock about fifty times, a few hundred microseconds
// apart when the view is light. Waking a sleeping thread takes tens of
// microseconds here, so a helper that has finished stays awake a little while
// for the next call before it sleeps. Helpers are started when a call first
// needs them and are stopped and joined when the object is destroyed.
class PassThreads {
public:
    // One thread per core.
    PassThreads();

    int threads() const { return m_threads; }
    // At least 1: the calling thread alone. Takes effect from the next call.
    void setThreads(int threads);

    // Calls work(begin, end) for blocks that together cover 0 to size - 1 once
    // each, on all the threads at once; returns when all blocks are done.
    void forEachBlock(size_t size, const std::function<void(size_t, size_t)>& work);

private:
    void help(std::stop_token stop);
    bool takeSeat(const std::stop_token& stop);

    int m_threads = 1;
    // Places left for helpers in the running call, 0 between calls.
    std::atomic<int> m_seats{0};
    // Helpers of the running call that have done their part.
    std::atomic<int> m_finished{0};
    // What the running call hands out; valid to a helper holding a place.
    const std::function<void()>* m_takeBlocks = nullptr;

    // Guards the sleep of helpers between calls and that of the calling thread
    // waiting for them.
    std::mutex m_mutex;
    int m_sleeping = 0; // helpers asleep
    std::condition_variable_any m_called;
    std::condition_variable m_allFinished;

    // Last, so that they are stopped and joined first.
    std::vector<std::jthread> m_helpers;
};
