// SPDX-License-Identifier: GPL-3.0-or-later
// The check every request passes before any handler runs, so that only Lirra and the learner
// get in: the Host names this service (no DNS rebinding), an Origin is the service's own (no
// other web page's fetch or form post), and no preflight is answered, so no other origin is
// ever allowed to read an answer. A service that keeps a secret (the app's embedded one) also
// wants it on every request, as a cookie (the app's web profile) or a header (the app's client).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "http/Http.h"

namespace lirra::server {

// A Host value split: "Name:Port", "[v6]:Port", either without the port.
struct Authority {
    std::string name;  // lower case; IPv6 in brackets
    std::optional<std::uint16_t> port;
};

// None when `text` is not a host name, an IPv4 address or a bracketed IPv6 address, with an
// optional port from 1 to 65535.
std::optional<Authority> parseAuthority(std::string_view text);

struct ServedName {
    std::string name;  // as parseAuthority gives it
    std::uint16_t port = 0;
    bool alsoWithoutPort = false;  // a proxy in front may send the bare name
};

// What the guard reads of a request; every value of a repeated header is kept.
struct RequestHead {
    std::string method;
    std::string target;  // as on the request line
    std::vector<std::string> hosts;
    std::vector<std::string> origins;
    std::vector<std::pair<std::string, std::string>> headers;  // every one, names in lower case
};

// The secret a request must carry, and where; an empty value asks for none.
struct SecretCheck {
    std::string cookieName;
    std::string headerName;
    std::string value;
};

// Whether `given` is `secret`, in a time that depends on the length alone.
bool sameSecret(std::string_view given, std::string_view secret);

class RequestGuard {
  public:
    // `served` empty: any Host is served. `fallbackOrigin` ("http://127.0.0.1:8080") is the
    // service's own origin for a request that names no host.
    RequestGuard(std::vector<ServedName> served, std::string fallbackOrigin,
                 SecretCheck secret = {});

    // The refusal, or nothing when the request may go on to its route.
    std::optional<HttpResponse> check(const RequestHead& request) const;

  private:
    bool serves(const Authority& authority) const;
    bool carriesSecret(const RequestHead& request) const;

    std::vector<ServedName> served_;
    std::string fallbackOrigin_;
    SecretCheck secret_;
};

}  // namespace lirra::server
