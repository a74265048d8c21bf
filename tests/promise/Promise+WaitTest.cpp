// wait(): returns the result at once, at resolution, or none at the deadline.
#include <gtest/gtest.h>

#include <cmath>

#include "PromiseTestSupport.h"

namespace lirra {
namespace {

using test::intOf;
using test::secondsSince;

TEST(PromiseWaitTest, ReturnsAtResolutionOrNoneAtTheDeadline) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(intOf(Promise::resolved(3)->wait(5.0)), 3);
    // A waiter's callback holds a pending promise until it settles: settle each one at the end.
    auto negative = Deferred::deferred(), notANumber = Deferred::deferred();
    EXPECT_FALSE(negative->wait(-1.0).has_value());
    EXPECT_FALSE(notANumber->wait(std::nan("")).has_value());
    EXPECT_LT(secondsSince(start), 1.0);

    auto pending = Deferred::deferred();
    auto rejected = Deferred::deferred();
    rejected->reject(nullptr);
    for (auto waited : {pending->promise(), rejected->promise()}) {
        start = std::chrono::steady_clock::now();
        EXPECT_FALSE(waited->wait(0.05).has_value());  // a rejection does not wake it
        EXPECT_GE(secondsSince(start), 0.05);
        EXPECT_LT(secondsSince(start), 1.0);
    }
    for (auto deferred : {negative, notANumber, pending}) deferred->resolve(0);
}

TEST(PromiseWaitTest, ResolutionOnAnotherThreadOrQueueWakesTheWaiter) {
    SerialQueue queue;
    for (auto deferred : {Deferred::deferred(), Deferred::initWithQueue(&queue)}) {
        std::thread settler([deferred] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            deferred->resolve(21);
        });
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(intOf(deferred->wait(10.0)), 21);
        EXPECT_LT(secondsSince(start), 5.0);
        settler.join();
    }
}

}  // namespace
}  // namespace lirra
