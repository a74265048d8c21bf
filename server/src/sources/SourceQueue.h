// SPDX-License-Identifier: GPL-3.0-or-later
// Background work of the subtitle sources (reading a container, asking the online database), kept
// as jobs in the store so that every service on the database shares it: a push queues a row (at
// most one open per video, at most `capacity` waiting), a few workers claim rows of their kind
// under a lease they renew while they work, and look again every `poll` for work another
// service queued or left when it died. A lookup only asks for work here and never waits for it.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "store/Store.h"

namespace lirra::server {

struct SourceQueueOptions {
    std::size_t capacity = 64;
    std::size_t workers = 1;
    std::chrono::milliseconds lease{30000};  // renewed every third of it while a job runs
    std::chrono::milliseconds poll{1000};
    std::int64_t maxAttempts = 3;            // a job that throws is tried this often in all,
    std::chrono::milliseconds retry{30000};  // this long apart
};

class SourceQueue {
  public:
    // Does a job of the queue's kind; sees `stop` become true when the queue is destroyed and
    // should return soon after. What it throws fails the try.
    using Handler = std::function<void(const Job& job, const std::atomic<bool>& stop)>;

    SourceQueue(Store& store, std::string kind, Handler handler, SourceQueueOptions options = {});
    // Stops the workers after their current job, which is left to its lease: the next service
    // to look takes it up.
    ~SourceQueue();
    SourceQueue(const SourceQueue&) = delete;
    SourceQueue& operator=(const SourceQueue&) = delete;

    // False (and nothing queued) when the queue is full or `video` has work waiting or running.
    bool push(std::int64_t video, const std::string& parameters);

    // Whether work for `video` waits or runs, in this service or another.
    bool busy(std::int64_t video) const;

    // Until nothing is left that this service could do (tests and benchmarks).
    void waitIdle() const;

    // Who claims for this queue: unique to it, a new one at every start.
    const std::string& owner() const { return owner_; }

  private:
    void work();
    void renew();

    Store& store_;
    const std::string kind_;
    const Handler handler_;
    const SourceQueueOptions options_;
    const std::string owner_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::uint64_t pushes_ = 0;     // wakes the workers before their next poll
    std::set<std::int64_t> held_;  // the jobs the workers run
    std::atomic<bool> stop_{false};
    std::vector<std::thread> workers_;
    std::thread renewer_;
};

// A looked-up video's key as a job's parameters, and back; nothing for text that is not one.
nlohmann::json videoKeyJson(const VideoKey& key);
std::optional<VideoKey> videoKeyFromJson(const nlohmann::json& json);

}  // namespace lirra::server
