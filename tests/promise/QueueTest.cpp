// SPDX-License-Identifier: GPL-3.0-or-later
// The executors: a serial one on its own thread; the main queue, kept until the app hooks it.
#include <gtest/gtest.h>

#include "PromiseTestSupport.h"

namespace lirra {
namespace {

TEST(QueueTest, SerialQueueRunsInOrderOnItsOwnThreadAndDrainsOnDestruction) {
    std::vector<int> order;
    bool wasCurrent = false;
    {
        SerialQueue queue;
        queue.async([&] {
            wasCurrent = queue.isCurrent();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let the rest queue up
        });
        for (int i = 0; i < 100; ++i) {
            queue.async([&, i] {
                order.push_back(i);
                if (i == 99) queue.async([&] { order.push_back(100); });  // queued during drain
            });
        }
        EXPECT_FALSE(queue.isCurrent());
    }
    ASSERT_EQ(order.size(), 101u);
    for (int i = 0; i <= 100; ++i) EXPECT_EQ(order[i], i);
    EXPECT_TRUE(wasCurrent);
}

TEST(QueueTest, MainQueueKeepsWorkUntilAHookIsSetThenHandsItOverInOrder) {
    std::vector<int> order;
    auto submit = [&](int n, int then) {
        mainQueue().async([&, n, then] {
            order.push_back(n);
            if (then) mainQueue().async([&, then] { order.push_back(then); });
        });
    };
    submit(1, 0);
    submit(2, 3);  // submits during the hand-over
    EXPECT_TRUE(order.empty());
    ManualQueue loop;
    setMainQueueHook([&](std::function<void()> work) { loop.async(std::move(work)); });
    EXPECT_EQ(loop.size(), 2u);
    EXPECT_EQ(loop.runAll(), 3u);

    setMainQueueHook(nullptr);
    submit(4, 6);
    submit(5, 0);
    EXPECT_EQ(order.size(), 3u);
    setMainQueueHook([](std::function<void()> work) { work(); });  // runs work inside the hook
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4, 5, 6}));
    setMainQueueHook(nullptr);
}

}  // namespace
}  // namespace lirra
