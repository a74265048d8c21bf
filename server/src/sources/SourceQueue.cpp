// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources/SourceQueue.h"

namespace lirra::server {

SourceQueue::SourceQueue(std::size_t capacity, std::size_t workers) : capacity_(capacity) {
    for (std::size_t n = 0; n < workers; ++n) workers_.emplace_back([this] { work(); });
}

SourceQueue::~SourceQueue() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    for (auto& worker : workers_) worker.join();
}

bool SourceQueue::push(std::int64_t video, Job job) {
    {
        std::lock_guard lock(mutex_);
        if (stop_ || waiting_.size() >= capacity_ || busy_.count(video)) return false;
        busy_.insert(video);
        waiting_.emplace_back(video, std::move(job));
    }
    changed_.notify_all();
    return true;
}

bool SourceQueue::busy(std::int64_t video) const {
    std::lock_guard lock(mutex_);
    return busy_.count(video) != 0;
}

void SourceQueue::waitIdle() const {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return busy_.empty() || stop_; });
}

void SourceQueue::work() {
    while (true) {
        std::pair<std::int64_t, Job> next;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stop_ || !waiting_.empty(); });
            if (stop_) return;
            next = std::move(waiting_.front());
            waiting_.pop_front();
        }
        // A job must not take the service down; whatever it throws ends only that job.
        try {
            next.second(stop_);
        } catch (...) {
        }
        {
            std::lock_guard lock(mutex_);
            busy_.erase(next.first);
        }
        changed_.notify_all();
    }
}

}  // namespace lirra::server
