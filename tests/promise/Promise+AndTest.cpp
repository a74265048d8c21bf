// andPromises(): resolved by the last resolution with its result, rejected by the first error.
#include <gtest/gtest.h>

#include "PromiseTestSupport.h"

namespace lirra {
namespace {

using test::intOf;

TEST(PromiseAndTest, ResolvesAtTheLastResolutionWithItsResult) {
    auto a = Deferred::deferred(), b = Deferred::deferred(), c = Deferred::deferred();
    auto combined = Promise::andPromises({a, b, c});
    c->resolve(3);
    a->resolve(1);
    EXPECT_FALSE(combined->isResolved());
    b->resolve(2);
    EXPECT_EQ(intOf(combined->result()), 2);
    EXPECT_TRUE(combined->isResolved());
}

TEST(PromiseAndTest, FirstErrorRejectsAndLaterErrorsReplaceTheReason) {
    auto a = Deferred::deferred(), b = Deferred::deferred();
    auto combined = Promise::andPromises({a, b});
    std::vector<int> codes;
    combined->failed([&](const ErrorPtr& e) { codes.push_back(e->code); });
    a->reject(makeError("E", 1));
    b->reject(makeError("E", 2));
    EXPECT_EQ(codes, (std::vector<int>{1}));
    EXPECT_EQ(combined->reason()->code, 2);
}

TEST(PromiseAndTest, SettledInputsSettleAtOnceAndEmptyInputsNever) {
    auto settled = Promise::andPromises({Promise::resolved(1), Promise::resolved(2)});
    EXPECT_EQ(intOf(settled->result()), 2);
    for (auto never :
         {Promise::andPromises({}), Promise::andPromises({Promise::resolved(1), nullptr})}) {
        EXPECT_FALSE(never->isResolved() || never->isRejected());
    }
}

}  // namespace
}  // namespace lirra
