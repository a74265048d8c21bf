// SPDX-License-Identifier: GPL-3.0-or-later
// timeout(): rejects at the deadline; after the receiver settled it only replaces the reason.
#include <gtest/gtest.h>

#include "PromiseTestSupport.h"

namespace lirra {
namespace {

using test::eventually;
using test::intOf;
using test::secondsSince;

bool isTimeoutError(const ErrorPtr& error) {
    return error && error->domain == "Timeout" && error->code == 100 && error->userInfo.empty();
}

// Promises without a queue time out on the main queue: serve it on the timer's thread.
class PromiseTimeoutTest : public ::testing::Test {
  protected:
    PromiseTimeoutTest() {
        setMainQueueHook([](std::function<void()> work) { work(); });
    }
    ~PromiseTimeoutTest() override { setMainQueueHook(nullptr); }
};

TEST_F(PromiseTimeoutTest, RejectsAPendingReceiverOnTimeAndOnlyReplacesTheReasonOfASettledOne) {
    const auto start = std::chrono::steady_clock::now();
    std::atomic<double> rejectedAfter{-1};
    auto pending = Deferred::deferred();
    // 1000 ns of leeway: had it been taken as seconds, this would not fire for a long while.
    auto bounded = pending->timeout(0.1, 1000);
    bounded->failed([&](const ErrorPtr&) { rejectedAfter = secondsSince(start); });
    auto early = Deferred::deferred();
    auto settled = early->timeout(0.05);
    int failures = 0;
    settled->failed([&](const ErrorPtr&) { ++failures; });
    early->resolve(5);
    EXPECT_TRUE(settled->isResolved());

    ASSERT_TRUE(eventually([&] { return rejectedAfter.load() >= 0; }));
    EXPECT_TRUE(isTimeoutError(bounded->reason()));
    EXPECT_GE(rejectedAfter.load(), 0.1);
    EXPECT_LT(rejectedAfter.load(), 1.0);
    EXPECT_FALSE(pending->isRejected());  // the receiver is left alone
    pending->resolve(0);                  // frees it and the chained consumers
    // The settled one keeps its result and calls no failure callback; its reason is replaced.
    EXPECT_TRUE(isTimeoutError(settled->reason()) && settled->isResolved() &&
                intOf(settled->result()) == 5 && failures == 0);

    std::weak_ptr<Promise> weak = Promise::resolved(1)->timeout(0);  // held by the handler
    EXPECT_TRUE(eventually([&] { return weak.expired(); }));         // until it has run
}

TEST_F(PromiseTimeoutTest, TimerRunsOnTheReceiversQueueOrTheMainQueue) {
    ManualQueue queue;
    auto receiver = Deferred::initWithQueue(&queue);
    auto bounded = receiver->timeout(0);
    EXPECT_EQ(bounded->queue(), &queue);
    ASSERT_TRUE(eventually([&] { return queue.size() > 0; }));
    EXPECT_FALSE(bounded->isRejected());  // the handler waits for the queue
    queue.runAll();
    EXPECT_TRUE(isTimeoutError(bounded->reason()));

    setMainQueueHook([&](std::function<void()> work) { queue.async(std::move(work)); });
    auto mainReceiver = Deferred::deferred();
    auto onMain = mainReceiver->timeout(0);
    ASSERT_TRUE(eventually([&] { return queue.size() > 0; }));
    queue.runAll();
    EXPECT_TRUE(onMain->isRejected());

    // Settled receivers release their consumers once their queue has run.
    receiver->resolve(0);
    mainReceiver->resolve(0);
    queue.runAll();
    setMainQueueHook(nullptr);  // before `queue` goes
}

}  // namespace
}  // namespace lirra
