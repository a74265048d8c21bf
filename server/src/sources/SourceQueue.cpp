// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources/SourceQueue.h"

#include <unistd.h>

#include <cstdio>
#include <random>

namespace lirra::server {
namespace {

void logLine(const std::string& kind, const std::string& what) {
    std::fprintf(stderr, "lirra-server: %s jobs: %s\n", kind.c_str(), what.c_str());
}

// Random, so that a restarted service (whose process id may come again) never finds a lease of
// its own from before.
std::string newOwner() {
    std::random_device random;
    char text[64];
    std::snprintf(text, sizeof text, "%d-%08x%08x%08x", static_cast<int>(getpid()), random(),
                  random(), random());
    return text;
}

}  // namespace

SourceQueue::SourceQueue(Store& store, std::string kind, Handler handler,
                         SourceQueueOptions options)
    : store_(store),
      kind_(std::move(kind)),
      handler_(std::move(handler)),
      options_(options),
      owner_(newOwner()) {
    for (std::size_t n = 0; n < options_.workers; ++n) workers_.emplace_back([this] { work(); });
    renewer_ = std::thread([this] { renew(); });
}

SourceQueue::~SourceQueue() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    for (auto& worker : workers_) worker.join();
    renewer_.join();
}

bool SourceQueue::push(std::int64_t video, const std::string& parameters) {
    if (stop_) return false;
    bool queued = false;
    std::string error;
    if (store_.enqueueJob(kind_, video, parameters, static_cast<std::int64_t>(options_.capacity),
                          queued, error) != StoreStatus::Ok) {
        logLine(kind_, error);
        return false;
    }
    if (!queued) return false;
    {
        std::lock_guard lock(mutex_);
        ++pushes_;
    }
    changed_.notify_all();
    return true;
}

bool SourceQueue::busy(std::int64_t video) const {
    bool open = false;
    std::string error;
    if (store_.jobOpen(kind_, video, open, error) != StoreStatus::Ok) logLine(kind_, error);
    return open;
}

void SourceQueue::waitIdle() const {
    std::unique_lock lock(mutex_);
    while (!stop_) {
        lock.unlock();
        std::int64_t left = 0;
        std::string error;
        if (store_.jobsToDo(kind_, owner_, left, error) != StoreStatus::Ok) logLine(kind_, error);
        lock.lock();
        if (left == 0) return;
        changed_.wait_for(lock, std::chrono::milliseconds(20));
    }
}

void SourceQueue::work() {
    const auto leaseMs = options_.lease.count();
    while (true) {
        std::uint64_t seen = 0;
        {
            std::lock_guard lock(mutex_);
            if (stop_) return;
            seen = pushes_;
        }
        Job job;
        std::string error;
        const auto claimed = store_.claimJob(kind_, owner_, leaseMs, job, error);
        if (claimed != StoreStatus::Ok) {
            if (claimed == StoreStatus::Failed) logLine(kind_, error);
            std::unique_lock lock(mutex_);
            changed_.wait_for(lock, options_.poll, [&] { return stop_ || pushes_ != seen; });
            continue;
        }
        {
            std::lock_guard lock(mutex_);
            held_.insert(job.id);
        }
        // A job must not take the service down; whatever it throws ends only this try.
        bool done = true;
        try {
            handler_(job, stop_);
        } catch (...) {
            done = false;
        }
        {
            std::lock_guard lock(mutex_);
            held_.erase(job.id);
        }
        // Stopped midway: the job is left to its lease, for whoever looks next.
        if (!stop_) {
            const auto status = done ? store_.finishJob(job.id, owner_, error)
                                     : store_.failJob(job.id, owner_, options_.maxAttempts,
                                                      options_.retry.count(), error);
            if (status == StoreStatus::Failed) logLine(kind_, error);
            if (status == StoreStatus::NotFound) {
                logLine(kind_, "job " + std::to_string(job.id) + " was taken over meanwhile");
            }
        }
        changed_.notify_all();
    }
}

void SourceQueue::renew() {
    std::unique_lock lock(mutex_);
    while (!changed_.wait_for(lock, options_.lease / 3, [this] { return stop_.load(); })) {
        const std::set<std::int64_t> held = held_;
        lock.unlock();
        for (const auto id : held) {
            std::string error;
            if (store_.renewJob(id, owner_, options_.lease.count(), error) == StoreStatus::Failed)
                logLine(kind_, error);
        }
        lock.lock();
    }
}

nlohmann::json videoKeyJson(const VideoKey& key) {
    return {{"hash", key.hash}, {"size", key.size}, {"fileName", key.fileName}};
}

std::optional<VideoKey> videoKeyFromJson(const nlohmann::json& json) {
    if (!json.is_object()) return std::nullopt;
    const auto hash = json.find("hash"), size = json.find("size"), name = json.find("fileName");
    if (hash == json.end() || !hash->is_string() || size == json.end() ||
        !size->is_number_unsigned() || name == json.end() || !name->is_string()) {
        return std::nullopt;
    }
    return VideoKey{hash->get<std::string>(), size->get<std::uint64_t>(), name->get<std::string>()};
}

}  // namespace lirra::server
