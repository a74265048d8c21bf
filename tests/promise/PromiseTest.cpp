// The promise core: settlement, registration order, value replacement, queues and ownership.
#include <gtest/gtest.h>

#include <thread>

#include "PromiseTestSupport.h"

namespace lirra {
namespace {

using test::EventLog;
using test::intOf;

TEST(PromiseTest, StateNumbersAreFixed) {
    EXPECT_EQ(Promise::kPending, 0);
    EXPECT_EQ(Promise::kRejected, 1);
    EXPECT_EQ(Promise::kResolved, 2);
}

TEST(PromiseTest, CallbacksWithoutQueueRunInsideResolveInRegistrationOrder) {
    auto deferred = Deferred::deferred();
    std::vector<std::string> calls;
    deferred->when([&](const Value& v) { calls.push_back("when1:" + std::to_string(intOf(v))); });
    deferred->any([&] { calls.push_back("any"); });
    deferred->failed([&](const ErrorPtr&) { calls.push_back("failed"); });
    deferred->when([&](const Value& v) { calls.push_back("when2:" + std::to_string(intOf(v))); });
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(deferred->isResolved());

    deferred->resolve(4);
    EXPECT_EQ(calls, (std::vector<std::string>{"when1:4", "any", "when2:4"}));
    EXPECT_TRUE(deferred->isResolved());
    EXPECT_FALSE(deferred->isRejected());
}

TEST(PromiseTest, RegistrationAfterSettlementRunsBeforeReturning) {
    auto resolved = Promise::resolved(9);
    int seen = 0;
    bool failedCalled = false;
    int anyCount = 0;
    resolved->when([&](const Value& v) { seen = intOf(v); },
                   [&](const ErrorPtr&) { failedCalled = true; }, [&] { ++anyCount; });
    EXPECT_EQ(seen, 9);
    EXPECT_FALSE(failedCalled);
    EXPECT_EQ(anyCount, 1);

    auto error = makeError("Test", 3);
    auto rejected = Promise::rejected(error);
    bool whenCalled = false;
    ErrorPtr reason;
    rejected->when([&](const Value&) { whenCalled = true; }, [&](const ErrorPtr& e) { reason = e; },
                   [&] { ++anyCount; });
    EXPECT_FALSE(whenCalled);
    EXPECT_EQ(reason, error);  // the very same error object
    EXPECT_EQ(anyCount, 2);
    EXPECT_TRUE(rejected->isRejected());
}

TEST(PromiseTest, ResolveWithNoneResolves) {
    auto deferred = Deferred::deferred();
    bool called = false;
    deferred->when([&](const Value& v) {
        called = true;
        EXPECT_FALSE(v.has_value());
    });
    deferred->resolve();
    EXPECT_TRUE(called);
    EXPECT_TRUE(deferred->isResolved());
    EXPECT_FALSE(deferred->result().has_value());
}

TEST(PromiseTest, SecondResolveReplacesValueWithoutRerunningCallbacks) {
    auto deferred = Deferred::deferred();
    std::vector<int> seen;
    deferred->when([&](const Value& v) { seen.push_back(intOf(v)); });
    deferred->resolve(1);
    deferred->resolve(2);
    EXPECT_EQ(seen, (std::vector<int>{1}));
    EXPECT_EQ(intOf(deferred->result()), 2);
    deferred->when([&](const Value& v) { seen.push_back(intOf(v)); });
    EXPECT_EQ(seen, (std::vector<int>{1, 2}));
}

TEST(PromiseTest, RejectAfterResolveStaysResolvedButReplacesReason) {
    auto deferred = Deferred::deferred();
    int failures = 0;
    deferred->failed([&](const ErrorPtr&) { ++failures; });
    deferred->resolve(5);
    auto error = makeError("Late", 7);
    deferred->reject(error);
    EXPECT_TRUE(deferred->isResolved());
    EXPECT_FALSE(deferred->isRejected());
    EXPECT_EQ(deferred->reason(), error);
    EXPECT_EQ(failures, 0);
    int seen = 0;
    deferred->when([&](const Value& v) { seen = intOf(v); });
    EXPECT_EQ(seen, 5);

    // And the other way round: a rejected promise resolved later stays rejected.
    auto rejected = Deferred::deferred();
    rejected->reject(error);
    rejected->resolve(8);
    EXPECT_TRUE(rejected->isRejected());
    EXPECT_EQ(intOf(rejected->result()), 8);
}

TEST(PromiseTest, IdentityOfReceiverAndDeferred) {
    auto deferred = Deferred::deferred();
    EXPECT_EQ(deferred->promise().get(), deferred.get());
    EXPECT_EQ(deferred->when([](const Value&) {}).get(), deferred.get());
    EXPECT_EQ(deferred->failed([](const ErrorPtr&) {}).get(), deferred.get());
    EXPECT_EQ(deferred->any([] {}).get(), deferred.get());
    EXPECT_EQ(deferred->resolve(1).get(), deferred.get());
    EXPECT_EQ(deferred->reject(nullptr).get(), deferred.get());
}

TEST(PromiseTest, BindOrCallBlockStoresOnlyWhilePending) {
    auto deferred = Deferred::deferred();
    int runs = 0;
    EXPECT_TRUE(deferred->bindOrCallBlock([&] { ++runs; }));
    EXPECT_EQ(runs, 0);
    deferred->resolve();
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(deferred->bindOrCallBlock([&] { ++runs; }));
    EXPECT_EQ(runs, 2);
}

TEST(PromiseTest, CallbackMayRegisterOnItsOwnPromiseAndSettleOthers) {
    auto deferred = Deferred::deferred();
    auto other = Deferred::deferred();
    std::vector<std::string> calls;
    deferred->when([&](const Value&) {
        calls.push_back("outer");
        deferred->when([&](const Value&) { calls.push_back("inner"); });  // runs at once
        other->resolve(3);
    });
    deferred->resolve(1);
    EXPECT_EQ(calls, (std::vector<std::string>{"outer", "inner"}));
    EXPECT_TRUE(other->isResolved());
}

TEST(PromiseTest, QueuedCallbacksAreSubmittedInOrderAndReadTheValueWhenTheyRun) {
    ManualQueue queue;
    auto deferred = Deferred::initWithQueue(&queue);
    EXPECT_EQ(deferred->queue(), &queue);
    std::vector<int> seen;
    deferred->when([&](const Value& v) { seen.push_back(intOf(v)); });
    deferred->any([&] { seen.push_back(0); });
    deferred->resolve(1);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(queue.size(), 2u);
    deferred->resolve(2);  // before the queue runs: the callback sees the replacement
    deferred->when([&](const Value& v) { seen.push_back(100 + intOf(v)); });
    EXPECT_EQ(queue.size(), 3u);  // submitted, not run, even after settlement
    EXPECT_EQ(queue.runAll(), 3u);
    EXPECT_EQ(seen, (std::vector<int>{2, 0, 102}));
}

TEST(PromiseTest, OnSettlesAnotherPromiseAfterTheReceiversCallbacks) {
    ManualQueue receiverQueue;
    ManualQueue hopQueue;
    auto deferred = Deferred::initWithQueue(&receiverQueue);
    EventLog log;
    deferred->when([&](const Value&) { log.add("receiver"); });
    auto hopped = deferred->on(hopQueue);
    EXPECT_NE(hopped.get(), deferred.get());
    EXPECT_EQ(hopped->queue(), &hopQueue);
    hopped->when([&](const Value& v) { log.add("hop:" + std::to_string(intOf(v))); });

    deferred->resolve(6);
    EXPECT_FALSE(hopped->isResolved());
    receiverQueue.runOne();  // the receiver's own callback
    EXPECT_FALSE(hopped->isResolved());
    receiverQueue.runOne();  // the step into the hop
    EXPECT_TRUE(hopped->isResolved());
    EXPECT_TRUE(log.events() == std::vector<std::string>{"receiver"});
    hopQueue.runAll();
    EXPECT_EQ(log.events(), (std::vector<std::string>{"receiver", "hop:6"}));

    auto failing = Deferred::deferred();
    auto failingHop = failing->on(hopQueue);
    auto error = makeError("E", 1);
    failing->reject(error);
    EXPECT_TRUE(failingHop->isRejected());
    EXPECT_EQ(failingHop->reason(), error);
}

TEST(PromiseTest, OnMainQueueRunsCallbacksThroughTheHook) {
    ManualQueue mainLoop;
    setMainQueueHook([&](std::function<void()> work) { mainLoop.async(std::move(work)); });
    auto deferred = Deferred::deferred();
    int seen = 0;
    deferred->onMainQueue()->when([&](const Value& v) { seen = intOf(v); });
    deferred->resolve(12);
    EXPECT_EQ(seen, 0);
    mainLoop.runAll();
    EXPECT_EQ(seen, 12);
    setMainQueueHook(nullptr);
}

TEST(PromiseTest, PendingPromiseKeepsItselfAliveOnlyThroughWhenAndFailed) {
    std::weak_ptr<Promise> weak;
    auto payload = std::make_shared<int>(0);
    std::shared_ptr<Deferred> keptForSettling;
    {
        auto deferred = Deferred::deferred();
        deferred->when([payload](const Value&) {});
        weak = deferred;
        keptForSettling = deferred;
    }
    keptForSettling.reset();
    // Nobody outside holds it, yet its own callback list does.
    auto revived = std::static_pointer_cast<Deferred>(weak.lock());
    ASSERT_TRUE(revived);
    EXPECT_EQ(payload.use_count(), 2);
    revived->resolve();
    EXPECT_EQ(payload.use_count(), 1);  // callbacks dropped at settlement
    revived.reset();
    EXPECT_TRUE(weak.expired());

    // any() callbacks hold only the consumer's callback.
    {
        auto deferred = Deferred::deferred();
        deferred->any([payload] {});
        weak = deferred;
        EXPECT_EQ(payload.use_count(), 2);
    }
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(payload.use_count(), 1);
}

TEST(PromiseTest, SettlingFromAnotherThreadRunsCallbacksThere) {
    auto deferred = Deferred::deferred();
    std::thread::id ranOn;
    deferred->when([&](const Value&) { ranOn = std::this_thread::get_id(); });
    std::thread settler([&] { deferred->resolve(1); });
    const auto settlerId = settler.get_id();
    settler.join();
    EXPECT_EQ(ranOn, settlerId);
}

}  // namespace
}  // namespace lirra
