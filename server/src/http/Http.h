// SPDX-License-Identifier: GPL-3.0-or-later
// The service's own request and response types; libmicrohttpd stays inside HttpAdapter.cpp.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lirra::server {

// Whose data the request works on: set before the handler runs; 1 is the one learner of a service
// without accounts.
inline constexpr std::int64_t kImplicitLearner = 1;

struct HttpRequest {
    std::string method;
    std::string path;                            // decoded path, e.g. "/Player/Home"
    std::map<std::string, std::string> query;    // first value of each name
    std::map<std::string, std::string> headers;  // names in lower case
    std::vector<std::string> pathParams;         // the route pattern's captures
    std::string body;
    std::string remoteAddress;
    std::int64_t learner = kImplicitLearner;

    std::string header(const std::string& lowerName) const;
    const std::string* queryValue(const std::string& name) const;
};

struct HttpResponse {
    int status = 200;
    std::string contentType = "text/plain; charset=utf-8";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;

    static HttpResponse text(int status, std::string body);
    static HttpResponse html(std::string body);
    static HttpResponse jsonText(int status, std::string json);
    // {"error": message}, with the status telling what kind of failure it was.
    static HttpResponse error(int status, std::string_view message);
    static HttpResponse redirect(std::string location);
};

using Handler = std::function<HttpResponse(const HttpRequest&)>;

struct Route {
    std::string method;   // "GET", "POST", "PUT" or "DELETE"
    std::string pattern;  // ECMAScript regex over the whole path; captures become pathParams
    std::size_t maxBodyBytes = 0;
    Handler handler;
};

}  // namespace lirra::server
