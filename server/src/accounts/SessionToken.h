// SPDX-License-Identifier: GPL-3.0-or-later
// A session's token: 256 random bits, in hex in the cookie, kept as its SHA-256 so that the
// store's rows sign nobody in.
#pragma once

#include <string>
#include <string_view>

namespace lirra::server::accounts {

struct SessionToken {
    std::string text;  // for the cookie
    std::string hash;  // for the store
};

// Empty texts when the system's random source failed.
SessionToken newSessionToken();
// The hash of a token a cookie carried; empty when it is not one this service makes.
std::string sessionTokenHash(std::string_view text);

}  // namespace lirra::server::accounts
