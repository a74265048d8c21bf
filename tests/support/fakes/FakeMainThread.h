// The main thread's queue for unit tests: posted tasks wait until the test drains them.
#pragma once

#include <deque>
#include <functional>
#include <mutex>

#include "platform/MainThread.h"

namespace lirra::fakes {

class FakeMainThread : public MainThread {
  public:
    void post(std::function<void()> task) override {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    bool isCurrent() const override { return current_; }

    // Runs tasks in posting order until none is left, also those posted meanwhile; returns
    // how many ran.
    int runAll() {
        int count = 0;
        while (runOne()) {
            ++count;
        }
        return count;
    }
    // Runs the oldest task; false when there was none.
    bool runOne() {
        std::function<void()> task;
        {
            std::lock_guard lock(mutex_);
            if (tasks_.empty()) {
                return false;
            }
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
        return true;
    }
    std::size_t pending() const {
        std::lock_guard lock(mutex_);
        return tasks_.size();
    }

    bool current_ = true;

  private:
    mutable std::mutex mutex_;
    std::deque<std::function<void()>> tasks_;
};

}  // namespace lirra::fakes
