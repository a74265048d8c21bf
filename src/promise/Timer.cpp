// SPDX-License-Identifier: GPL-3.0-or-later
#include "Timer.h"

#include <algorithm>
#include <condition_variable>
#include <thread>
#include <utility>
#include <vector>

namespace lirra {

namespace {

Timer::Clock::time_point saturatingAdd(Timer::Clock::time_point base, std::uint64_t ns) {
    using Rep = Timer::Clock::duration::rep;
    const auto headroom = Timer::Clock::time_point::max() - base;
    if (ns >= static_cast<std::uint64_t>(headroom.count())) return Timer::Clock::time_point::max();
    return base + std::chrono::duration_cast<Timer::Clock::duration>(
                      std::chrono::nanoseconds(static_cast<Rep>(ns)));
}

}  // namespace

// The one thread that waits for every armed timer. Lock order: this thread's lock, then a
// timer's lock (schedule); never the other way round.
class TimerThread {
  public:
    static TimerThread& instance() {
        static TimerThread thread;
        return thread;
    }

    ~TimerThread() {
        {
            std::lock_guard<std::mutex> guard(lock_);
            stopping_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }

    // Arms (or re-arms) a timer with its current settings, unless it was cancelled meanwhile.
    void schedule(const std::shared_ptr<Timer>& timer) {
        {
            std::lock_guard<std::mutex> guard(lock_);
            removeLocked(timer.get());
            Entry entry;
            {
                std::lock_guard<std::mutex> timerGuard(timer->lock_);
                if (timer->cancelled_ || !timer->resumed_ || !timer->configured_) return;
                entry.due = timer->due_;
                entry.latest = saturatingAdd(timer->due_, timer->leewayNs_);
            }
            entry.timer = timer;
            entries_.push_back(std::move(entry));
        }
        wake_.notify_one();
    }

    void remove(Timer* timer) {
        std::shared_ptr<Timer> dropped;  // released outside the lock
        std::lock_guard<std::mutex> guard(lock_);
        dropped = removeLocked(timer);
    }

  private:
    struct Entry {
        std::shared_ptr<Timer> timer;
        Timer::Clock::time_point due;     // not before
        Timer::Clock::time_point latest;  // not after (due + leeway)
    };

    TimerThread() : thread_([this] { run(); }) {}

    std::shared_ptr<Timer> removeLocked(Timer* timer) {
        auto found = std::find_if(entries_.begin(), entries_.end(),
                                  [timer](const Entry& e) { return e.timer.get() == timer; });
        if (found == entries_.end()) return nullptr;
        auto kept = std::move(found->timer);
        entries_.erase(found);
        return kept;
    }

    void run() {
        std::unique_lock<std::mutex> guard(lock_);
        while (!stopping_) {
            if (entries_.empty()) {
                wake_.wait(guard);
                continue;
            }
            auto wakeAt = Timer::Clock::time_point::max();
            for (const auto& e : entries_) wakeAt = std::min(wakeAt, e.latest);
            if (Timer::Clock::now() < wakeAt) {
                if (wakeAt == Timer::Clock::time_point::max()) {
                    wake_.wait(guard);
                } else {
                    wake_.wait_until(guard, wakeAt);
                }
                continue;  // re-evaluate: new timers, cancellations or spurious wake-ups
            }
            // Fire every timer that is due by now, not only the one that woke us.
            const auto now = Timer::Clock::now();
            std::vector<std::shared_ptr<Timer>> due;
            for (auto it = entries_.begin(); it != entries_.end();) {
                if (it->due <= now) {
                    due.push_back(std::move(it->timer));
                    it = entries_.erase(it);
                } else {
                    ++it;
                }
            }
            guard.unlock();
            for (auto& timer : due) {
                timer->target_.async([timer] { timer->fire(); });
            }
            due.clear();
            guard.lock();
        }
    }

    std::mutex lock_;
    std::condition_variable wake_;
    std::vector<Entry> entries_;
    bool stopping_ = false;
    std::thread thread_;
};

std::uint64_t truncateNanoseconds(double nanoseconds) {
    if (!(nanoseconds > 0)) return 0;  // also NaN
    if (nanoseconds >= 18446744073709551616.0) return ~std::uint64_t{0};
    return static_cast<std::uint64_t>(nanoseconds);
}

Timer::Timer(Queue& target) : target_(target) {}

std::shared_ptr<Timer> Timer::create(Queue& target) {
    return std::shared_ptr<Timer>(new Timer(target));
}

void Timer::setEventHandler(std::function<void()> handler) {
    std::function<void()> previous;
    std::lock_guard<std::mutex> guard(lock_);
    if (cancelled_) return;
    previous = std::exchange(handler_, std::move(handler));
}

void Timer::setTimer(Clock::time_point start, std::uint64_t intervalNs, std::uint64_t leewayNs) {
    bool rearm;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (cancelled_) return;
        due_ = start;
        intervalNs_ = intervalNs;
        leewayNs_ = leewayNs;
        configured_ = true;
        rearm = resumed_;
    }
    if (rearm) arm();
}

void Timer::resume() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (cancelled_ || resumed_) return;
        resumed_ = true;
    }
    arm();
}

void Timer::cancel() {
    std::function<void()> handler;  // released outside the lock
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (cancelled_) return;
        cancelled_ = true;
        handler = std::move(handler_);
        handler_ = nullptr;
    }
    TimerThread::instance().remove(this);
}

bool Timer::isCancelled() const {
    std::lock_guard<std::mutex> guard(lock_);
    return cancelled_;
}

Timer::Clock::time_point Timer::after(std::uint64_t ns, Clock::time_point now) {
    return saturatingAdd(now, ns);
}

void Timer::arm() { TimerThread::instance().schedule(shared_from_this()); }

void Timer::fire() {
    std::function<void()> handler;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (cancelled_) return;
        handler = handler_;  // a copy: the handler may cancel the timer and release handler_
    }
    if (handler) handler();
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (cancelled_ || intervalNs_ == 0) return;
        // Firings missed while the handler was late are merged into the next one.
        const auto now = Clock::now();
        std::uint64_t steps = 1;
        if (now > due_) {
            steps += static_cast<std::uint64_t>((now - due_).count()) / intervalNs_;
        }
        const std::uint64_t kMax = ~std::uint64_t{0};
        due_ = saturatingAdd(due_, steps > kMax / intervalNs_ ? kMax : steps * intervalNs_);
    }
    arm();
}

}  // namespace lirra
