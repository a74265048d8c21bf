// SPDX-License-Identifier: GPL-3.0-or-later
// Promise and Deferred: a value that becomes known later. The producer keeps the Deferred and
// settles it; consumers register callbacks on the promise. The core lives in Promise.cpp; each
// operator that builds a new promise out of others has a file of its own (Promise+Name.cpp).
//
// State machine (state_):
//
//     pending (0) --resolve--> resolved (2)     (final)
//     pending (0) --reject---> rejected (1)     (final)
//
// - The state leaves pending at most once. Only that first settlement runs callbacks.
// - callbackBindings_ exists only while pending; settlement takes it out under stateLock_ and
//   runs each callback once, in registration order, outside the lock. A callback registered after
//   settlement is never stored: it runs (or is submitted) at once.
// - A later resolve/reject still replaces the stored value (result_ or reason_) without changing
//   the state or running callbacks: a resolved promise resolved again reports the new result; a
//   resolved promise rejected later stays resolved and reports the new reason.
// - Callbacks run directly on the thread that settles (or registers after settlement) when the
//   promise has no queue, otherwise each is submitted to queue_ in registration order.
// - Callbacks of when/failed keep the promise alive until it settles; all callbacks are dropped at
//   settlement, so a callback that captures its own promise leaks only while it stays pending.
//
// Threads: every public method may be called from any thread unless its comment says otherwise.
// stateLock_ is never held while a callback, a queue or a value's destructor runs.
#pragma once

#include <any>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "Error.h"
#include "Queue.h"

namespace lirra {

// Any object or none (an empty std::any).
using Value = std::any;

class Deferred;

class Promise : public std::enable_shared_from_this<Promise> {
  public:
    using Callback = std::function<void()>;
    using ResultCallback = std::function<void(const Value&)>;
    using ErrorCallback = std::function<void(const ErrorPtr&)>;
    using TransformCallback = std::function<Value(const Value&)>;
    using Step = std::function<std::shared_ptr<Promise>(const Value&)>;

    static constexpr std::int32_t kPending = 0;
    static constexpr std::int32_t kRejected = 1;
    static constexpr std::int32_t kResolved = 2;

    virtual ~Promise() = default;
    Promise(const Promise&) = delete;
    Promise& operator=(const Promise&) = delete;

    // Promises that are already settled, so callbacks registered on them run at once.
    static std::shared_ptr<Promise> resolved(Value value);
    static std::shared_ptr<Promise> rejected(ErrorPtr error);

    // Registration. Each returns the receiver. The callback of when() gets the result read when
    // the callback runs; failed() gets the reason likewise; any() runs whichever way it settled.
    // Combined forms register when, failed, any in that order. An empty callback registers
    // nothing.
    std::shared_ptr<Promise> when(ResultCallback onResult);
    std::shared_ptr<Promise> failed(ErrorCallback onError);
    std::shared_ptr<Promise> any(Callback onSettled);
    std::shared_ptr<Promise> when(ResultCallback onResult, ErrorCallback onError);
    std::shared_ptr<Promise> when(ResultCallback onResult, ErrorCallback onError,
                                  Callback onSettled);

    // A new promise on `queue` that settles as the receiver does, once the receiver's callbacks
    // registered so far have run. The queue is not owned: keep it alive while callbacks may run.
    std::shared_ptr<Promise> on(Queue& queue);
    std::shared_ptr<Promise> onMainQueue();

    // Blocks the calling thread until the promise resolves or `seconds` have passed, then returns
    // `result` (none when not resolved). A rejection does not end the wait early. Never call it
    // on the only thread that serves this promise's queue: the wake-up could not run there.
    Value wait(double seconds);

    bool isResolved() const;
    bool isRejected() const;
    // Copies of the stored values; none while unset.
    Value result() const;
    ErrorPtr reason() const;
    Queue* queue() const { return queue_; }

    // Building blocks of the operators. bindOrCallBlock stores the callback while pending (true)
    // or runs / submits it at once (false). executeBlock runs it directly without a queue, else
    // submits it. chainTo makes `deferred` settle as the receiver does, holding it until then.
    bool bindOrCallBlock(Callback callback);
    void executeBlock(Callback callback);
    void chainTo(std::shared_ptr<Deferred> deferred);

    // Operators (one file each). None of them settles the receiver or the inputs.

    // Resolved with what `transform` returns for the receiver's result (a returned promise is
    // not waited on), or rejected with the receiver's own error. An empty callback passes the
    // result through.
    std::shared_ptr<Promise> transform(TransformCallback transform);

    // Runs the steps one after another, the first at once with none, each later one with the
    // result of the previous step's promise. Resolved with the last step's result (none without
    // steps), rejected with the first error. The list ends at the first empty step. A step that
    // returns no promise (nullptr) leaves the chain pending for good.
    static std::shared_ptr<Promise> chain(std::vector<Step> steps);

    // `or`: resolved at the first input that resolves, rejected with the last error once every
    // input has rejected. Every later resolution replaces the stored result.
    static std::shared_ptr<Promise> orPromises(std::vector<std::shared_ptr<Promise>> promises);
    // `and`: resolved with the result of the input that resolves last once all have resolved,
    // rejected at the first error (later errors replace the stored reason).
    // For both: an empty vector gives a promise that never settles; a nullptr input counts as an
    // input that never settles.
    static std::shared_ptr<Promise> andPromises(std::vector<std::shared_ptr<Promise>> promises);

    // A promise on the receiver's queue that settles as the receiver does, or is rejected with
    // the time-out error (makeTimeoutError) after `seconds`. The timer fires once even when the
    // receiver settled first; the promise then stays as it is but its reason becomes the time-out
    // error. The timer runs on the receiver's queue, or on mainQueue() when it has none.
    // `leewayNs` is the slack allowed to the timer, a count of nanoseconds.
    std::shared_ptr<Promise> timeout(double seconds);
    std::shared_ptr<Promise> timeout(double seconds, double leewayNs);

  protected:
    explicit Promise(Queue* queue);

    // Fields, guarded by stateLock_ except queue_ (fixed) and state_ (also read without it).
    std::optional<std::vector<Callback>> callbackBindings_;  // empty optional once settled
    Queue* const queue_;                                     // not owned; none: run directly
    mutable std::mutex stateLock_;
    std::atomic<std::int32_t> state_{kPending};
    std::shared_ptr<const Value> result_;  // shared so readers copy it outside the lock
    ErrorPtr reason_;
};

// The producer's side: settles the promise. A Deferred is its own promise.
class Deferred final : public Promise {
  public:
    // Without a queue: callbacks run on the thread that settles or registers.
    static std::shared_ptr<Deferred> deferred();
    // With a queue (none is the same as deferred()).
    static std::shared_ptr<Deferred> initWithQueue(Queue* queue);

    std::shared_ptr<Promise> promise();

    // Store the value (replacing the previous one, even once settled), then settle; only the
    // first settlement changes the state and runs callbacks. Return promise(). Two threads may
    // settle at once: the first to change the state wins, and each value is stored whole.
    std::shared_ptr<Promise> resolve(Value value = {});
    std::shared_ptr<Promise> reject(ErrorPtr error);

  private:
    using Promise::Promise;
    void transitionToState(std::int32_t state);
};

}  // namespace lirra
