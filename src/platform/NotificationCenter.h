// SPDX-License-Identifier: GPL-3.0-or-later
// Named notifications with an optional sender, delivered synchronously on the posting thread.
#pragma once

#include <any>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace lirra {

using UserInfo = std::map<std::string, std::any>;

struct Notification {
    std::string name;
    const void* object = nullptr;  // the sender, or none
    UserInfo userInfo;
};

class NotificationCenter {
  public:
    using ObserverId = std::uint64_t;
    using Handler = std::function<void(const Notification&)>;

    // The process-wide center. Components take a center by reference so tests can use their own.
    static NotificationCenter& defaultCenter();

    // `object` restricts delivery to notifications from that sender; nullptr accepts any sender.
    // Callable from any thread.
    ObserverId addObserver(std::string name, const void* object, Handler handler);
    // Once this returns, the observer is never called again, not even by a post already under
    // way on another thread: it waits for calls of that observer running on other threads to
    // return (a call on this thread, e.g. the observer removing itself, is not waited for).
    // Unknown or already removed ids are ignored.
    void removeObserver(ObserverId id);

    // Calls every matching observer, in registration order, before returning. Observers may
    // add or remove observers and post further notifications while being called.
    void post(const std::string& name, const void* object = nullptr, UserInfo userInfo = {});

  private:
    struct Observer {
        std::string name;
        const void* object;
        std::shared_ptr<Handler> handler;
    };
    std::mutex mutex_;
    std::condition_variable callEnded_;
    std::map<ObserverId, Observer> observers_;            // ids grow, so this is registration order
    std::multimap<ObserverId, std::thread::id> calling_;  // observer calls under way
    ObserverId nextId_ = 1;
};

}  // namespace lirra
