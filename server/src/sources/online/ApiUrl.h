// SPDX-License-Identifier: GPL-3.0-or-later
// Addresses the online source talks to, and the rules for them: the database over HTTPS; plain
// http only for a configured address on this machine (tests, a local mirror); download links
// only over http(s) and never back to this service.
#pragma once

#include <sys/socket.h>

#include <optional>
#include <string>
#include <string_view>

#include "net/Url.h"

namespace lirra::server::online {

inline constexpr char kDefaultApiUrl[] = "https://api.opensubtitles.com/api/v1";

// The database's addresses are http(s) URLs like any other the service goes to.
using ApiUrl = net::HttpUrl;
using net::isLoopbackHost;
using net::parseHttpUrl;

// The API's root as configured: https anywhere, http only on loopback.
std::optional<ApiUrl> parseApiRoot(std::string_view text, std::string& error);

// The root after a login answered `baseUrl` (a host, "host:port" or "https://host"): the same
// scheme and path on that host, when it lies within the root's own domain; the key goes nowhere
// else. Anything malformed or elsewhere leaves the root as it was.
ApiUrl withBaseUrl(const ApiUrl& root, std::string_view baseUrl);

// Whether `host` is `rootHost`'s domain or a name under it; for an address, only itself.
bool withinDomainOf(std::string_view host, std::string_view rootHost);

// Whether a download link may be followed or handed on. `root` is the API's root, `selfPort`
// this service's port (0 if unknown). The reason is set when it may not. Links to this machine
// or its network are only for a root there itself (a test's fake, a local mirror).
bool acceptableLink(const ApiUrl& link, const ApiUrl& root, int selfPort, std::string& reason);

// The same rule for an address a link's name resolved to: why it is refused, or empty.
std::string linkAddressRefusal(const sockaddr& address, const ApiUrl& root, int selfPort);

// A query value: letters, digits and "-._~," as they are, space as "+", the rest as %XX.
std::string queryEncode(std::string_view value);

}  // namespace lirra::server::online
