// SPDX-License-Identifier: GPL-3.0-or-later
#include "ApiUrl.h"

#include <arpa/inet.h>

#include <algorithm>

namespace lirra::server::online {

std::optional<ApiUrl> parseApiRoot(std::string_view text, std::string& error) {
    auto url = parseHttpUrl(text, error);
    if (!url) return std::nullopt;
    if (url->path.find('?') != std::string::npos) {
        error = "the database's address must not hold a query";
        return std::nullopt;
    }
    while (!url->path.empty() && url->path.back() == '/') url->path.pop_back();
    if (url->scheme == "http" && !url->isLoopback()) {
        error = "plain http is only allowed for an address on this machine; use https";
        return std::nullopt;
    }
    return url;
}

ApiUrl withBaseUrl(const ApiUrl& root, std::string_view baseUrl) {
    for (std::string_view prefix : {"https://", "http://"}) {
        if (baseUrl.substr(0, prefix.size()) == prefix) baseUrl.remove_prefix(prefix.size());
    }
    baseUrl = baseUrl.substr(0, baseUrl.find('/'));
    if (baseUrl.empty() || baseUrl.find('@') != std::string_view::npos) return root;
    ApiUrl moved = root;
    if (!net::splitAuthority(baseUrl, root.port, moved.host, moved.port)) return root;
    return withinDomainOf(moved.host, root.host) ? moved : root;
}

bool withinDomainOf(std::string_view host, std::string_view rootHost) {
    // The root's domain: "api.example.com" gives "example.com"; a two-label name or an address
    // is its own.
    std::string_view domain = rootHost;
    in_addr v4{};
    const bool address = rootHost.find(':') != std::string_view::npos ||
                         inet_pton(AF_INET, std::string(rootHost).c_str(), &v4) == 1;
    if (!address && std::count(rootHost.begin(), rootHost.end(), '.') >= 2)
        domain.remove_prefix(rootHost.find('.') + 1);
    if (host == domain) return true;
    return !address && host.size() > domain.size() &&
           host.substr(host.size() - domain.size()) == domain &&
           host[host.size() - domain.size() - 1] == '.';
}

std::string linkAddressRefusal(const sockaddr& address, const ApiUrl& root, int selfPort) {
    bool priv = false;
    int port = 0;
    if (address.sa_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        priv = net::isPrivateAddress(v4.sin_addr);
        port = ntohs(v4.sin_port);
    } else if (address.sa_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        priv = net::isPrivateAddress(v6.sin6_addr);
        port = ntohs(v6.sin6_port);
    } else {
        return "the link leads to an address of an unknown kind";
    }
    if (priv && !net::isPrivateHost(root.host))
        return "the link leads to this machine or its network";
    if (priv && selfPort != 0 && port == selfPort) return "the link leads to this service";
    return {};
}

bool acceptableLink(const ApiUrl& link, const ApiUrl& root, int selfPort, std::string& reason) {
    const bool local = net::isPrivateHost(link.host);
    if (local && !net::isPrivateHost(root.host)) {
        reason = "the link points at this machine or its network";
        return false;
    }
    if (local && selfPort != 0 && link.port == selfPort) {
        reason = "the link points at this service";
        return false;
    }
    if (link.scheme == "http" && !(root.scheme == "http" && root.isLoopback())) {
        reason = "the link is not https";
        return false;
    }
    return true;
}

std::string queryEncode(std::string_view value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char ch : value) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                           c == ',';
        if (plain) {
            out.push_back(ch);
        } else if (c == ' ') {
            out.push_back('+');
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    return out;
}

}  // namespace lirra::server::online
