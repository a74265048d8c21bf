// SPDX-License-Identifier: GPL-3.0-or-later
// orPromises(): the first of several promises to resolve; rejected only when all have rejected.
#include <atomic>

#include "Promise.h"

namespace lirra {

std::shared_ptr<Promise> Promise::orPromises(std::vector<std::shared_ptr<Promise>> promises) {
    auto combined = Deferred::deferred();
    const auto count = promises.size();
    // The inputs' callbacks may run on different threads at once: increment and compare in one
    // atomic step, or a lost update would leave the combined promise pending.
    auto rejections = std::make_shared<std::atomic<std::size_t>>(0);
    for (const auto& promise : promises) {
        if (!promise) continue;
        promise->when([combined](const Value& value) { combined->resolve(value); },
                      [combined, rejections, count](const ErrorPtr& error) {
                          if (rejections->fetch_add(1, std::memory_order_acq_rel) + 1 == count) {
                              combined->reject(error);
                          }
                      });
    }
    return combined->promise();
}

}  // namespace lirra
