// SPDX-License-Identifier: GPL-3.0-or-later
// Executors on which promises run their callbacks: a serial queue with its own thread, a queue
// drained by hand (tests), and the main queue, which forwards to the application's event loop.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace lirra {

// Submits work and returns at once. Implementations are safe to call from any thread.
class Queue {
  public:
    virtual ~Queue() = default;
    virtual void async(std::function<void()> work) = 0;
};

// Runs submitted work one item at a time, in submission order, on a thread of its own.
// Destruction runs what is still queued (including work that queued work submits), then joins.
// Destroy it from another thread than its own, after every promise or timer that may still
// submit to it is done with it.
class SerialQueue final : public Queue {
  public:
    SerialQueue();
    ~SerialQueue() override;
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void async(std::function<void()> work) override;
    // True on the queue's own thread.
    bool isCurrent() const;

  private:
    void run();

    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> pending_;
    bool stopping_ = false;
    std::thread thread_;
};

// Holds submitted work until a test runs it. Any thread may submit; runOne/runAll run the work
// on the calling thread, never under the queue's lock.
class ManualQueue final : public Queue {
  public:
    void async(std::function<void()> work) override;
    // Runs the oldest item; false when there was none.
    bool runOne();
    // Runs items until none is left, including those submitted meanwhile; returns how many ran.
    std::size_t runAll();
    std::size_t size() const;

  private:
    mutable std::mutex lock_;
    std::deque<std::function<void()>> pending_;
};

// The queue served by the application's main thread. Its async() hands the work to the hook set
// with setMainQueueHook (the app posts it to its event loop). Work submitted while no hook is set
// is kept, in order, and handed to the next hook that is set, so nothing is dropped at start-up.
// The returned queue lives for the whole process.
Queue& mainQueue();

// Any thread. An empty hook detaches the current one (later work is kept again).
void setMainQueueHook(std::function<void(std::function<void()>)> hook);

}  // namespace lirra
