// Helpers shared by the promise tests.
#pragma once

#include <gtest/gtest.h>

#include <any>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "promise/Promise.h"
#include "promise/Queue.h"

namespace lirra::test {

// The int held by a value, or -1 for none (and anything that is not an int).
inline int intOf(const Value& value) {
    const int* held = std::any_cast<int>(&value);
    return held != nullptr ? *held : -1;
}

// Records events from any thread, in the order they happened.
class EventLog {
  public:
    void add(std::string event) {
        std::lock_guard<std::mutex> guard(lock_);
        events_.push_back(std::move(event));
    }
    std::vector<std::string> events() const {
        std::lock_guard<std::mutex> guard(lock_);
        return events_;
    }

  private:
    mutable std::mutex lock_;
    std::vector<std::string> events_;
};

// Serves the main queue by running its work at once, on whatever thread submits it (the timer
// thread for time-outs), for the lifetime of the guard.
class DirectMainQueue {
  public:
    DirectMainQueue() {
        setMainQueueHook([](std::function<void()> work) { work(); });
    }
    ~DirectMainQueue() { setMainQueueHook(nullptr); }
};

inline double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Polls `done` until it holds or `seconds` pass (for results that arrive on another thread).
inline bool eventually(const std::function<bool()>& done, double seconds = 2.0) {
    const auto start = std::chrono::steady_clock::now();
    while (!done()) {
        if (secondsSince(start) > seconds) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace lirra::test
