// SPDX-License-Identifier: GPL-3.0-or-later
// Background work of the subtitle sources (reading a container, later others), bounded: at most
// `capacity` videos wait, each at most once, and a few worker threads take them in order. A
// lookup only asks for work here and never waits for it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace lirra::server {

class SourceQueue {
  public:
    // A job sees `stop` become true when the queue is destroyed, and should return soon after.
    using Job = std::function<void(const std::atomic<bool>& stop)>;

    explicit SourceQueue(std::size_t capacity = 64, std::size_t workers = 1);
    ~SourceQueue();  // stops the workers after their current job; waiting jobs are dropped
    SourceQueue(const SourceQueue&) = delete;
    SourceQueue& operator=(const SourceQueue&) = delete;

    // False (and the job dropped) when the queue is full or `video` is waiting or running.
    bool push(std::int64_t video, Job job);

    // Whether work for `video` waits or runs.
    bool busy(std::int64_t video) const;

    // Until nothing waits or runs (tests and benchmarks).
    void waitIdle() const;

  private:
    void work();

    std::size_t capacity_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::deque<std::pair<std::int64_t, Job>> waiting_;
    std::set<std::int64_t> busy_;  // waiting or running
    std::atomic<bool> stop_{false};
    std::vector<std::thread> workers_;
};

}  // namespace lirra::server
