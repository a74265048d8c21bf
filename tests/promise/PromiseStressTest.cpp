// SPDX-License-Identifier: GPL-3.0-or-later
// Many threads settling and registering at once; ThreadSanitizer runs it too (tsan-promise.sh).
#include <gtest/gtest.h>

#include <barrier>

#include "PromiseTestSupport.h"

namespace lirra {
namespace {

TEST(PromiseStressTest, ConcurrentSettlersAndRegistrarsRunEveryCallbackOnce) {
    constexpr int kRounds = 300, kRegistrars = 3, kPerRegistrar = 20;
    const std::vector<std::string> values{std::string(64, 'a'), std::string(64, 'b')};
    std::shared_ptr<Deferred> current;
    std::atomic<int> whenRuns{0}, failedRuns{0}, anyRuns{0};
    std::barrier sync(kRegistrars + 3 + 1);
    auto everyRound = [&](auto action) {
        for (int round = 0; round < kRounds; ++round) {
            sync.arrive_and_wait();  // `current` is fresh
            action(current);
            sync.arrive_and_wait();
        }
    };
    std::vector<std::thread> threads;
    for (int r = 0; r < kRegistrars; ++r) {
        threads.emplace_back(everyRound, [&](const std::shared_ptr<Deferred>& promise) {
            for (int i = 0; i < kPerRegistrar; ++i) {
                promise->when([&](const Value& v) {
                    const auto& text = std::any_cast<const std::string&>(v);  // never torn
                    whenRuns += text == values[0] || text == values[1] ? 1 : 1000;
                });
                promise->failed([&](const ErrorPtr& e) { failedRuns += e->code == 9 ? 1 : 1000; });
                promise->any([&] { ++anyRuns; });
            }
        });
    }
    threads.emplace_back(everyRound, [&](auto promise) { promise->reject(makeError("S", 9)); });
    for (const auto& value : values)
        threads.emplace_back(everyRound, [&](auto promise) { promise->resolve(value); });
    const int registered = kRegistrars * kPerRegistrar;
    for (int round = 0; round < kRounds; ++round) {
        current = Deferred::deferred();
        whenRuns = failedRuns = anyRuns = 0;
        sync.arrive_and_wait();
        sync.arrive_and_wait();
        ASSERT_NE(current->isResolved(), current->isRejected());
        EXPECT_EQ(whenRuns.load(), current->isResolved() ? registered : 0);
        EXPECT_EQ(failedRuns.load(), current->isRejected() ? registered : 0);
        EXPECT_EQ(anyRuns.load(), registered);
        const auto text = std::any_cast<std::string>(current->result());  // stored whatever won
        EXPECT_TRUE(text == values[0] || text == values[1]);
    }
    for (auto& t : threads) t.join();
}

}  // namespace
}  // namespace lirra
