// SPDX-License-Identifier: GPL-3.0-or-later
// transform(): maps the receiver's result through a callback.
#include "Promise.h"

namespace lirra {

std::shared_ptr<Promise> Promise::transform(TransformCallback transform) {
    auto mapped = Deferred::deferred();
    when([mapped, transform = std::move(transform)](
             const Value& value) { mapped->resolve(transform ? transform(value) : value); },
         [mapped](const ErrorPtr& error) { mapped->reject(error); });
    return mapped->promise();
}

}  // namespace lirra
