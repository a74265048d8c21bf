// SPDX-License-Identifier: GPL-3.0-or-later
// The promise core against a model of its state machine; then re-entry, queues, ownership,
// transform() and wait().
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "PromiseTestSupport.h"

namespace lirra {
namespace {

using test::intOf;
using test::secondsSince;
using Log = std::vector<std::string>;

std::string text(const Value& value) { return std::to_string(intOf(value)); }
std::string text(const ErrorPtr& error) { return std::to_string(error->code); }
std::string text() { return ""; }

// Random registrations and settlements: callbacks run once, in order, at the first settlement or
// at once after it, reading the value then; later settlements only replace value or reason.
TEST(PromiseTest, RandomRunsFollowTheStateMachine) {
    // The state numbers, as written down in Promise.h.
    EXPECT_EQ((std::vector{Promise::kPending, Promise::kRejected, Promise::kResolved}),
              (std::vector<std::int32_t>{0, 1, 2}));
    std::mt19937 random(20261208);
    for (int run = 0; run < 400; ++run) {
        auto deferred = Deferred::deferred();
        Log log, expected;
        std::vector<std::string> stored;  // the model's callbacks while pending: kind and tag
        int state = Promise::kPending, value = -1;
        ErrorPtr reason;
        auto ran = [&](const std::string& callback) {
            const char kind = callback[0];
            if (kind == 'a') expected.push_back(callback);
            if (kind == (state == Promise::kResolved ? 'w' : 'f'))
                expected.push_back(callback + (kind == 'w' ? text(value) : text(reason)));
        };
        for (int tag = 0; tag < 10; ++tag) {
            auto logger = [&log, tag](char kind) {
                return [&log, tag, kind](const auto&... v) {
                    log.push_back(kind + std::to_string(tag) + text(v...));
                };
            };
            const int op = random() % 6;
            std::shared_ptr<Promise> returned;
            if (op == 0) returned = deferred->when(logger('w'));
            if (op == 1) returned = deferred->failed(logger('f'));
            if (op == 2) returned = deferred->any(logger('a'));
            if (op == 3) returned = deferred->when(logger('w'), logger('f'), logger('a'));
            static const char* const kRegistered[] = {"w", "f", "a", "wfa", "", ""};
            for (const char kind : std::string(kRegistered[op])) {
                const std::string callback = kind + std::to_string(tag);
                state == Promise::kPending ? stored.push_back(callback) : ran(callback);
            }
            if (op >= 4) {
                if (op == 4) value = tag, returned = deferred->resolve(tag);
                if (op == 5) reason = makeError("T", tag), returned = deferred->reject(reason);
                if (state == Promise::kPending) {
                    state = op == 4 ? Promise::kResolved : Promise::kRejected;
                    for (const std::string& callback : stored) ran(callback);
                }
            }
            ASSERT_EQ(returned.get(), deferred.get());  // every operation returns the promise
        }
        ASSERT_EQ(log, expected) << "run " << run;
        EXPECT_EQ(deferred->isResolved(), state == Promise::kResolved);
        EXPECT_EQ(deferred->isRejected(), state == Promise::kRejected);
        EXPECT_EQ(intOf(deferred->result()), value);
        EXPECT_EQ(deferred->reason(), reason);  // the very error object
    }
}

TEST(PromiseTest, CallbackMayRegisterOnItsOwnPromiseAndSettleOthers) {
    auto deferred = Deferred::deferred(), other = Deferred::deferred();
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

// On a queue callbacks are submitted, read the value as they run; a hop settles after them.
TEST(PromiseTest, QueuedCallbacksAndTheHopToAnotherQueue) {
    ManualQueue queue, hopQueue;
    auto deferred = Deferred::initWithQueue(&queue);
    Log log;
    deferred->when([&](const Value& v) { log.push_back("w" + std::to_string(intOf(v))); });
    auto hopped = deferred->on(hopQueue);
    hopped->when([&](const Value& v) { log.push_back("hop" + std::to_string(intOf(v))); });
    deferred->resolve(1);
    deferred->resolve(2);  // before the queue runs: the callbacks see the replacement
    deferred->any([&] { log.push_back("late"); });
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(queue.runOne());
    EXPECT_FALSE(hopped->isResolved());
    EXPECT_EQ(queue.runAll(), 3u);  // the steps into the hop, then the late one
    EXPECT_TRUE(hopped->isResolved());
    EXPECT_EQ(log, (Log{"w2", "late"}));
    EXPECT_EQ(hopQueue.runAll(), 1u);
    EXPECT_EQ(log, (Log{"w2", "late", "hop2"}));

    auto error = makeError("E", 1);
    EXPECT_EQ(Promise::rejected(error)->on(hopQueue)->reason(), error);
}

TEST(PromiseTest, PendingPromiseKeepsItselfAliveOnlyThroughWhenAndFailed) {
    auto payload = std::make_shared<int>(0);
    std::weak_ptr<Promise> weak = Deferred::deferred()->failed([payload](const ErrorPtr&) {});
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
    auto mapped = deferred->transform([&](const Value&) { return Value(inner->promise()); });
    deferred->resolve(4);
    EXPECT_FALSE(mapped->isResolved());
    queue.runAll();
    ASSERT_TRUE(mapped->isResolved());  // though `inner` is still pending
    EXPECT_EQ(std::any_cast<std::shared_ptr<Promise>>(mapped->result()), inner);
    auto times10 = [](const Value& v) { return Value(intOf(v) * 10); };
    EXPECT_EQ(intOf(Promise::resolved(3)->transform(times10)->result()), 30);
    EXPECT_EQ(intOf(Promise::resolved(3)->transform({})->result()), 3);

    auto error = makeError("E", 2);
    EXPECT_EQ(Promise::rejected(error)->transform(times10)->reason(), error);
}

TEST(PromiseWaitTest, ReturnsAtResolutionOrNoneAtTheDeadline) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(intOf(Promise::resolved(3)->wait(5.0)), 3);
    // A waiter's callback holds a pending promise until it settles: settle each one at the end.
    auto negative = Deferred::deferred(), notANumber = Deferred::deferred();
    EXPECT_FALSE(negative->wait(-1.0).has_value());
    EXPECT_FALSE(notANumber->wait(std::nan("")).has_value());
    EXPECT_LT(secondsSince(start), 1.0);

    auto pending = Deferred::deferred(), rejected = Deferred::deferred();
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
