// Many threads settling and registering at once, and combinators whose inputs finish on several
// queues at once. Meant to be judged by ThreadSanitizer as much as by its own checks.
#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <string>
#include <thread>

#include "PromiseTestSupport.h"

namespace lirra {
namespace {

using test::eventually;

// Values that live on the heap, so a torn or doubly released store shows up.
std::string valueFor(int thread) { return std::string(64, static_cast<char>('a' + thread)); }

TEST(PromiseStressTest, ConcurrentSettlersAndRegistrarsRunEveryCallbackOnce) {
    constexpr int kRounds = 300;
    constexpr int kRegistrars = 3;
    constexpr int kSettlers = 3;  // two resolve, one rejects
    constexpr int kPerRegistrar = 20;

    std::shared_ptr<Deferred> current;
    std::atomic<int> whenRuns{0}, failedRuns{0}, anyRuns{0};
    std::barrier sync(kRegistrars + kSettlers + 1);

    std::vector<std::thread> threads;
    for (int r = 0; r < kRegistrars; ++r) {
        threads.emplace_back([&] {
            for (int round = 0; round < kRounds; ++round) {
                sync.arrive_and_wait();  // round starts
                auto promise = current;
                for (int i = 0; i < kPerRegistrar; ++i) {
                    promise->when([&](const Value& v) {
                        // A resolved promise always carries a whole value.
                        const auto& text = std::any_cast<const std::string&>(v);
                        EXPECT_EQ(text.size(), 64u);
                        EXPECT_EQ(text.find_first_not_of(text[0]), std::string::npos);
                        ++whenRuns;
                    });
                    promise->failed([&](const ErrorPtr& e) {
                        EXPECT_EQ(e->code, 9);
                        ++failedRuns;
                    });
                    promise->any([&] { ++anyRuns; });
                }
                sync.arrive_and_wait();  // round ends
            }
        });
    }
    for (int s = 0; s < kSettlers; ++s) {
        threads.emplace_back([&, s] {
            for (int round = 0; round < kRounds; ++round) {
                sync.arrive_and_wait();
                auto promise = current;
                if (s == 0) {
                    promise->reject(makeError("Stress", 9));
                } else {
                    promise->resolve(valueFor(s));
                }
                (void)promise->result();
                (void)promise->reason();
                sync.arrive_and_wait();
            }
        });
    }
    int resolvedRounds = 0;
    for (int round = 0; round < kRounds; ++round) {
        current = Deferred::deferred();
        whenRuns = failedRuns = anyRuns = 0;
        sync.arrive_and_wait();
        sync.arrive_and_wait();
        const int registered = kRegistrars * kPerRegistrar;
        ASSERT_NE(current->isResolved(), current->isRejected());
        if (current->isResolved()) {
            ++resolvedRounds;
            EXPECT_EQ(whenRuns.load(), registered);
            EXPECT_EQ(failedRuns.load(), 0);
            const auto text = std::any_cast<std::string>(current->result());
            EXPECT_TRUE(text == valueFor(1) || text == valueFor(2));
        } else {
            EXPECT_EQ(failedRuns.load(), registered);
            EXPECT_EQ(whenRuns.load(), 0);
        }
        EXPECT_EQ(anyRuns.load(), registered);
        // Every settler stored its value, so both fields are set whatever won.
        EXPECT_TRUE(current->result().has_value());
        EXPECT_NE(current->reason(), nullptr);
    }
    for (auto& t : threads) t.join();
    current.reset();
    RecordProperty("resolvedRounds", resolvedRounds);
}

TEST(PromiseStressTest, OrAndCountersHoldAcrossSerialQueues) {
    constexpr int kQueues = 4;
    constexpr int kInputs = 16;
    constexpr int kRounds = 100;
    std::vector<std::unique_ptr<SerialQueue>> queues;
    for (int q = 0; q < kQueues; ++q) queues.push_back(std::make_unique<SerialQueue>());

    std::vector<std::shared_ptr<Promise>> allResolved, allRejected, oneResolved;
    std::vector<std::shared_ptr<Deferred>> inputs;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<std::shared_ptr<Promise>> forAnd, forOr, forMixed;
        for (int i = 0; i < kInputs; ++i) {
            Queue* queue = queues[i % kQueues].get();
            auto a = Deferred::initWithQueue(queue);
            auto b = Deferred::initWithQueue(queue);
            auto c = Deferred::initWithQueue(queue);
            forAnd.push_back(a);
            forOr.push_back(b);
            forMixed.push_back(c);
            inputs.insert(inputs.end(), {a, b, c});
        }
        allResolved.push_back(Promise::andPromises(forAnd));
        allRejected.push_back(Promise::orPromises(forOr));
        oneResolved.push_back(Promise::orPromises(forMixed));
    }
    // Settle from two threads so that the queues receive work from both at once.
    auto settle = [&](std::size_t from) {
        for (std::size_t i = from; i < inputs.size(); i += 2) {
            const std::size_t slot = i % 3;  // inputs go in as (a, b, c) per position
            const bool lastOfMixed = slot == 2 && (i / 3) % kInputs == kInputs - 1;
            if (slot == 0 || lastOfMixed) {
                inputs[i]->resolve(static_cast<int>(i));
            } else {
                inputs[i]->reject(makeError("Stress", static_cast<int>(i)));
            }
        }
    };
    std::thread even(settle, 0);
    std::thread odd(settle, 1);
    even.join();
    odd.join();

    ASSERT_TRUE(eventually(
        [&] {
            for (int r = 0; r < kRounds; ++r) {
                if (!allResolved[r]->isResolved() || !allRejected[r]->isRejected() ||
                    !oneResolved[r]->isResolved()) {
                    return false;
                }
            }
            return true;
        },
        10.0));
    for (auto& q : queues) q.reset();  // drain before reading results
    for (int r = 0; r < kRounds; ++r) {
        EXPECT_TRUE(allResolved[r]->result().has_value());
        ASSERT_NE(allRejected[r]->reason(), nullptr);
    }
}

TEST(PromiseStressTest, TimeoutRacingTheReceiverSettlesOnce) {
    constexpr int kCount = 60;
    SerialQueue timerQueue;
    std::vector<std::shared_ptr<Deferred>> receivers;
    std::vector<std::shared_ptr<Promise>> bounded;
    std::atomic<int> settledCallbacks{0};
    for (int i = 0; i < kCount; ++i) {
        receivers.push_back(Deferred::initWithQueue(&timerQueue));
        bounded.push_back(receivers.back()->timeout(0.01 + 0.0002 * i));
        bounded.back()->any([&] { ++settledCallbacks; });
    }
    std::thread settler([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
        for (auto& r : receivers) r->resolve(1);
    });
    settler.join();
    ASSERT_TRUE(eventually([&] { return settledCallbacks.load() == kCount; }));
    // Every timer fires in the end, whoever won, and leaves its reason behind.
    ASSERT_TRUE(eventually([&] {
        for (auto& b : bounded) {
            if (b->reason() == nullptr) return false;
        }
        return true;
    }));
    for (auto& b : bounded) EXPECT_NE(b->isResolved(), b->isRejected());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(settledCallbacks.load(), kCount);
}

}  // namespace
}  // namespace lirra
