// SPDX-License-Identifier: GPL-3.0-or-later
// Guessing passwords made slow: failed sign-ins are counted per account and per client address
// in the store (so every process of the service counts them together), and registrations per
// address. Names are counted whether or not they have an account, so the throttle tells nothing.
#pragma once

#include <cstdint>
#include <string>

#include "store/Store.h"

namespace lirra::server::accounts {

struct ThrottleLimits {
    std::int64_t perAccount = 5;
    std::int64_t perAddress = 20;
    std::int64_t windowMs = 15 * 60 * 1000;
    std::int64_t registrations = 10;  // per address
    std::int64_t registrationWindowMs = 60 * 60 * 1000;
};

class SigninThrottle {
  public:
    explicit SigninThrottle(Store& store, ThrottleLimits limits = {})
        : store_(store), limits_(limits) {}

    // Whether a sign-in as `name` from `address` may be tried now.
    StoreStatus allows(const std::string& name, const std::string& address, bool& allowed,
                       std::string& error) const;
    StoreStatus failed(const std::string& name, const std::string& address,
                       std::string& error) const;
    // The account's count starts again; the address's stays, or one good account would let an
    // address guess at every other.
    StoreStatus succeeded(const std::string& name, std::string& error) const;
    // Counts a registration from `address`; `allowed` is false past the limit.
    StoreStatus registration(const std::string& address, bool& allowed, std::string& error) const;

  private:
    Store& store_;
    ThrottleLimits limits_;
};

}  // namespace lirra::server::accounts
