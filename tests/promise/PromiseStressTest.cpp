// Many threads settling and registering at once, and combinators whose inputs finish on several
// queues at once. Judged by its own checks and by ThreadSanitizer (scripts/tsan-promise.sh).
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
    for (const auto& value : values) {
        threads.emplace_back(everyRound, [&](auto promise) { promise->resolve(value); });
    }
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

TEST(PromiseStressTest, OrAndCountersHoldAcrossSerialQueues) {
    constexpr int kInputs = 16, kRounds = 100;
    std::vector<std::unique_ptr<SerialQueue>> queues(4);
    for (auto& q : queues) q = std::make_unique<SerialQueue>();
    std::vector<std::shared_ptr<Promise>> ands, ors;
    std::vector<std::shared_ptr<Deferred>> toResolve, toReject;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<std::shared_ptr<Promise>> forAnd, forOr;
        for (int i = 0; i < kInputs; ++i) {
            forAnd.push_back(toResolve.emplace_back(Deferred::initWithQueue(queues[i % 4].get())));
            forOr.push_back(toReject.emplace_back(Deferred::initWithQueue(queues[i % 4].get())));
        }
        ands.push_back(Promise::andPromises(forAnd));
        ors.push_back(Promise::orPromises(forOr));
    }
    // Two settling threads, so the four queues get work from both at once.
    auto settle = [&](std::size_t from) {
        for (std::size_t i = from; i < toResolve.size(); i += 2) {
            toResolve[i]->resolve(static_cast<int>(i));
            toReject[i]->reject(makeError("S", static_cast<int>(i)));
        }
    };
    std::thread even(settle, 0), odd(settle, 1);
    even.join();
    odd.join();
    for (auto& q : queues) q.reset();  // drains every callback
    for (int r = 0; r < kRounds; ++r) {
        EXPECT_TRUE(ands[r]->isResolved()) << "a lost update leaves it pending";
        EXPECT_TRUE(ors[r]->isRejected());
    }
}

// The time-out racing its receiver: PromiseTimeoutTest.

}  // namespace
}  // namespace lirra
