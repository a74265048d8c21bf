// SPDX-License-Identifier: GPL-3.0-or-later
// Who sent a request: the peer, or behind a reverse proxy the service trusts, the address the
// proxy says it served (X-Forwarded-For). Only a trusted peer's header is believed, and in it
// only what trusted hops appended: the right-most address that is not itself a trusted proxy.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lirra::server {

// A numeric IPv4 or IPv6 address in one form: IPv4 as IPv4-mapped IPv6, so a peer reached over
// a dual-stack socket equals its IPv4 spelling.
using IpAddress = std::array<unsigned char, 16>;

std::optional<IpAddress> parseIpAddress(std::string_view text);
// The canonical text: dotted IPv4 for IPv4 (mapped or not), RFC 5952 IPv6 otherwise.
std::string ipAddressText(const IpAddress& address);

class ClientAddress {
  public:
    ClientAddress() = default;
    explicit ClientAddress(std::vector<IpAddress> trustedProxies)
        : trusted_(std::move(trustedProxies)) {}

    // `peer` is the socket's address; `forwardedFor` every X-Forwarded-For value in the order
    // received. The answer is an address's canonical text (the peer's own text when it does not
    // parse).
    std::string resolve(const std::string& peer,
                        const std::vector<std::string>& forwardedFor) const;

  private:
    bool trusted(const IpAddress& address) const;

    std::vector<IpAddress> trusted_;
};

}  // namespace lirra::server
