// chain(): steps in order, each fed the previous result; the first error wins; no promise stalls.
#include <gtest/gtest.h>

#include "PromiseTestSupport.h"

namespace lirra {
namespace {

using test::intOf;

TEST(PromiseChainTest, StepsRunInOrderWithThePreviousResult) {
    auto first = Deferred::deferred();
    std::vector<int> args;
    auto chained = Promise::chain({
        [&](const Value& v) { return args.push_back(intOf(v)), first->promise(); },
        [&](const Value& v) { return args.push_back(intOf(v)), Promise::resolved(7); },
    });
    EXPECT_EQ(args, (std::vector<int>{-1}));  // the first step ran inside chain() with none
    first->resolve(5);
    EXPECT_EQ(args, (std::vector<int>{-1, 5}));
    EXPECT_EQ(intOf(chained->result()), 7);
    EXPECT_TRUE(Promise::chain({})->isResolved());
}

TEST(PromiseChainTest, RejectionOrAMissingPromiseStopsTheChain) {
    auto error = makeError("Step", 1);
    int laterSteps = 0;
    const Promise::Step later = [&](const Value&) { return ++laterSteps, Promise::resolved(1); };
    auto rejected = Promise::chain({[&](const Value&) { return Promise::rejected(error); }, later});
    EXPECT_EQ(rejected->reason(), error);

    auto stalled = Promise::chain({[](const Value&) { return std::shared_ptr<Promise>(); }, later});
    EXPECT_FALSE(stalled->isResolved() || stalled->isRejected());
    EXPECT_EQ(laterSteps, 0);
}

TEST(PromiseChainTest, LaterStepsRunOnThePreviousPromisesQueueAndReleaseTheirCaptures) {
    SerialQueue queue;
    auto payload = std::make_shared<int>(0);
    std::vector<bool> onQueue;
    auto chained = Promise::chain({
        [payload, &queue](const Value&) { return Promise::resolved(1)->on(queue); },
        [payload, &queue, &onQueue](const Value& v) {
            onQueue.push_back(queue.isCurrent());
            return Promise::resolved(intOf(v) + 1);
        },
    });
    EXPECT_EQ(intOf(chained->wait(5.0)), 2);
    EXPECT_EQ(onQueue, (std::vector<bool>{true}));
    EXPECT_TRUE(test::eventually([&] { return payload.use_count() == 1; }));  // no cycle
}

}  // namespace
}  // namespace lirra
