// SPDX-License-Identifier: GPL-3.0-or-later
#include "http/RequestGuard.h"

#include <cctype>

#include "http/Cookies.h"
#include "subtitles/Text.h"

namespace lirra::server {
namespace {

bool isNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.';
}

bool isV6Char(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
}

// The authority of an absolute-form target ("http://host:port/path"); none for another form.
std::optional<std::string_view> absoluteAuthority(std::string_view target) {
    const auto scheme = target.find("://");
    if (scheme == std::string_view::npos || target.front() == '/') return std::nullopt;
    target.remove_prefix(scheme + 3);
    return target.substr(0, target.find_first_of("/?#"));
}

HttpResponse refusal(int status, std::string_view message) {
    return HttpResponse::error(status, message);
}

}  // namespace

std::optional<Authority> parseAuthority(std::string_view text) {
    if (text.empty() || text.size() > 255) return std::nullopt;
    Authority authority;
    std::string_view rest;
    if (text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string_view::npos || close < 3) return std::nullopt;
        for (char c : text.substr(1, close - 1)) {
            if (!isV6Char(c)) return std::nullopt;
        }
        authority.name = asciiLower(text.substr(0, close + 1));
        rest = text.substr(close + 1);
    } else {
        const auto colon = text.find(':');
        const auto name = text.substr(0, colon);
        if (name.empty()) return std::nullopt;
        for (char c : name) {
            if (!isNameChar(c)) return std::nullopt;
        }
        authority.name = asciiLower(name);
        rest = colon == std::string_view::npos ? std::string_view{} : text.substr(colon);
    }
    if (rest.empty()) return authority;
    if (rest.front() != ':') return std::nullopt;
    const auto port = parseDecimal(rest.substr(1), 65535);
    if (!port || *port == 0) return std::nullopt;
    authority.port = static_cast<std::uint16_t>(*port);
    return authority;
}

bool sameSecret(std::string_view given, std::string_view secret) {
    if (given.size() != secret.size()) return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < secret.size(); ++i) difference |= given[i] ^ secret[i];
    return difference == 0;
}

RequestGuard::RequestGuard(std::vector<ServedName> served, std::string fallbackOrigin,
                           SecretCheck secret)
    : served_(std::move(served)),
      fallbackOrigin_(asciiLower(fallbackOrigin)),
      secret_(std::move(secret)) {
    secret_.headerName = asciiLower(secret_.headerName);
}

bool RequestGuard::carriesSecret(const RequestHead& request) const {
    bool found = false;  // every value is compared, so the time tells nothing of which matched
    for (const auto& [name, value] : request.headers) {
        if (name == secret_.headerName) found |= sameSecret(value, secret_.value);
        if (name != "cookie") continue;
        for (const auto& [cookie, text] : cookiePairs(value)) {
            if (cookie == secret_.cookieName) found |= sameSecret(text, secret_.value);
        }
    }
    return found;
}

bool RequestGuard::serves(const Authority& authority) const {
    for (const auto& served : served_) {
        if (served.name != authority.name) continue;
        if (authority.port ? *authority.port == served.port
                           : served.alsoWithoutPort || served.port == 80) {
            return true;
        }
    }
    return false;
}

std::optional<HttpResponse> RequestGuard::check(const RequestHead& request) const {
    // Before anything else, so that a stranger learns nothing of what is served.
    if (!secret_.value.empty() && !carriesSecret(request)) {
        return refusal(401, "this service answers only the Lirra that started it");
    }
    if (request.hosts.size() > 1) return refusal(400, "the request has more than one Host header");
    if (request.origins.size() > 1) {
        return refusal(400, "the request has more than one Origin header");
    }
    // An absolute target names the host itself, and that name is the one served.
    std::optional<std::string_view> host;
    if (const auto authority = absoluteAuthority(request.target)) {
        host = *authority;
    } else if (!request.hosts.empty() && !request.hosts.front().empty()) {  // "Host:" names none
        host = request.hosts.front();
    }
    std::optional<Authority> authority;
    if (host) authority = parseAuthority(*host);
    if (!served_.empty()) {
        if (!host) return refusal(400, "the request names no host");
        if (!authority || !serves(*authority)) {
            return refusal(421, "this service does not answer to that host name");
        }
    }
    if (request.method == "OPTIONS") {
        auto response = refusal(405, "OPTIONS requests are not served");
        response.headers.emplace_back("Allow", "GET, HEAD, POST");
        return response;
    }
    if (!request.origins.empty()) {
        // The pages are served from the service's own origin: the scheme and the host the
        // request was sent to. "null" and every other origin are someone else's page.
        const std::string own = host ? "http://" + asciiLower(*host) : fallbackOrigin_;
        if (asciiLower(request.origins.front()) != own) {
            return refusal(403, "requests from other web pages are refused");
        }
    }
    return std::nullopt;
}

}  // namespace lirra::server
