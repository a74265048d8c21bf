// andPromises(): resolved by the last resolution, rejected by the first error.
#include <gtest/gtest.h>

#include "PromiseTestSupport.h"

namespace lirra {
namespace {

using test::intOf;

TEST(PromiseAndTest, ResolvesAtTheLastResolutionWithItsResult) {
    auto a = Deferred::deferred();
    auto b = Deferred::deferred();
    auto c = Deferred::deferred();
    auto combined = Promise::andPromises({a, b, c});
    c->resolve(3);
    a->resolve(1);
    EXPECT_FALSE(combined->isResolved());
    b->resolve(2);
    EXPECT_TRUE(combined->isResolved());
    EXPECT_EQ(intOf(combined->result()), 2);
}

TEST(PromiseAndTest, FirstErrorRejectsAndLaterErrorsReplaceTheReason) {
    auto a = Deferred::deferred();
    auto b = Deferred::deferred();
    auto c = Deferred::deferred();
    auto combined = Promise::andPromises({a, b, c});
    std::vector<int> codes;
    combined->failed([&](const ErrorPtr& e) { codes.push_back(e->code); });
    a->resolve(1);
    b->reject(makeError("E", 1));
    EXPECT_TRUE(combined->isRejected());
    auto later = makeError("E", 2);
    c->reject(later);
    EXPECT_EQ(codes, (std::vector<int>{1}));
    EXPECT_EQ(combined->reason(), later);
}

TEST(PromiseAndTest, SettledInputsSettleBeforeReturning) {
    auto resolved = Promise::andPromises({Promise::resolved(1), Promise::resolved(2)});
    EXPECT_TRUE(resolved->isResolved());
    EXPECT_EQ(intOf(resolved->result()), 2);
    auto error = makeError("E", 5);
    auto rejected = Promise::andPromises({Promise::resolved(1), Promise::rejected(error)});
    EXPECT_EQ(rejected->reason(), error);
}

TEST(PromiseAndTest, EmptyInputOrMissingInputNeverSettles) {
    auto empty = Promise::andPromises({});
    EXPECT_FALSE(empty->isResolved());
    EXPECT_FALSE(empty->isRejected());
    auto withGap = Promise::andPromises({Promise::resolved(1), nullptr});
    EXPECT_FALSE(withGap->isResolved());
}

}  // namespace
}  // namespace lirra
