// SPDX-License-Identifier: GPL-3.0-or-later
#include "Queue.h"

#include <utility>

namespace lirra {

SerialQueue::SerialQueue() : thread_([this] { run(); }) {}

SerialQueue::~SerialQueue() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void SerialQueue::async(std::function<void()> work) {
    // Notified under the lock: once the queue's thread can take the work, the submitter is done
    // with the queue, so work that ends the queue's life (its owner waits for it) is safe.
    std::lock_guard<std::mutex> guard(lock_);
    pending_.push_back(std::move(work));
    wake_.notify_one();
}

bool SerialQueue::isCurrent() const { return std::this_thread::get_id() == thread_.get_id(); }

void SerialQueue::run() {
    for (;;) {
        std::function<void()> work;
        {
            std::unique_lock<std::mutex> guard(lock_);
            wake_.wait(guard, [this] { return stopping_ || !pending_.empty(); });
            // Stop only once drained: work queued before destruction still runs.
            if (pending_.empty()) return;
            work = std::move(pending_.front());
            pending_.pop_front();
        }
        if (work) work();
    }
}

void ManualQueue::async(std::function<void()> work) {
    std::lock_guard<std::mutex> guard(lock_);
    pending_.push_back(std::move(work));
}

bool ManualQueue::runOne() {
    std::function<void()> work;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (pending_.empty()) return false;
        work = std::move(pending_.front());
        pending_.pop_front();
    }
    if (work) work();
    return true;
}

std::size_t ManualQueue::runAll() {
    std::size_t count = 0;
    while (runOne()) ++count;
    return count;
}

std::size_t ManualQueue::size() const {
    std::lock_guard<std::mutex> guard(lock_);
    return pending_.size();
}

namespace {

class MainQueue final : public Queue {
  public:
    void async(std::function<void()> work) override {
        std::function<void(std::function<void()>)> hook;
        {
            std::lock_guard<std::mutex> guard(lock_);
            // While earlier work is still being handed over, queue behind it to keep the order.
            if (!hook_ || handingOver_) {
                pending_.push_back(std::move(work));
                return;
            }
            hook = hook_;
        }
        hook(std::move(work));
    }

    void setHook(std::function<void(std::function<void()>)> hook) {
        std::unique_lock<std::mutex> guard(lock_);
        hook_ = std::move(hook);
        if (!hook_ || handingOver_) return;  // an ongoing hand-over picks the new hook up
        handingOver_ = true;
        // The hook runs outside the lock: it may run the work at once, and that work may submit.
        while (hook_ && !pending_.empty()) {
            auto work = std::move(pending_.front());
            pending_.pop_front();
            auto current = hook_;
            guard.unlock();
            current(std::move(work));
            guard.lock();
        }
        handingOver_ = false;
    }

  private:
    std::mutex lock_;
    std::function<void(std::function<void()>)> hook_;
    std::deque<std::function<void()>> pending_;
    bool handingOver_ = false;
};

MainQueue& theMainQueue() {
    // Never destroyed: timers and promises may still reach it while statics are torn down.
    static MainQueue* queue = new MainQueue;
    return *queue;
}

}  // namespace

Queue& mainQueue() { return theMainQueue(); }

void setMainQueueHook(std::function<void(std::function<void()>)> hook) {
    theMainQueue().setHook(std::move(hook));
}

}  // namespace lirra
