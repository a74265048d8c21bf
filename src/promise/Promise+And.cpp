// SPDX-License-Identifier: GPL-3.0-or-later
// andPromises(): resolved once every input has resolved; rejected at the first error.
#include <atomic>

#include "Promise.h"

namespace lirra {

std::shared_ptr<Promise> Promise::andPromises(std::vector<std::shared_ptr<Promise>> promises) {
    auto combined = Deferred::deferred();
    const auto count = promises.size();
    // One atomic increment-and-compare: inputs may resolve on several threads at once.
    auto resolutions = std::make_shared<std::atomic<std::size_t>>(0);
    for (const auto& promise : promises) {
        if (!promise) continue;
        promise->when(
            [combined, resolutions, count](const Value& value) {
                if (resolutions->fetch_add(1, std::memory_order_acq_rel) + 1 == count) {
                    combined->resolve(value);
                }
            },
            [combined](const ErrorPtr& error) { combined->reject(error); });
    }
    return combined->promise();
}

}  // namespace lirra
