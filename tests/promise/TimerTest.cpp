// The timer source: fires on its target queue at the due time, repeats until cancelled, honours
// leeway as slack (and coalesces timers within it), and never fires once cancelled.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "PromiseTestSupport.h"
#include "promise/Timer.h"

namespace lirra {
namespace {

using test::eventually;
using test::secondsSince;
using namespace std::chrono_literals;

constexpr std::uint64_t kMs = 1'000'000;

TEST(TimerTest, TruncatesNanosecondCounts) {
    EXPECT_EQ(truncateNanoseconds(1000.9), 1000u);
    EXPECT_EQ(truncateNanoseconds(-5), 0u);
    EXPECT_EQ(truncateNanoseconds(std::nan("")), 0u);
    EXPECT_EQ(truncateNanoseconds(1e30), ~std::uint64_t{0});
    const auto now = Timer::Clock::now();
    EXPECT_EQ(Timer::after(~std::uint64_t{0}, now), Timer::Clock::time_point::max());
    EXPECT_EQ(Timer::after(5, now) - now, std::chrono::nanoseconds(5));
}

TEST(TimerTest, FiresOnceOnItsQueueAtTheDueTime) {
    SerialQueue queue;
    auto timer = Timer::create(queue);
    std::atomic<int> firings{0};
    std::atomic<bool> onQueue{false};
    std::atomic<double> firedAfter{-1};
    const auto start = Timer::Clock::now();
    timer->setEventHandler([&] {
        onQueue = queue.isCurrent();
        firedAfter = secondsSince(start);
        ++firings;
    });
    timer->setTimer(Timer::after(50 * kMs, start), 0, 0);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(firings.load(), 0);  // not armed before resume()
    timer->resume();
    ASSERT_TRUE(eventually([&] { return firings.load() == 1; }));
    EXPECT_TRUE(onQueue);
    EXPECT_GE(firedAfter.load(), 0.05);
    EXPECT_LT(firedAfter.load(), 1.0);
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(firings.load(), 1);  // an interval of 0 fires once
}

TEST(TimerTest, RepeatsEveryIntervalUntilTheHandlerCancels) {
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
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(firings.load(), 3);
    EXPECT_TRUE(timer->isCancelled());
}

TEST(TimerTest, CancelBeforeDueNeverFiresAndReleasesTheHandler) {
    SerialQueue queue;
    std::weak_ptr<Timer> weakTimer;
    auto payload = std::make_shared<int>(0);
    std::atomic<int> firings{0};
    {
        auto timer = Timer::create(queue);
        weakTimer = timer;
        timer->setEventHandler([payload, &firings] { ++firings; });
        timer->setTimer(Timer::after(30 * kMs), 0, 0);
        timer->resume();
        timer->cancel();
    }
    EXPECT_EQ(payload.use_count(), 1);
    EXPECT_TRUE(weakTimer.expired());  // the timer thread let go of it
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(firings.load(), 0);
}

TEST(TimerTest, LeewayIsSlackAndLetsTimersShareAWakeUp) {
    SerialQueue queue;
    std::atomic<double> strictFiredAt{-1};
    std::atomic<double> slackFiredAt{-1};
    const auto start = Timer::Clock::now();
    // Due at 20 ms with 400 ms of slack, and a strict timer due at 80 ms: the wake-up at 80 ms
    // serves both, later than the first one's due time and well before its slack runs out.
    auto slack = Timer::create(queue);
    slack->setEventHandler([&] { slackFiredAt = secondsSince(start); });
    slack->setTimer(Timer::after(20 * kMs, start), 0, 400 * kMs);
    auto strict = Timer::create(queue);
    strict->setEventHandler([&] { strictFiredAt = secondsSince(start); });
    strict->setTimer(Timer::after(80 * kMs, start), 0, 0);
    slack->resume();
    strict->resume();
    ASSERT_TRUE(eventually([&] { return slackFiredAt.load() >= 0 && strictFiredAt.load() >= 0; }));
    EXPECT_GE(strictFiredAt.load(), 0.08);
    EXPECT_GE(slackFiredAt.load(), 0.08);
    EXPECT_LT(slackFiredAt.load(), 0.4);

    // Alone, a timer with slack fires within its window, never before it is due.
    const auto alone = Timer::Clock::now();
    std::atomic<double> aloneFiredAt{-1};
    auto single = Timer::create(queue);
    single->setEventHandler([&] { aloneFiredAt = secondsSince(alone); });
    single->setTimer(Timer::after(30 * kMs, alone), 0, 20 * kMs);
    single->resume();
    ASSERT_TRUE(eventually([&] { return aloneFiredAt.load() >= 0; }));
    EXPECT_GE(aloneFiredAt.load(), 0.03);
    EXPECT_LT(aloneFiredAt.load(), 1.0);
}

}  // namespace
}  // namespace lirra
