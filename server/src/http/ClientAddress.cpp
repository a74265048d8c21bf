// SPDX-License-Identifier: GPL-3.0-or-later
#include "http/ClientAddress.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

namespace lirra::server {
namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::optional<IpAddress> parseIpAddress(std::string_view text) {
    if (text.empty() || text.size() >= INET6_ADDRSTRLEN) return std::nullopt;
    const std::string copy(text);
    IpAddress address{};
    in_addr v4{};
    if (inet_pton(AF_INET, copy.c_str(), &v4) == 1) {
        address[10] = address[11] = 0xff;
        std::memcpy(address.data() + 12, &v4, 4);
        return address;
    }
    if (inet_pton(AF_INET6, copy.c_str(), address.data()) == 1) return address;
    return std::nullopt;
}

std::string ipAddressText(const IpAddress& address) {
    char text[INET6_ADDRSTRLEN] = {};
    static constexpr unsigned char kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    if (std::memcmp(address.data(), kMapped, sizeof kMapped) == 0) {
        inet_ntop(AF_INET, address.data() + 12, text, sizeof text);
    } else {
        inet_ntop(AF_INET6, address.data(), text, sizeof text);
    }
    return text;
}

bool ClientAddress::trusted(const IpAddress& address) const {
    return std::find(trusted_.begin(), trusted_.end(), address) != trusted_.end();
}

std::string ClientAddress::resolve(const std::string& peer,
                                   const std::vector<std::string>& forwardedFor) const {
    const auto peerAddress = parseIpAddress(peer);
    if (!peerAddress) return peer;
    if (!trusted(*peerAddress)) return ipAddressText(*peerAddress);
    IpAddress client = *peerAddress;
    // Hops append on the right; walk left while the hop that told us is one we trust. A value
    // that is no address ends the walk at the hop that sent it.
    for (auto header = forwardedFor.rbegin(); header != forwardedFor.rend(); ++header) {
        std::string_view rest = *header;
        while (true) {
            const auto comma = rest.rfind(',');
            const std::string_view item =
                trimmed(comma == std::string_view::npos ? rest : rest.substr(comma + 1));
            const auto hop = parseIpAddress(item);
            if (!hop) return ipAddressText(client);
            client = *hop;
            if (!trusted(client)) return ipAddressText(client);
            if (comma == std::string_view::npos) break;
            rest = rest.substr(0, comma);
        }
    }
    return ipAddressText(client);
}

}  // namespace lirra::server
