// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/Url.h"

#include <arpa/inet.h>

#include <cstdint>
#include <cstring>

namespace lirra::server::net {
namespace {

constexpr std::size_t kMaxUrlBytes = 2048;

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool validHostName(std::string_view host) {
    if (host.empty() || host.size() > 253) return false;
    for (char c : host) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
        if (!ok) return false;
    }
    return host.front() != '.' && host.front() != '-';
}

}  // namespace

bool splitAuthority(std::string_view authority, int defaultPort, std::string& host, int& port) {
    port = defaultPort;
    std::string_view portText;
    if (!authority.empty() && authority.front() == '[') {
        const auto close = authority.find(']');
        if (close == std::string_view::npos) return false;
        host = lower(authority.substr(1, close - 1));
        in6_addr v6{};
        if (inet_pton(AF_INET6, host.c_str(), &v6) != 1) return false;
        const auto rest = authority.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') return false;
            portText = rest.substr(1);
        }
    } else {
        const auto colon = authority.find(':');
        host = lower(authority.substr(0, colon));
        if (!validHostName(host)) return false;
        if (colon != std::string_view::npos) portText = authority.substr(colon + 1);
    }
    if (authority.find(':') != std::string_view::npos && authority.back() == ':') return false;
    if (!portText.empty()) {
        if (portText.size() > 5) return false;
        int value = 0;
        for (char c : portText) {
            if (c < '0' || c > '9') return false;
            value = value * 10 + (c - '0');
        }
        if (value == 0 || value > 65535) return false;
        port = value;
    }
    return true;
}

bool isLoopbackHost(std::string_view host) {
    const std::string h = lower(host);
    if (h == "localhost") return true;
    in_addr v4{};
    if (inet_pton(AF_INET, h.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, h.c_str(), &v6) == 1) {
        if (IN6_IS_ADDR_LOOPBACK(&v6)) return true;
        return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
    }
    return false;
}

bool isPrivateAddress(const in_addr& address) {
    const std::uint32_t a = ntohl(address.s_addr);
    const auto in = [a](std::uint32_t net, int bits) {
        return (a >> (32 - bits)) == net >> (32 - bits);
    };
    return in(0x00000000, 8) || in(0x0A000000, 8) || in(0x7F000000, 8) || in(0xA9FE0000, 16) ||
           in(0xAC100000, 12) || in(0xC0A80000, 16) || in(0x64400000, 10);
}

bool isPrivateAddress(const in6_addr& address) {
    if (IN6_IS_ADDR_V4MAPPED(&address)) {
        in_addr v4{};
        std::memcpy(&v4.s_addr, address.s6_addr + 12, 4);
        return isPrivateAddress(v4);
    }
    const std::uint8_t first = address.s6_addr[0], second = address.s6_addr[1];
    return IN6_IS_ADDR_UNSPECIFIED(&address) || IN6_IS_ADDR_LOOPBACK(&address) ||
           (first == 0xfe && (second & 0xc0) == 0x80) || (first & 0xfe) == 0xfc;
}

bool isPrivateHost(std::string_view host) {
    const std::string h = lower(host);
    if (h == "localhost") return true;
    in_addr v4{};
    if (inet_pton(AF_INET, h.c_str(), &v4) == 1) return isPrivateAddress(v4);
    in6_addr v6{};
    return inet_pton(AF_INET6, h.c_str(), &v6) == 1 && isPrivateAddress(v6);
}

bool HttpUrl::isLoopback() const { return isLoopbackHost(host); }

std::string HttpUrl::hostForHeader() const {
    return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

std::string HttpUrl::text() const {
    return scheme + "://" + hostForHeader() + ":" + std::to_string(port) + path;
}

std::optional<HttpUrl> parseHttpUrl(std::string_view text, std::string& error) {
    if (text.size() > kMaxUrlBytes) {
        error = "the address is too long";
        return std::nullopt;
    }
    for (char c : text) {
        if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7F) {
            error = "the address holds spaces or characters outside ASCII";
            return std::nullopt;
        }
    }
    const auto schemeEnd = text.find("://");
    if (schemeEnd == std::string_view::npos) {
        error = "the address is not an absolute http(s) address";
        return std::nullopt;
    }
    HttpUrl url;
    url.scheme = lower(text.substr(0, schemeEnd));
    if (url.scheme != "http" && url.scheme != "https") {
        error = "the address's scheme is neither http nor https";
        return std::nullopt;
    }
    auto rest = text.substr(schemeEnd + 3);
    if (rest.find('#') != std::string_view::npos) rest = rest.substr(0, rest.find('#'));
    const auto pathStart = rest.find_first_of("/?");
    const auto authority = rest.substr(0, pathStart);
    if (authority.find('@') != std::string_view::npos) {
        error = "the address holds a user name";
        return std::nullopt;
    }
    if (!splitAuthority(authority, url.scheme == "https" ? 443 : 80, url.host, url.port)) {
        error = "the address has no usable host or port";
        return std::nullopt;
    }
    if (pathStart != std::string_view::npos) {
        url.path = std::string(rest.substr(pathStart));
        if (url.path.front() == '?') url.path.insert(url.path.begin(), '/');
    }
    return url;
}

}  // namespace lirra::server::net
