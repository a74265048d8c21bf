// orPromises(), andPromises() and chain(): the first resolution (or), the last one (and) or each
// step's in turn (chain) decides; later settlements only replace the stored result or reason.
#include <gtest/gtest.h>

#include "PromiseTestSupport.h"

namespace lirra {
namespace {

using test::intOf;

TEST(PromiseOrTest, FirstResolutionDecidesLaterOnesReplaceTheResultAndAllRejectedRejects) {
    auto a = Deferred::deferred(), b = Deferred::deferred(), c = Deferred::deferred();
    auto combined = Promise::orPromises({a, b, c});
    std::vector<int> seen;
    combined->when([&](const Value& v) { seen.push_back(intOf(v)); });
    a->reject(makeError("E", 1));
    b->resolve(1);
    c->resolve(2);
    EXPECT_EQ(seen, (std::vector<int>{1}));
    EXPECT_EQ(intOf(combined->result()), 2);

    auto d = Deferred::deferred(), e = Deferred::deferred();
    auto rejected = Promise::orPromises({d, e});
    auto last = makeError("E", 2);
    d->reject(makeError("E", 1));
    EXPECT_FALSE(rejected->isRejected());
    e->reject(last);
    EXPECT_EQ(rejected->reason(), last);
}

TEST(PromiseAndTest, LastResolutionDecidesAndTheFirstErrorRejects) {
    auto a = Deferred::deferred(), b = Deferred::deferred(), c = Deferred::deferred();
    auto combined = Promise::andPromises({a, b, c});
    c->resolve(3);
    a->resolve(1);
    EXPECT_FALSE(combined->isResolved());
    b->resolve(2);
    EXPECT_EQ(intOf(combined->result()), 2);
    EXPECT_TRUE(combined->isResolved());

    auto d = Deferred::deferred(), e = Deferred::deferred();
    auto failing = Promise::andPromises({d, e});
    std::vector<int> codes;
    failing->failed([&](const ErrorPtr& error) { codes.push_back(error->code); });
    d->reject(makeError("E", 1));
    e->reject(makeError("E", 2));
    EXPECT_EQ(codes, (std::vector<int>{1}));
    EXPECT_EQ(failing->reason()->code, 2);  // later errors replace the reason
}

TEST(PromiseOrAndTest, SettledInputsSettleAtOnceAndEmptyInputsNever) {
    EXPECT_TRUE(Promise::orPromises({Promise::rejected(nullptr), Promise::rejected(nullptr)})
                    ->isRejected());
    EXPECT_EQ(intOf(Promise::andPromises({Promise::resolved(1), Promise::resolved(2)})->result()),
              2);
    for (auto never : {Promise::orPromises({}), Promise::andPromises({}),
                       Promise::orPromises({Promise::rejected(nullptr), nullptr}),
                       Promise::andPromises({Promise::resolved(1), nullptr})}) {
        EXPECT_FALSE(never->isResolved() || never->isRejected());
    }
}

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
