// SPDX-License-Identifier: GPL-3.0-or-later
// A timer source: fires at a start time, then every interval, until cancelled; each firing runs
// the event handler on the target queue. One shared timer thread sleeps until the next timer is
// due (no polling).
//
// Leeway: a timer may fire up to `leeway` nanoseconds after its due time. The timer thread wakes
// as late as every armed timer's window allows and then fires every timer already due, so timers
// with slack coalesce into fewer wake-ups. A lone timer fires at the end of its window.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "Queue.h"

namespace lirra {

// A count of nanoseconds given as a double, truncated to an integer. Negative and NaN give 0,
// counts beyond the range give the largest one (a timer that never comes due).
std::uint64_t truncateNanoseconds(double nanoseconds);

class Timer : public std::enable_shared_from_this<Timer> {
  public:
    using Clock = std::chrono::steady_clock;

    // The target queue is not owned: keep it alive until the timer is cancelled.
    static std::shared_ptr<Timer> create(Queue& target);

    // Any thread. The handler runs on the target queue; it may cancel the timer.
    void setEventHandler(std::function<void()> handler);
    // Any thread. First firing at `start`, then every `intervalNs` (0: fire once); a firing may
    // come up to `leewayNs` late. Takes effect at resume(), or at once when already resumed.
    void setTimer(Clock::time_point start, std::uint64_t intervalNs, std::uint64_t leewayNs);
    // Any thread. Arms the timer; while armed the timer thread keeps it (and its handler) alive.
    void resume();
    // Any thread. No handler runs after cancel() returns unless it had already started; the
    // handler is released.
    void cancel();
    bool isCancelled() const;

    // `now` plus a count of nanoseconds, saturating instead of overflowing.
    static Clock::time_point after(std::uint64_t ns, Clock::time_point now = Clock::now());

  private:
    explicit Timer(Queue& target);
    friend class TimerThread;

    void fire();  // on the target queue
    void arm();   // called without lock_ held

    Queue& target_;
    mutable std::mutex lock_;
    std::function<void()> handler_;
    Clock::time_point due_{};
    std::uint64_t intervalNs_ = 0;
    std::uint64_t leewayNs_ = 0;
    bool configured_ = false;
    bool resumed_ = false;
    bool cancelled_ = false;
};

}  // namespace lirra
