// SPDX-License-Identifier: GPL-3.0-or-later
// chain(): asynchronous steps run one after another, each fed the previous step's result.
#include <deque>

#include "Promise.h"

namespace lirra {

namespace {

// Shared by every callback of one chain; steps run one at a time, but possibly on different
// threads, so the list is taken under a lock.
struct ChainState {
    std::shared_ptr<Deferred> deferred;
    std::mutex lock;
    std::deque<Promise::Step> remaining;
};

// The continuation: runs the next step with `value`, or resolves the chain when none is left.
void continueChain(const std::shared_ptr<ChainState>& state, const Value& value) {
    Promise::Step step;
    {
        std::lock_guard<std::mutex> guard(state->lock);
        if (!state->remaining.empty()) {
            step = std::move(state->remaining.front());
            state->remaining.pop_front();
        }
    }
    if (!step) {
        state->deferred->resolve(value);
        return;
    }
    auto next = step(value);
    if (!next) return;  // no promise to wait on: the chain stays pending
    next->when([state](const Value& result) { continueChain(state, result); },
               [state](const ErrorPtr& error) { state->deferred->reject(error); });
}

}  // namespace

std::shared_ptr<Promise> Promise::chain(std::vector<Step> steps) {
    auto state = std::make_shared<ChainState>();
    state->deferred = Deferred::deferred();
    for (auto& step : steps) {
        if (!step) break;  // the list ends at the first empty step
        state->remaining.push_back(std::move(step));
    }
    auto promise = state->deferred->promise();
    continueChain(state, Value{});
    return promise;
}

}  // namespace lirra
