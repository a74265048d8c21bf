// transform(): maps a result, passes an error on unchanged, runs where the receiver's callbacks
// run.
#include <gtest/gtest.h>

#include "PromiseTestSupport.h"

namespace lirra {
namespace {

using test::intOf;

TEST(PromiseTransformTest, SettledReceiverGivesSettledPromise) {
    auto mapped = Promise::resolved(4)->transform([](const Value& v) { return intOf(v) * 10; });
    EXPECT_TRUE(mapped->isResolved());
    EXPECT_EQ(intOf(mapped->result()), 40);

    auto error = makeError("E", 2);
    bool called = false;
    auto failed = Promise::rejected(error)->transform([&](const Value& v) {
        called = true;
        return v;
    });
    EXPECT_TRUE(failed->isRejected());
    EXPECT_EQ(failed->reason(), error);
    EXPECT_FALSE(called);
}

TEST(PromiseTransformTest, RunsOnTheReceiversQueueAndReturnsPromisesUnwaited) {
    ManualQueue queue;
    auto deferred = Deferred::initWithQueue(&queue);
    auto inner = Deferred::deferred();
    auto mapped = deferred->transform([&](const Value&) { return Value(inner->promise()); });
    EXPECT_EQ(mapped->queue(), nullptr);
    deferred->resolve(1);
    EXPECT_FALSE(mapped->isResolved());
    queue.runAll();
    // The returned promise is the result itself, though it is still pending.
    ASSERT_TRUE(mapped->isResolved());
    auto held = std::any_cast<std::shared_ptr<Promise>>(mapped->result());
    EXPECT_EQ(held.get(), inner.get());
}

TEST(PromiseTransformTest, MapsLaterResolution) {
    auto deferred = Deferred::deferred();
    int seen = 0;
    deferred->transform([](const Value& v) { return intOf(v) + 1; })->when([&](const Value& v) {
        seen = intOf(v);
    });
    EXPECT_EQ(seen, 0);
    deferred->resolve(41);
    EXPECT_EQ(seen, 42);
}

}  // namespace
}  // namespace lirra
