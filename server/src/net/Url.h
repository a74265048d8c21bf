// SPDX-License-Identifier: GPL-3.0-or-later
// Absolute http(s) URLs as the service's outgoing requests take them, and the loopback test the
// rules about where they may go are made of.
#pragma once

#include <netinet/in.h>

#include <optional>
#include <string>
#include <string_view>

namespace lirra::server::net {

struct HttpUrl {
    std::string scheme;  // "http" or "https"
    std::string host;    // lower case; an IPv6 address without brackets
    int port = 0;
    std::string path;  // "" or "/..." without a trailing "/"; may hold a query for links

    bool isLoopback() const;
    std::string hostForHeader() const;  // IPv6 in brackets
    std::string text() const;           // scheme://host:port/path
};

// True for 127.0.0.0/8, ::1, ::ffff:127.x.x.x and "localhost".
bool isLoopbackHost(std::string_view host);

// True for addresses that are not the public internet's: loopback (127.0.0.0/8, ::1),
// unspecified (0.0.0.0/8, ::), link-local (169.254.0.0/16, fe80::/10), private (10.0.0.0/8,
// 172.16.0.0/12, 192.168.0.0/16, 100.64.0.0/10, fc00::/7), and IPv4 ones mapped into IPv6.
bool isPrivateAddress(const in6_addr& address);
bool isPrivateAddress(const in_addr& address);
// The same for a host as written: a numeric address of those kinds, or "localhost". A name is
// judged by what it resolves to, when the connection is made.
bool isPrivateHost(std::string_view host);

// An absolute http(s) URL without user information or fragment; nothing with `error` set.
std::optional<HttpUrl> parseHttpUrl(std::string_view text, std::string& error);

// "host", "host:port", "[v6]", "[v6]:port" into a lower-case host and a port (`defaultPort`
// when none is given); false if malformed.
bool splitAuthority(std::string_view authority, int defaultPort, std::string& host, int& port);

}  // namespace lirra::server::net
