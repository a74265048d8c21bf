// SPDX-License-Identifier: GPL-3.0-or-later
#include "ApiUrl.h"

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
    if (root.isLoopback() != moved.isLoopback()) return root;
    return moved;
}

bool acceptableLink(const ApiUrl& link, const ApiUrl& root, int selfPort, std::string& reason) {
    if (link.isLoopback() && !root.isLoopback()) {
        reason = "the link points at this machine";
        return false;
    }
    if (link.isLoopback() && selfPort != 0 && link.port == selfPort) {
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
