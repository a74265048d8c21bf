// transform(): maps a result, passes the error object on, runs where the receiver's callbacks run.
#include <gtest/gtest.h>

#include "PromiseTestSupport.h"

namespace lirra {
namespace {

using test::intOf;

TEST(PromiseTransformTest, MapsResultsAndPassesErrorsOn) {
    auto mapped = Promise::resolved(4)->transform([](const Value& v) { return intOf(v) * 10; });
    EXPECT_EQ(intOf(mapped->result()), 40);  // already resolved

    auto error = makeError("E", 2);
    bool called = false;
    auto failed =
        Promise::rejected(error)->transform([&](const Value& v) { return called = true, v; });
    EXPECT_EQ(failed->reason(), error);
    EXPECT_FALSE(called);
}

TEST(PromiseTransformTest, RunsOnTheReceiversQueueAndDoesNotWaitOnReturnedPromises) {
    ManualQueue queue;
    auto deferred = Deferred::initWithQueue(&queue);
    auto inner = Deferred::deferred();
    auto mapped = deferred->transform([&](const Value&) { return Value(inner->promise()); });
    deferred->resolve(1);
    EXPECT_FALSE(mapped->isResolved());
    queue.runAll();
    ASSERT_TRUE(mapped->isResolved());  // though `inner` is still pending
    EXPECT_EQ(std::any_cast<std::shared_ptr<Promise>>(mapped->result()), inner);
}

}  // namespace
}  // namespace lirra
