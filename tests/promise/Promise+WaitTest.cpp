// wait(): returns the result at once, at resolution, or none at the deadline.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "PromiseTestSupport.h"

namespace lirra {
namespace {

using test::intOf;
using test::secondsSince;

TEST(PromiseWaitTest, ResolvedPromiseReturnsAtOnce) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(intOf(Promise::resolved(3)->wait(5.0)), 3);
    EXPECT_LT(secondsSince(start), 1.0);
}

TEST(PromiseWaitTest, PendingPromiseReturnsNoneAtTheDeadline) {
    auto deferred = Deferred::deferred();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(deferred->wait(0.1).has_value());
    const double elapsed = secondsSince(start);
    EXPECT_GE(elapsed, 0.1);
    EXPECT_LT(elapsed, 1.0);
    // The waiter's callback outlives the wait; settling later must be harmless.
    deferred->resolve(1);
}

TEST(PromiseWaitTest, ResolutionOnAnotherThreadWakesTheWaiter) {
    auto deferred = Deferred::deferred();
    std::thread settler([deferred] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        deferred->resolve(21);
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(intOf(deferred->wait(10.0)), 21);
    EXPECT_LT(secondsSince(start), 5.0);
    settler.join();
}

TEST(PromiseWaitTest, RejectionDoesNotEndTheWait) {
    auto deferred = Deferred::deferred();
    deferred->reject(makeError("E", 1));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(deferred->wait(0.05).has_value());
    EXPECT_GE(secondsSince(start), 0.05);
}

TEST(PromiseWaitTest, QueuedPromiseWakesWhenItsQueueRunsTheCallback) {
    SerialQueue queue;
    auto deferred = Deferred::initWithQueue(&queue);
    std::thread settler([deferred] { deferred->resolve(4); });
    EXPECT_EQ(intOf(deferred->wait(10.0)), 4);
    settler.join();
}

TEST(PromiseWaitTest, UnusableTimesDoNotBlockForever) {
    auto deferred = Deferred::deferred();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(deferred->wait(-1.0).has_value());
    EXPECT_FALSE(deferred->wait(std::nan("")).has_value());
    EXPECT_LT(secondsSince(start), 1.0);
}

}  // namespace
}  // namespace lirra
