// timeout(): rejects with the time-out error at the deadline; the timer still fires after the
// receiver settled and then only replaces the reason.
#include <gtest/gtest.h>

#include <thread>

#include "PromiseTestSupport.h"

namespace lirra {
namespace {

using test::DirectMainQueue;
using test::eventually;
using test::intOf;
using test::secondsSince;

void expectTimeoutError(const ErrorPtr& error) {
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, "Timeout");
    EXPECT_EQ(error->code, 100);
    EXPECT_TRUE(error->userInfo.empty());
}

TEST(PromiseTimeoutTest, PendingReceiverIsRejectedAtTheDeadline) {
    DirectMainQueue mainQueueServed;
    auto deferred = Deferred::deferred();
    const auto start = std::chrono::steady_clock::now();
    std::atomic<double> rejectedAfter{-1};
    auto bounded = deferred->timeout(0.1);
    EXPECT_EQ(bounded->queue(), nullptr);
    bounded->failed([&](const ErrorPtr&) { rejectedAfter = secondsSince(start); });
    ASSERT_TRUE(eventually([&] { return rejectedAfter.load() >= 0; }));
    expectTimeoutError(bounded->reason());
    EXPECT_GE(rejectedAfter.load(), 0.1);
    EXPECT_LT(rejectedAfter.load(), 1.0);
    EXPECT_FALSE(deferred->isRejected());  // the receiver is left alone
}

TEST(PromiseTimeoutTest, EarlyResolutionWinsButTheTimerStillReplacesTheReason) {
    DirectMainQueue mainQueueServed;
    auto deferred = Deferred::deferred();
    auto bounded = deferred->timeout(0.1);
    int failures = 0;
    bounded->failed([&](const ErrorPtr&) { ++failures; });
    deferred->resolve(5);
    EXPECT_TRUE(bounded->isResolved());
    EXPECT_EQ(bounded->reason(), nullptr);
    ASSERT_TRUE(eventually([&] { return bounded->reason() != nullptr; }));
    expectTimeoutError(bounded->reason());
    EXPECT_TRUE(bounded->isResolved());
    EXPECT_EQ(intOf(bounded->result()), 5);
    EXPECT_EQ(failures, 0);
}

TEST(PromiseTimeoutTest, TimerRunsOnTheReceiversQueue) {
    ManualQueue queue;
    auto deferred = Deferred::initWithQueue(&queue);
    auto bounded = deferred->timeout(0.02);
    EXPECT_EQ(bounded->queue(), &queue);
    ASSERT_TRUE(eventually([&] { return queue.size() > 0; }));
    EXPECT_FALSE(bounded->isRejected());  // the handler waits for the queue
    queue.runAll();
    EXPECT_TRUE(bounded->isRejected());
    expectTimeoutError(bounded->reason());
}

TEST(PromiseTimeoutTest, ZeroRejectsAsSoonAsTheMainQueueRuns) {
    ManualQueue mainLoop;
    setMainQueueHook([&](std::function<void()> work) { mainLoop.async(std::move(work)); });
    auto bounded = Deferred::deferred()->timeout(0);
    ASSERT_TRUE(eventually([&] { return mainLoop.size() > 0; }));
    mainLoop.runAll();
    EXPECT_TRUE(bounded->isRejected());

    // A receiver already settled reaches the promise first.
    auto early = Promise::resolved(1)->timeout(0);
    EXPECT_TRUE(early->isResolved());
    ASSERT_TRUE(eventually([&] { return mainLoop.size() > 0; }));
    mainLoop.runAll();
    EXPECT_TRUE(early->isResolved());
    expectTimeoutError(early->reason());
    setMainQueueHook(nullptr);
}

TEST(PromiseTimeoutTest, LeewayIsCountedInNanoseconds) {
    DirectMainQueue mainQueueServed;
    const auto start = std::chrono::steady_clock::now();
    // 1000 ns of slack: had it been taken as seconds, this would not fire for a long while.
    auto bounded = Deferred::deferred()->timeout(0.05, 1000);
    ASSERT_TRUE(eventually([&] { return bounded->isRejected(); }));
    EXPECT_GE(secondsSince(start), 0.05);
    EXPECT_LT(secondsSince(start), 1.0);
}

TEST(PromiseTimeoutTest, HandlerHoldsThePromiseUntilItFires) {
    DirectMainQueue mainQueueServed;
    std::weak_ptr<Promise> weak;
    {
        auto bounded = Promise::resolved(1)->timeout(0.03);
        weak = bounded;
    }
    EXPECT_FALSE(weak.expired());
    // Released once the timer has fired and cancelled itself.
    EXPECT_TRUE(eventually([&] { return weak.expired(); }));
}

}  // namespace
}  // namespace lirra
