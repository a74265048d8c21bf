// SPDX-License-Identifier: GPL-3.0-or-later
// orPromises(), andPromises() and chain(); later settlements only replace the result or reason.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "PromiseTestSupport.h"

namespace lirra {
namespace {

using test::intOf;

// Inputs settled in random order, some never (pending, nullptr): or takes the first resolution,
// else the last error once all rejected; and the first error, else the last resolution once all
// resolved. Inputs settled before the combinator count at once.
TEST(PromiseOrAndTest, RandomSettlementsFollowTheirRules) {
    std::mt19937 random(42);
    for (int run = 0; run < 500; ++run) {
        const int count = random() % 5;  // no input at all: never settles
        std::vector<std::shared_ptr<Promise>> inputs;
        std::vector<int> order;  // input i resolves with i + 1 or rejects with code i + 1
        for (int i = 0; i < count; ++i) {
            const int kind = random() % 8;
            inputs.push_back(kind == 0 ? nullptr : Deferred::deferred());
            if (kind > 1) order.push_back(kind % 2 ? i + 1 : -(i + 1));  // 1: stays pending
        }
        std::shuffle(order.begin(), order.end(), random);
        std::vector<int> orSeen, andSeen;
        auto watched = [](std::shared_ptr<Promise> combined, std::vector<int>& seen) {
            return combined->when([&seen](const Value& v) { seen.push_back(intOf(v)); },
                                  [&seen](const ErrorPtr& e) { seen.push_back(-e->code); });
        };
        auto orCombined = watched(Promise::orPromises(inputs), orSeen);
        auto andCombined = watched(Promise::andPromises(inputs), andSeen);
        std::vector<int> resolved, rejected;
        for (const int v : order) {
            auto input = std::static_pointer_cast<Deferred>(inputs[std::abs(v) - 1]);
            v > 0 ? input->resolve(v) : input->reject(makeError("E", -v));
            (v > 0 ? resolved : rejected).push_back(v);
        }
        const bool all = count > 0 && int(order.size()) == count;
        using Seen = std::vector<int>;
        EXPECT_EQ(orSeen, !resolved.empty() ? Seen{resolved.front()}
                          : all             ? Seen{rejected.back()}
                                            : Seen{});
        EXPECT_EQ(andSeen, !rejected.empty() ? Seen{rejected.front()}
                           : all             ? Seen{resolved.back()}
                                             : Seen{});
        EXPECT_EQ(intOf(orCombined->result()), resolved.empty() ? -1 : resolved.back());
        const ErrorPtr reason = andCombined->reason();
        EXPECT_EQ(reason ? -reason->code : 0, rejected.empty() ? 0 : rejected.back());
        for (auto& input : inputs)
            if (input) std::static_pointer_cast<Deferred>(input)->resolve(0);  // frees them
    }
    EXPECT_TRUE(Promise::orPromises({Promise::rejected(nullptr), Promise::rejected(nullptr)})
                    ->isRejected());
    EXPECT_EQ(intOf(Promise::andPromises({Promise::resolved(1), Promise::resolved(2)})->result()),
              2);
}

TEST(PromiseChainTest, StepsRunInOrderWithThePreviousResultUntilARejectionOrNoPromise) {
    auto first = Deferred::deferred();
    std::vector<int> args;
    auto step = [&](std::shared_ptr<Promise> next) {
        return [&args, next](const Value& v) { return args.push_back(intOf(v)), next; };
    };
    auto chained = Promise::chain({step(first), step(Promise::resolved(7)), {}, step(nullptr)});
    EXPECT_EQ(args, (std::vector<int>{-1}));  // the first step ran inside chain() with none
    first->resolve(5);
    EXPECT_EQ(args, (std::vector<int>{-1, 5}));  // the list ended at the empty step
    EXPECT_EQ(intOf(chained->result()), 7);
    EXPECT_TRUE(Promise::chain({})->isResolved());

    args.clear();
    auto error = makeError("Step", 1);
    auto later = step(Promise::resolved(1));
    EXPECT_EQ(Promise::chain({step(Promise::rejected(error)), later})->reason(), error);
    auto stalled = Promise::chain({step(nullptr), later});
    EXPECT_FALSE(stalled->isResolved() || stalled->isRejected());
    EXPECT_EQ(args, (std::vector<int>{-1, -1}));  // no step after either
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
