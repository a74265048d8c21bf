// orPromises(): the first resolution reaches callbacks, the last one is the stored result; rejected
// only when every input rejected, with the last error.
#include <gtest/gtest.h>

#include "PromiseTestSupport.h"

namespace lirra {
namespace {

using test::intOf;

TEST(PromiseOrTest, FirstResolutionReachesCallbacksAndLaterOnesReplaceTheResult) {
    auto a = Deferred::deferred(), b = Deferred::deferred(), c = Deferred::deferred();
    auto combined = Promise::orPromises({a, b, c});
    std::vector<int> seen;
    combined->when([&](const Value& v) { seen.push_back(intOf(v)); });
    a->reject(makeError("E", 1));
    b->resolve(1);
    c->resolve(2);
    EXPECT_EQ(seen, (std::vector<int>{1}));
    EXPECT_EQ(intOf(combined->result()), 2);
}

TEST(PromiseOrTest, RejectsWhenAllRejected) {
    auto a = Deferred::deferred(), b = Deferred::deferred();
    auto combined = Promise::orPromises({a, b});
    auto last = makeError("E", 2);
    a->reject(makeError("E", 1));
    EXPECT_FALSE(combined->isRejected());
    b->reject(last);
    EXPECT_EQ(combined->reason(), last);
}

TEST(PromiseOrTest, SettledInputsSettleAtOnceAndEmptyInputsNever) {
    auto settled = Promise::orPromises({Promise::rejected(nullptr), Promise::rejected(nullptr)});
    EXPECT_TRUE(settled->isRejected());
    for (auto never :
         {Promise::orPromises({}), Promise::orPromises({Promise::rejected(nullptr), nullptr})}) {
        EXPECT_FALSE(never->isResolved() || never->isRejected());
    }
}

}  // namespace
}  // namespace lirra
