// SPDX-License-Identifier: GPL-3.0-or-later
// The timer source: repeats until cancelled, and never fires once cancelled.
#include <gtest/gtest.h>

#include "PromiseTestSupport.h"
#include "promise/Timer.h"

namespace lirra {
namespace {

using test::eventually;

constexpr std::uint64_t kMs = 1'000'000;

// When it fires, on which queue and how late: Promise+TimeoutTest.
TEST(TimerTest, RepeatsUntilCancelledAndNeverFiresAfterCancel) {
    SerialQueue queue;
    auto timer = Timer::create(queue);
    std::atomic<int> firings{0};
    std::weak_ptr<Timer> weak = timer;
    timer->setEventHandler([&firings, weak] {
        if (++firings == 3) weak.lock()->cancel();
    });
    timer->setTimer(Timer::after(10 * kMs), 10 * kMs, 0);
    timer->resume();
    ASSERT_TRUE(eventually([&] { return firings.load() >= 3; }));
    EXPECT_EQ(Timer::after(~std::uint64_t{0}), Timer::Clock::time_point::max());

    auto payload = std::make_shared<int>(0);
    std::atomic<double> firedAt{-1};
    auto cancelled = Timer::create(queue);
    cancelled->setEventHandler([payload, &firedAt] { firedAt = 1; });
    cancelled->setTimer(Timer::after(20 * kMs), 0, 0);
    cancelled->resume();
    cancelled->cancel();
    EXPECT_EQ(payload.use_count(), 1);  // the handler is released
    weak = cancelled;
    cancelled.reset();
    EXPECT_TRUE(weak.expired());  // and the timer thread let go of the timer
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(firings.load(), 3);
    EXPECT_EQ(firedAt.load(), -1);
}

}  // namespace
}  // namespace lirra
