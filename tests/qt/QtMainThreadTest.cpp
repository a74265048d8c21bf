// Tasks posted from any thread run later, on the main loop, in the order they were posted.
#include <gtest/gtest.h>

#include <numeric>
#include <thread>
#include <vector>

#include "platform/qt/network/QtMainThread.h"
#include "support/qt/QtTestLoop.h"

namespace lirra {
namespace {

TEST(QtMainThreadTest, RunsTasksFromAnyThreadOnTheMainLoopInPostingOrder) {
    test::ensureCoreApplication();
    QtMainThread mainThread;
    std::vector<int> order;  // -1 for a task that ran on another thread
    const auto task = [&](int i) {
        return [&, i] { order.push_back(mainThread.isCurrent() ? i : -1); };
    };
    mainThread.post(task(0));
    EXPECT_TRUE(order.empty());  // never inside post()
    std::thread worker([&] {
        EXPECT_FALSE(mainThread.isCurrent());
        for (int i = 1; i < 100; ++i) mainThread.post(task(i));
    });
    worker.join();
    ASSERT_TRUE(test::runEventLoopUntil([&] { return order.size() == 100; }));
    std::vector<int> expected(100);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(order, expected);
}

}  // namespace
}  // namespace lirra
