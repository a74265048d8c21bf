// Named notifications with an optional sender, delivered synchronously on the posting thread.
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

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
    ObserverId addObserver(std::string name, const void* object, Handler handler);
    void removeObserver(ObserverId id);

    // Calls every matching observer, in registration order, before returning. Observers may
    // add or remove observers and post further notifications while being called.
    void post(const std::string& name, const void* object = nullptr, UserInfo userInfo = {});

private:
    struct Observer {
        ObserverId id;
        std::string name;
        const void* object;
        std::shared_ptr<Handler> handler;
    };
    std::mutex mutex_;
    std::vector<Observer> observers_;
    ObserverId nextId_ = 1;
};

}  // namespace lirra
