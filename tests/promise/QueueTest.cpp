// The executors: serial order on a thread of its own, hand-drained queue, and the main queue
// that keeps work until the application hooks it to its event loop.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "PromiseTestSupport.h"

namespace lirra {
namespace {

TEST(QueueTest, SerialQueueRunsInOrderOnItsOwnThreadAndDrainsOnDestruction) {
    std::vector<int> order;
    std::thread::id ranOn;
    std::atomic<bool> wasCurrent{false};
    {
        SerialQueue queue;
        EXPECT_FALSE(queue.isCurrent());
        queue.async([&] {
            ranOn = std::this_thread::get_id();
            wasCurrent = queue.isCurrent();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let the rest queue up
        });
        for (int i = 0; i < 100; ++i) {
            queue.async([&order, i, &queue] {
                order.push_back(i);
                if (i == 99) queue.async([&order] { order.push_back(100); });  // during drain
            });
        }
    }  // destruction runs everything still queued, then joins
    ASSERT_EQ(order.size(), 101u);
    for (int i = 0; i <= 100; ++i) EXPECT_EQ(order[i], i);
    EXPECT_NE(ranOn, std::this_thread::get_id());
    EXPECT_TRUE(wasCurrent);
}

TEST(QueueTest, ManualQueueRunsOnlyWhenAsked) {
    ManualQueue queue;
    std::vector<int> order;
    queue.async([&] {
        order.push_back(1);
        queue.async([&] { order.push_back(3); });
    });
    queue.async([&] { order.push_back(2); });
    EXPECT_TRUE(order.empty());
    EXPECT_TRUE(queue.runOne());
    EXPECT_EQ(order, (std::vector<int>{1}));
    EXPECT_EQ(queue.runAll(), 2u);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(queue.runOne());
}

TEST(QueueTest, MainQueueKeepsWorkUntilAHookIsSetThenHandsItOverInOrder) {
    std::vector<int> order;
    mainQueue().async([&] { order.push_back(1); });
    mainQueue().async([&] {
        order.push_back(2);
        mainQueue().async([&] { order.push_back(3); });  // submitted during the hand-over
    });
    EXPECT_TRUE(order.empty());

    ManualQueue loop;
    setMainQueueHook([&](std::function<void()> work) { loop.async(std::move(work)); });
    EXPECT_EQ(loop.size(), 2u);
    loop.runAll();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));

    // Running the work from inside the hook (a hook that runs at once) keeps the order too.
    setMainQueueHook(nullptr);
    mainQueue().async([&] {
        order.push_back(4);
        mainQueue().async([&] { order.push_back(6); });
    });
    mainQueue().async([&] { order.push_back(5); });
    EXPECT_EQ(order.size(), 3u);
    setMainQueueHook([](std::function<void()> work) { work(); });
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4, 5, 6}));
    setMainQueueHook(nullptr);
}

}  // namespace
}  // namespace lirra
