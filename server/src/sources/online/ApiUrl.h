// Addresses the online source talks to, and the rules for them: the database over HTTPS; plain
// http only for a configured address on this machine (tests, a local mirror); download links
// only over http(s) and never back to this service.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lirra::server::online {

inline constexpr char kDefaultApiUrl[] = "https://api.opensubtitles.com/api/v1";

struct ApiUrl {
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

// An absolute http(s) URL without user information or fragment; nothing with `error` set.
std::optional<ApiUrl> parseHttpUrl(std::string_view text, std::string& error);

// The API's root as configured: https anywhere, http only on loopback.
std::optional<ApiUrl> parseApiRoot(std::string_view text, std::string& error);

// The root after a login answered `baseUrl` (a host, "host:port" or "https://host"): the same
// scheme and path on that host. A root on loopback stays where it is unless `baseUrl` is on
// loopback too, so a test or mirror setup never sends the key elsewhere; anything malformed
// leaves the root as it was.
ApiUrl withBaseUrl(const ApiUrl& root, std::string_view baseUrl);

// Whether a download link may be followed or handed on. `root` is the API's root, `selfPort`
// this service's port (0 if unknown). The reason is set when it may not.
bool acceptableLink(const ApiUrl& link, const ApiUrl& root, int selfPort, std::string& reason);

// A query value: letters, digits and "-._~," as they are, space as "+", the rest as %XX.
std::string queryEncode(std::string_view value);

}  // namespace lirra::server::online
