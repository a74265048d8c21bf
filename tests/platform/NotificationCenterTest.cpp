// SPDX-License-Identifier: GPL-3.0-or-later
// Named notifications: who gets them, in which order, while observers come and go.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/NotificationCenter.h"

namespace lirra {
namespace {

using namespace std::chrono_literals;
using Calls = std::vector<std::string>;

TEST(NotificationCenterTest, DeliversByNameAndSenderInRegistrationOrder) {
    NotificationCenter center;
    int sender = 0, other = 0;
    Calls calls;
    auto record = [&](std::string what) {
        return [&calls, what](const Notification& n) {
            const auto key = n.userInfo.find("key");
            calls.push_back(
                what + (key == n.userInfo.end() ? "" : std::any_cast<std::string>(key->second)));
        };
    };
    center.addObserver("Event", nullptr, record("any:"));
    center.addObserver("Event", &sender, record("sender:"));
    center.addObserver("Other", nullptr, record("other:"));
    center.addObserver("Event", nullptr, record("last:"));
    center.post("Event", &sender, {{"key", std::string("a")}});
    center.post("Event", &other, {{"key", std::string("b")}});
    center.post("Event");
    EXPECT_EQ(calls, (Calls{"any:a", "sender:a", "last:a", "any:b", "last:b", "any:", "last:"}));
}

// Observers added during a post take part from the next post on; removed ones at once.
TEST(NotificationCenterTest, HandlersMayChangeObserversAndPostWhileBeingCalled) {
    NotificationCenter center;
    Calls calls;
    NotificationCenter::ObserverId second = 0, self = 0;
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
    center.post("Event");
    EXPECT_EQ(calls, (Calls{"first", "nested", "third", "third", "new"}));
    center.removeObserver(12345);  // unknown: ignored
}

TEST(NotificationCenterTest, RemovalWaitsForACallUnderWayOnAnotherThread) {
    NotificationCenter center;
    std::atomic<int> calls{0};
    std::atomic<bool> returned{false};
    const auto id = center.addObserver("Event", nullptr, [&](const Notification&) {
        if (++calls > 1) return;
        std::this_thread::sleep_for(100ms);
        returned = true;
    });
    std::thread poster([&] { center.post("Event"); });
    while (calls == 0) std::this_thread::yield();
    center.removeObserver(id);
    EXPECT_TRUE(returned);
    poster.join();
    center.post("Event");
    EXPECT_EQ(calls, 1);  // once removed, never called again
}

}  // namespace
}  // namespace lirra
