// The timer source: fires on its target queue when due, repeats until cancelled, takes leeway as
// slack that lets timers share a wake-up, and never fires once cancelled.
#include <gtest/gtest.h>

#include "PromiseTestSupport.h"
#include "promise/Timer.h"

namespace lirra {
namespace {

using test::eventually;
using test::secondsSince;

constexpr std::uint64_t kMs = 1'000'000;

// Arms a timer on `queue` that records, on the queue, how long after `start` it fired.
std::shared_ptr<Timer> recordingTimer(SerialQueue& queue, std::atomic<double>& firedAt,
                                      std::chrono::steady_clock::time_point start,
                                      std::uint64_t dueMs, std::uint64_t leewayMs) {
    auto timer = Timer::create(queue);
    timer->setEventHandler([&, start] { firedAt = queue.isCurrent() ? secondsSince(start) : -2; });
    timer->setTimer(Timer::after(dueMs * kMs, start), 0, leewayMs * kMs);
    timer->resume();
    return timer;
}

TEST(TimerTest, LeewayIsSlackThatLetsTimersShareAWakeUp) {
    SerialQueue queue;
    std::atomic<double> slack{-1}, strict{-1};
    const auto start = std::chrono::steady_clock::now();
    // Due at 20 ms with 400 ms of slack, and a strict timer due at 80 ms: the wake-up at 80 ms
    // serves both, later than the first one's due time and well before its slack runs out.
    auto a = recordingTimer(queue, slack, start, 20, 400);
    auto b = recordingTimer(queue, strict, start, 80, 0);
    ASSERT_TRUE(eventually([&] { return slack >= 0 && strict >= 0; }));
    EXPECT_GE(strict.load(), 0.08);
    EXPECT_GE(slack.load(), 0.08);
    EXPECT_LT(slack.load(), 0.4);
    EXPECT_EQ(Timer::after(~std::uint64_t{0}, start), Timer::Clock::time_point::max());
}

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
