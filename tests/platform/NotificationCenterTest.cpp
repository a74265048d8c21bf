#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <string>
#include <thread>
#include <vector>

#include "platform/NotificationCenter.h"

namespace lirra {
namespace {

using namespace std::chrono_literals;

TEST(NotificationCenterTest, DeliversMatchingNotificationsInRegistrationOrder) {
    NotificationCenter center;
    int sender = 0;
    int otherSender = 0;
    std::vector<std::string> calls;
    center.addObserver("Event", nullptr, [&](const Notification& n) {
        calls.push_back("any:" + std::any_cast<std::string>(n.userInfo.at("key")));
    });
    center.addObserver("Event", &sender, [&](const Notification&) { calls.push_back("sender"); });
    center.addObserver("Other", nullptr, [&](const Notification&) { calls.push_back("other"); });
    center.addObserver("Event", nullptr, [&](const Notification&) { calls.push_back("last"); });

    center.post("Event", &sender, {{"key", std::string("a")}});
    EXPECT_EQ(calls, (std::vector<std::string>{"any:a", "sender", "last"}));

    calls.clear();
    center.post("Event", &otherSender, {{"key", std::string("b")}});
    center.post("Event", nullptr, {{"key", std::string("c")}});
    EXPECT_EQ(calls, (std::vector<std::string>{"any:b", "last", "any:c", "last"}));
}

TEST(NotificationCenterTest, HandlersMayChangeObserversWhileBeingCalled) {
    NotificationCenter center;
    std::vector<std::string> calls;
    NotificationCenter::ObserverId second = 0;
    NotificationCenter::ObserverId self = 0;
    self = center.addObserver("Event", nullptr, [&](const Notification&) {
        calls.push_back("first");
        center.removeObserver(second);  // a later observer of this very post
        center.removeObserver(self);    // itself: no deadlock, no further calls
        center.addObserver("Event", nullptr, [&](const Notification&) { calls.push_back("new"); });
        center.post("Nested");  // delivered inside this call
    });
    center.addObserver("Nested", nullptr, [&](const Notification&) { calls.push_back("nested"); });
    second = center.addObserver("Event", nullptr,
                                [&](const Notification&) { calls.push_back("second"); });
    center.addObserver("Event", nullptr, [&](const Notification&) { calls.push_back("third"); });

    center.post("Event");
    // Observers added during a post take part from the next post on.
    EXPECT_EQ(calls, (std::vector<std::string>{"first", "nested", "third"}));
    calls.clear();
    center.post("Event");
    EXPECT_EQ(calls, (std::vector<std::string>{"third", "new"}));
}

TEST(NotificationCenterTest, RemovalWaitsForACallUnderWayOnAnotherThread) {
    NotificationCenter center;
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool proceed = false;
    std::atomic<bool> handlerDone{false};
    const auto id = center.addObserver("Event", nullptr, [&](const Notification&) {
        std::unique_lock lock(mutex);
        entered = true;
        changed.notify_all();
        changed.wait_for(lock, 5s, [&] { return proceed; });
        handlerDone = true;
    });

    std::thread poster([&] { center.post("Event"); });
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, 5s, [&] { return entered; }));
    }
    std::atomic<bool> removed{false};
    bool doneWhenRemoved = false;
    std::thread remover([&] {
        center.removeObserver(id);
        doneWhenRemoved = handlerDone;
        removed = true;
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(removed);
    {
        std::lock_guard lock(mutex);
        proceed = true;
    }
    changed.notify_all();
    remover.join();
    poster.join();
    EXPECT_TRUE(doneWhenRemoved);
    handlerDone = false;
    center.post("Event");  // once removed, never called again
    EXPECT_FALSE(handlerDone);
}

}  // namespace
}  // namespace lirra
