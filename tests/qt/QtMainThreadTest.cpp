#include <gtest/gtest.h>

#include <QThread>
#include <thread>
#include <vector>

#include "platform/qt/network/QtMainThread.h"
#include "support/qt/QtTestLoop.h"

namespace lirra {
namespace {

TEST(QtMainThreadTest, RunsTasksFromAnyThreadOnTheMainLoopInPostingOrder) {
    test::ensureCoreApplication();
    QtMainThread mainThread;
    EXPECT_TRUE(mainThread.isCurrent());

    std::vector<int> order;
    bool ranOnMain = true;
    bool ranDuringPost = false;
    bool posting = true;
    mainThread.post([&] { ranDuringPost = posting; });
    posting = false;
    std::thread worker([&] {
        EXPECT_FALSE(mainThread.isCurrent());
        for (int i = 0; i < 100; ++i) {
            mainThread.post([&, i] {
                ranOnMain = ranOnMain && mainThread.isCurrent();
                order.push_back(i);
            });
        }
    });
    worker.join();
    ASSERT_TRUE(test::runEventLoopUntil([&] { return order.size() == 100; }));
    EXPECT_FALSE(ranDuringPost);
    EXPECT_TRUE(ranOnMain);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(order[i], i);
}

}  // namespace
}  // namespace lirra
