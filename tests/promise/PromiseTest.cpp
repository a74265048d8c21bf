// The promise core: settlement, registration order, value replacement, queues and ownership;
// transform() and wait().
#include <gtest/gtest.h>

#include <cmath>

#include "PromiseTestSupport.h"

namespace lirra {
namespace {

using test::intOf;
using test::secondsSince;
using Log = std::vector<std::string>;

TEST(PromiseTest, CallbacksRunInRegistrationOrderAtSettlementOrAtOnceAfterIt) {
    auto deferred = Deferred::deferred();
    Log log;
    auto tagged = [&](std::string tag) {
        return [&log, tag](const Value& v) { log.push_back(tag + std::to_string(intOf(v))); };
    };
    EXPECT_EQ(deferred->when(tagged("w")).get(), deferred.get());  // returns the receiver
    deferred->any([&] { log.push_back("any"); });
    deferred->when(tagged("x"), [&](const ErrorPtr&) { log.push_back("failed"); });
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(deferred->resolve(4).get(), deferred->promise().get());  // a Deferred is its promise
    EXPECT_EQ(log, (Log{"w4", "any", "x4"}));

    deferred->when(
        tagged("late"), [&](const ErrorPtr&) { log.push_back("failed"); },
        [&] { log.push_back("any"); });
    EXPECT_EQ(log, (Log{"w4", "any", "x4", "late4", "any"}));

    auto error = makeError("Test", 3);
    ErrorPtr seen;
    Promise::rejected(error)->when(tagged("never"), [&](const ErrorPtr& e) { seen = e; });
    EXPECT_EQ(seen, error);  // the very same error object
    EXPECT_EQ(log.size(), 5u);
}

TEST(PromiseTest, LaterSettlementsReplaceTheValueWithoutRerunningCallbacks) {
    auto deferred = Deferred::deferred();
    std::vector<int> seen;
    int failures = 0;
    deferred->when([&](const Value& v) { seen.push_back(intOf(v)); },
                   [&](const ErrorPtr&) { ++failures; });
    deferred->resolve();
    deferred->resolve(2);
    EXPECT_EQ(seen, (std::vector<int>{-1}));  // resolved with none
    deferred->when([&](const Value& v) { seen.push_back(intOf(v)); });
    EXPECT_EQ(seen, (std::vector<int>{-1, 2}));

    auto error = makeError("Late", 7);
    deferred->reject(error);
    EXPECT_TRUE(deferred->isResolved());
    EXPECT_FALSE(deferred->isRejected());
    EXPECT_EQ(deferred->reason(), error);
    EXPECT_EQ(failures, 0);
}

TEST(PromiseTest, CallbackMayRegisterOnItsOwnPromiseAndSettleOthers) {
    auto deferred = Deferred::deferred();
    auto other = Deferred::deferred();
    Log log;
    deferred->when([&](const Value&) {
        deferred->when([&](const Value&) { log.push_back("inner"); });  // no deadlock, at once
        other->resolve(3);
        log.push_back("outer");
    });
    deferred->resolve(1);
    EXPECT_EQ(log, (Log{"inner", "outer"}));
    EXPECT_TRUE(other->isResolved());
}

TEST(PromiseTest, QueuedCallbacksAreSubmittedInOrderAndReadTheValueWhenTheyRun) {
    ManualQueue queue;
    auto deferred = Deferred::initWithQueue(&queue);
    std::vector<int> seen;
    deferred->when([&](const Value& v) { seen.push_back(intOf(v)); });
    deferred->any([&] { seen.push_back(0); });
    deferred->resolve(1);
    deferred->resolve(2);  // before the queue runs: the callback sees the replacement
    deferred->when([&](const Value& v) { seen.push_back(100 + intOf(v)); });
    EXPECT_TRUE(seen.empty());  // submitted, never run inline, even after settlement
    EXPECT_EQ(queue.runAll(), 3u);
    EXPECT_EQ(seen, (std::vector<int>{2, 0, 102}));
}

TEST(PromiseTest, OnSettlesAnotherPromiseOnlyAfterTheReceiversCallbacks) {
    ManualQueue receiverQueue, hopQueue;
    auto deferred = Deferred::initWithQueue(&receiverQueue);
    Log log;
    deferred->when([&](const Value&) { log.push_back("receiver"); });
    auto hopped = deferred->on(hopQueue);
    EXPECT_NE(hopped.get(), deferred.get());
    hopped->when([&](const Value& v) { log.push_back("hop" + std::to_string(intOf(v))); });
    deferred->resolve(6);
    receiverQueue.runOne();
    EXPECT_FALSE(hopped->isResolved());
    receiverQueue.runOne();  // the step into the hop
    EXPECT_TRUE(hopped->isResolved());
    EXPECT_EQ(log, (Log{"receiver"}));
    hopQueue.runAll();
    EXPECT_EQ(log, (Log{"receiver", "hop6"}));

    auto error = makeError("E", 1);
    EXPECT_EQ(Promise::rejected(error)->on(hopQueue)->reason(), error);
}

TEST(PromiseTest, PendingPromiseKeepsItselfAliveOnlyThroughWhenAndFailed) {
    auto payload = std::make_shared<int>(0);
    std::weak_ptr<Promise> weak = Deferred::deferred()->when([payload](const Value&) {});
    auto revived = std::static_pointer_cast<Deferred>(weak.lock());  // held by its own list
    ASSERT_TRUE(revived);
    revived->resolve();
    EXPECT_EQ(payload.use_count(), 1);  // callbacks dropped at settlement
    revived.reset();
    EXPECT_TRUE(weak.expired());

    weak = Deferred::deferred()->any([payload] {});  // any() holds only the callback
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(payload.use_count(), 1);
}

TEST(PromiseTransformTest, MapsOnTheReceiversQueuePassesErrorsOnAndDoesNotWaitOnPromises) {
    ManualQueue queue;
    auto deferred = Deferred::initWithQueue(&queue);
    auto inner = Deferred::deferred();
    auto mapped = deferred->transform([&](const Value& v) {
        return intOf(v) == 4 ? Value(inner->promise()) : Value(intOf(v) * 10);
    });
    deferred->resolve(4);
    EXPECT_FALSE(mapped->isResolved());
    queue.runAll();
    ASSERT_TRUE(mapped->isResolved());  // though `inner` is still pending
    EXPECT_EQ(std::any_cast<std::shared_ptr<Promise>>(mapped->result()), inner);
    EXPECT_EQ(intOf(Promise::resolved(3)
                        ->transform([](const Value& v) { return intOf(v) * 10; })
                        ->result()),
              30);  // already resolved: at once

    auto error = makeError("E", 2);
    bool called = false;
    auto failed =
        Promise::rejected(error)->transform([&](const Value& v) { return called = true, v; });
    EXPECT_EQ(failed->reason(), error);
    EXPECT_FALSE(called);
}

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

}  // namespace
}  // namespace lirra
