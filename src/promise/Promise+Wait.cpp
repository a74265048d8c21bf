// SPDX-License-Identifier: GPL-3.0-or-later
// wait(): blocks a thread until the promise resolves or a deadline passes.
#include <chrono>
#include <condition_variable>

#include "Promise.h"
#include "Timer.h"

namespace lirra {

Value Promise::wait(double seconds) {
    // Shared with the callback, which may run after this call has given up waiting.
    struct Signal {
        std::mutex lock;
        std::condition_variable condition;
        bool pending = true;
    };
    auto signal = std::make_shared<Signal>();
    when([signal](const Value&) {
        std::lock_guard<std::mutex> guard(signal->lock);
        signal->pending = false;
        signal->condition.notify_all();
    });

    const auto deadline = Timer::after(truncateNanoseconds(seconds * 1e9));
    std::unique_lock<std::mutex> guard(signal->lock);
    // Loop on the flag so that a spurious wake-up does not end the wait early.
    if (deadline == Timer::Clock::time_point::max()) {
        signal->condition.wait(guard, [&] { return !signal->pending; });
    } else {
        signal->condition.wait_until(guard, deadline, [&] { return !signal->pending; });
    }
    guard.unlock();
    return result();
}

}  // namespace lirra
