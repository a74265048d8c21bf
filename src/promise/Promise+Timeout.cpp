// SPDX-License-Identifier: GPL-3.0-or-later
// timeout(): bounds the wait for a promise with a one-shot timer.
#include "Promise.h"
#include "Timer.h"

namespace lirra {

std::shared_ptr<Promise> Promise::timeout(double seconds) { return timeout(seconds, 0); }

std::shared_ptr<Promise> Promise::timeout(double seconds, double leewayNs) {
    auto bounded = Deferred::initWithQueue(queue_);
    chainTo(bounded);

    auto timer = Timer::create(queue_ != nullptr ? *queue_ : mainQueue());
    const std::uint64_t intervalNs = truncateNanoseconds(seconds * 1e9);
    // The handler holds the promise until it has run; a weak reference to the timer avoids a
    // cycle through the handler (the firing itself keeps the timer alive).
    std::weak_ptr<Timer> weakTimer = timer;
    timer->setEventHandler([weakTimer, bounded] {
        if (auto firing = weakTimer.lock()) firing->cancel();
        // Not cancelled when the receiver settled first: the reason then becomes the time-out
        // while the state stays as the receiver left it.
        bounded->reject(makeTimeoutError());
    });
    timer->setTimer(Timer::after(intervalNs), intervalNs, truncateNanoseconds(leewayNs));
    timer->resume();
    return bounded->promise();
}

}  // namespace lirra
