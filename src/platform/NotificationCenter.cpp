// SPDX-License-Identifier: GPL-3.0-or-later
// Delivery never holds the lock while a handler runs, so handlers may register, remove and post
// freely. Each call is announced in `calling_` so that removeObserver can wait for calls on other
// threads; a post checks that an observer is still registered right before calling it.
#include "NotificationCenter.h"

#include <utility>

namespace lirra {

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

NotificationCenter::ObserverId NotificationCenter::addObserver(std::string name, const void* object,
                                                               Handler handler) {
    std::lock_guard lock(mutex_);
    const ObserverId id = nextId_++;
    observers_.emplace(
        id, Observer{std::move(name), object, std::make_shared<Handler>(std::move(handler))});
    return id;
}

void NotificationCenter::removeObserver(ObserverId id) {
    std::unique_lock lock(mutex_);
    observers_.erase(id);
    const std::thread::id self = std::this_thread::get_id();
    callEnded_.wait(lock, [&] {
        auto [begin, end] = calling_.equal_range(id);
        for (auto it = begin; it != end; ++it) {
            if (it->second != self) return false;
        }
        return true;
    });
}

void NotificationCenter::post(const std::string& name, const void* object, UserInfo userInfo) {
    std::vector<ObserverId> targets;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [id, observer] : observers_) {
            if (observer.name == name &&
                (observer.object == nullptr || observer.object == object)) {
                targets.push_back(id);
            }
        }
    }
    const Notification notification{name, object, std::move(userInfo)};
    const std::thread::id self = std::this_thread::get_id();
    for (ObserverId id : targets) {
        std::shared_ptr<Handler> handler;
        std::multimap<ObserverId, std::thread::id>::iterator call;
        {
            std::lock_guard lock(mutex_);
            auto found = observers_.find(id);
            if (found == observers_.end()) continue;  // removed since the post began
            handler = found->second.handler;
            call = calling_.emplace(id, self);
        }
        struct CallEnd {
            NotificationCenter& center;
            std::multimap<ObserverId, std::thread::id>::iterator call;
            ~CallEnd() {
                {
                    std::lock_guard lock(center.mutex_);
                    center.calling_.erase(call);
                }
                center.callEnded_.notify_all();
            }
        } callEnd{*this, call};
        (*handler)(notification);
    }
}

}  // namespace lirra
