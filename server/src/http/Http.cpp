// SPDX-License-Identifier: GPL-3.0-or-later
#include "http/Http.h"

#include <nlohmann/json.hpp>

namespace lirra::server {

std::string HttpRequest::header(const std::string& lowerName) const {
    const auto it = headers.find(lowerName);
    return it == headers.end() ? std::string() : it->second;
}

const std::string* HttpRequest::queryValue(const std::string& name) const {
    const auto it = query.find(name);
    return it == query.end() ? nullptr : &it->second;
}

HttpResponse HttpResponse::text(int status, std::string body) {
    HttpResponse r;
    r.status = status;
    r.body = std::move(body);
    return r;
}

HttpResponse HttpResponse::html(std::string body) {
    HttpResponse r;
    r.contentType = "text/html; charset=utf-8";
    r.body = std::move(body);
    // A page runs only the service's own scripts, is never framed by another page (no
    // clickjacking of the learner's settings) and tells no other site where it was.
    r.headers.emplace_back("Content-Security-Policy", "script-src 'self'; frame-ancestors 'none'");
    r.headers.emplace_back("X-Frame-Options", "DENY");
    r.headers.emplace_back("Referrer-Policy", "no-referrer");
    return r;
}

HttpResponse HttpResponse::jsonText(int status, std::string json) {
    HttpResponse r;
    r.status = status;
    r.contentType = "application/json; charset=utf-8";
    r.body = std::move(json);
    return r;
}

HttpResponse HttpResponse::error(int status, std::string_view message) {
    const nlohmann::json body = {{"error", std::string(message)}};
    return jsonText(status, body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

HttpResponse HttpResponse::redirect(std::string location) {
    HttpResponse r;
    r.status = 302;
    r.headers.emplace_back("Location", std::move(location));
    return r;
}

}  // namespace lirra::server
