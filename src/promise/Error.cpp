// SPDX-License-Identifier: GPL-3.0-or-later
#include "Error.h"

#include <utility>

namespace lirra {

ErrorPtr makeError(std::string domain, int code, std::map<std::string, std::any> userInfo) {
    return std::make_shared<const Error>(Error{std::move(domain), code, std::move(userInfo)});
}

ErrorPtr makeTimeoutError() { return makeError(kTimeoutErrorDomain, kTimeoutErrorCode); }

}  // namespace lirra
