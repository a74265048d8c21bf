// chain(): steps in order, each fed the previous result; first error wins; no promise stalls.
#include <gtest/gtest.h>

#include "PromiseTestSupport.h"

namespace lirra {
namespace {

using test::intOf;

TEST(PromiseChainTest, StepsRunInOrderWithThePreviousResult) {
    auto first = Deferred::deferred();
    std::vector<int> args;
    auto chained = Promise::chain({
        [&](const Value& v) {
            args.push_back(intOf(v));
            return first->promise();
        },
        [&](const Value& v) {
            args.push_back(intOf(v));
            return Promise::resolved(7);
        },
    });
    EXPECT_EQ(args, (std::vector<int>{-1}));  // the first step ran inside chain() with none
    EXPECT_FALSE(chained->isResolved());
    first->resolve(5);
    EXPECT_EQ(args, (std::vector<int>{-1, 5}));
    ASSERT_TRUE(chained->isResolved());
    EXPECT_EQ(intOf(chained->result()), 7);
}

TEST(PromiseChainTest, FirstRejectionStopsTheChain) {
    auto error = makeError("Step", 1);
    bool secondCalled = false;
    auto chained = Promise::chain({
        [&](const Value&) { return Promise::rejected(error); },
        [&](const Value&) {
            secondCalled = true;
            return Promise::resolved(1);
        },
    });
    EXPECT_TRUE(chained->isRejected());
    EXPECT_EQ(chained->reason(), error);
    EXPECT_FALSE(secondCalled);
}

TEST(PromiseChainTest, NoStepsResolvesWithNone) {
    auto chained = Promise::chain({});
    EXPECT_TRUE(chained->isResolved());
    EXPECT_FALSE(chained->result().has_value());
}

TEST(PromiseChainTest, StepWithoutPromiseLeavesTheChainPending) {
    bool laterCalled = false;
    auto chained = Promise::chain({
        [](const Value&) { return std::shared_ptr<Promise>(); },
        [&](const Value&) {
            laterCalled = true;
            return Promise::resolved(1);
        },
    });
    EXPECT_FALSE(chained->isResolved());
    EXPECT_FALSE(chained->isRejected());
    EXPECT_FALSE(laterCalled);
}

TEST(PromiseChainTest, ListEndsAtTheFirstEmptyStep) {
    bool afterGapCalled = false;
    auto chained = Promise::chain({
        [](const Value&) { return Promise::resolved(3); },
        Promise::Step{},
        [&](const Value&) {
            afterGapCalled = true;
            return Promise::resolved(4);
        },
    });
    EXPECT_EQ(intOf(chained->result()), 3);
    EXPECT_FALSE(afterGapCalled);
}

TEST(PromiseChainTest, StepsOnQueuedPromisesRunWhenTheQueueRuns) {
    SerialQueue queue;
    std::vector<bool> onQueue;
    auto chained = Promise::chain({
        [&](const Value&) { return Promise::resolved(1)->on(queue); },
        [&](const Value& v) {
            onQueue.push_back(queue.isCurrent());
            return Promise::resolved(intOf(v) + 1)->on(queue);
        },
        [&](const Value& v) {
            onQueue.push_back(queue.isCurrent());
            return Promise::resolved(intOf(v) + 1);
        },
    });
    EXPECT_EQ(intOf(chained->wait(5.0)), 3);
    EXPECT_EQ(onQueue, (std::vector<bool>{true, true}));
}

TEST(PromiseChainTest, ChainDoesNotOutliveItsSteps) {
    // A finished chain releases what its steps captured: no cycle through the continuation.
    auto payload = std::make_shared<int>(0);
    {
        auto chained = Promise::chain({
            [payload](const Value&) { return Promise::resolved(1); },
            [payload](const Value&) { return Promise::resolved(2); },
        });
        EXPECT_TRUE(chained->isResolved());
    }
    EXPECT_EQ(payload.use_count(), 1);
}

}  // namespace
}  // namespace lirra
