// orPromises(): first resolution wins for callbacks, last resolution is the stored result,
// rejection only when every input rejected.
#include <gtest/gtest.h>

#include "PromiseTestSupport.h"

namespace lirra {
namespace {

using test::intOf;

TEST(PromiseOrTest, FirstResolutionReachesCallbacksAndLaterOnesReplaceTheResult) {
    auto a = Deferred::deferred();
    auto b = Deferred::deferred();
    auto combined = Promise::orPromises({a, b});
    std::vector<int> seen;
    combined->when([&](const Value& v) { seen.push_back(intOf(v)); });
    b->resolve(1);
    EXPECT_EQ(seen, (std::vector<int>{1}));
    a->resolve(2);
    EXPECT_EQ(seen, (std::vector<int>{1}));
    EXPECT_EQ(intOf(combined->result()), 2);
}

TEST(PromiseOrTest, RejectsOnlyWhenAllRejectedWithTheLastError) {
    auto a = Deferred::deferred();
    auto b = Deferred::deferred();
    auto combined = Promise::orPromises({a, b});
    auto first = makeError("E", 1);
    auto second = makeError("E", 2);
    a->reject(first);
    EXPECT_FALSE(combined->isRejected());
    b->reject(second);
    EXPECT_TRUE(combined->isRejected());
    EXPECT_EQ(combined->reason(), second);

    auto c = Deferred::deferred();
    auto d = Deferred::deferred();
    auto mixed = Promise::orPromises({c, d});
    c->reject(first);
    d->resolve(3);
    EXPECT_TRUE(mixed->isResolved());
    EXPECT_EQ(intOf(mixed->result()), 3);
}

TEST(PromiseOrTest, SettledInputsSettleBeforeReturning) {
    auto resolved =
        Promise::orPromises({Promise::rejected(makeError("E", 1)), Promise::resolved(8)});
    EXPECT_TRUE(resolved->isResolved());
    EXPECT_EQ(intOf(resolved->result()), 8);
    auto rejected = Promise::orPromises({Promise::rejected(nullptr), Promise::rejected(nullptr)});
    EXPECT_TRUE(rejected->isRejected());
}

TEST(PromiseOrTest, EmptyInputOrMissingInputNeverSettles) {
    auto empty = Promise::orPromises({});
    EXPECT_FALSE(empty->isResolved());
    EXPECT_FALSE(empty->isRejected());
    auto withGap = Promise::orPromises({Promise::rejected(nullptr), nullptr});
    EXPECT_FALSE(withGap->isRejected());
}

}  // namespace
}  // namespace lirra
