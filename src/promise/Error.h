// SPDX-License-Identifier: GPL-3.0-or-later
// The error a promise is rejected with: a domain, a code and free-form user information. Errors
// are shared, immutable objects, so a rejection passed along keeps its identity.
#pragma once

#include <any>
#include <map>
#include <memory>
#include <string>

namespace lirra {

struct Error {
    std::string domain;
    int code = 0;
    std::map<std::string, std::any> userInfo;
};

// A rejection reason: an error, or none (nullptr).
using ErrorPtr = std::shared_ptr<const Error>;

ErrorPtr makeError(std::string domain, int code, std::map<std::string, std::any> userInfo = {});

// The only error the promise library makes itself: a time-out (see Promise::timeout).
inline constexpr const char* kTimeoutErrorDomain = "Timeout";
inline constexpr int kTimeoutErrorCode = 100;
ErrorPtr makeTimeoutError();

}  // namespace lirra
