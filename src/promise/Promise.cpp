// SPDX-License-Identifier: GPL-3.0-or-later
// The promise core: creation, settlement, registration and the hop to another queue.
#include "Promise.h"

#include <utility>

namespace lirra {

Promise::Promise(Queue* queue) : callbackBindings_(std::in_place), queue_(queue) {}

std::shared_ptr<Promise> Promise::resolved(Value value) {
    return Deferred::deferred()->resolve(std::move(value));
}

std::shared_ptr<Promise> Promise::rejected(ErrorPtr error) {
    return Deferred::deferred()->reject(std::move(error));
}

bool Promise::bindOrCallBlock(Callback callback) {
    bool stored = false;
    {
        std::lock_guard<std::mutex> guard(stateLock_);
        if (state_.load(std::memory_order_relaxed) == kPending) {
            callbackBindings_->push_back(std::move(callback));
            stored = true;
        }
    }
    if (!stored) executeBlock(std::move(callback));
    return stored;
}

void Promise::executeBlock(Callback callback) {
    if (queue_ == nullptr) {
        callback();
    } else {
        queue_->async(std::move(callback));
    }
}

std::shared_ptr<Promise> Promise::when(ResultCallback onResult) {
    auto self = shared_from_this();
    if (!onResult) return self;
    // The wrapper holds the promise: a pending promise with consumers stays alive until settled.
    bindOrCallBlock([self, onResult = std::move(onResult)] {
        if (self->isResolved()) onResult(self->result());
    });
    return self;
}

std::shared_ptr<Promise> Promise::failed(ErrorCallback onError) {
    auto self = shared_from_this();
    if (!onError) return self;
    bindOrCallBlock([self, onError = std::move(onError)] {
        if (self->isRejected()) onError(self->reason());
    });
    return self;
}

std::shared_ptr<Promise> Promise::any(Callback onSettled) {
    if (onSettled) bindOrCallBlock(std::move(onSettled));
    return shared_from_this();
}

std::shared_ptr<Promise> Promise::when(ResultCallback onResult, ErrorCallback onError) {
    when(std::move(onResult));
    return failed(std::move(onError));
}

std::shared_ptr<Promise> Promise::when(ResultCallback onResult, ErrorCallback onError,
                                       Callback onSettled) {
    when(std::move(onResult));
    failed(std::move(onError));
    return any(std::move(onSettled));
}

void Promise::chainTo(std::shared_ptr<Deferred> deferred) {
    when([deferred](const Value& value) { deferred->resolve(value); },
         [deferred](const ErrorPtr& error) { deferred->reject(error); });
}

std::shared_ptr<Promise> Promise::on(Queue& queue) {
    auto hop = Deferred::initWithQueue(&queue);
    chainTo(hop);
    return hop;
}

std::shared_ptr<Promise> Promise::onMainQueue() { return on(mainQueue()); }

bool Promise::isResolved() const { return state_.load(std::memory_order_acquire) == kResolved; }

bool Promise::isRejected() const { return state_.load(std::memory_order_acquire) == kRejected; }

Value Promise::result() const {
    std::shared_ptr<const Value> stored;
    {
        std::lock_guard<std::mutex> guard(stateLock_);
        stored = result_;
    }
    return stored ? *stored : Value{};
}

ErrorPtr Promise::reason() const {
    std::lock_guard<std::mutex> guard(stateLock_);
    return reason_;
}

std::shared_ptr<Deferred> Deferred::deferred() { return initWithQueue(nullptr); }

std::shared_ptr<Deferred> Deferred::initWithQueue(Queue* queue) {
    return std::shared_ptr<Deferred>(new Deferred(queue));
}

std::shared_ptr<Promise> Deferred::promise() { return shared_from_this(); }

std::shared_ptr<Promise> Deferred::resolve(Value value) {
    auto incoming = std::make_shared<const Value>(std::move(value));
    {
        // Stored under the lock so that two settling threads never tear the field, and before
        // the transition so that callbacks find the value in place. The old value is released
        // after the lock.
        std::lock_guard<std::mutex> guard(stateLock_);
        result_.swap(incoming);
    }
    incoming.reset();
    transitionToState(kResolved);
    return promise();
}

std::shared_ptr<Promise> Deferred::reject(ErrorPtr error) {
    {
        std::lock_guard<std::mutex> guard(stateLock_);
        reason_.swap(error);
    }
    error.reset();
    transitionToState(kRejected);
    return promise();
}

void Deferred::transitionToState(std::int32_t state) {
    std::optional<std::vector<Callback>> callbacks;
    {
        std::lock_guard<std::mutex> guard(stateLock_);
        if (state_.load(std::memory_order_relaxed) != kPending) return;
        state_.store(state, std::memory_order_release);
        callbacks.swap(callbackBindings_);  // the field becomes empty: nothing is stored again
    }
    for (auto& callback : *callbacks) executeBlock(std::move(callback));
}

}  // namespace lirra
