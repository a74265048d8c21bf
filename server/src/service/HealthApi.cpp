// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/HealthApi.h"

namespace lirra::server {
namespace {

HttpResponse uncached(int status, std::string body) {
    HttpResponse response = HttpResponse::text(status, std::move(body));
    response.headers.emplace_back("Cache-Control", "no-store");
    return response;
}

}  // namespace

// Touches nothing: a slow or locked store must not make a supervisor restart a live process.
HttpResponse health(const ServiceContext&, const HttpRequest&) { return uncached(200, "ok"); }

HttpResponse readiness(const ServiceContext& context, const HttpRequest&) {
    std::string error;
    if (context.store.ready(error) == StoreStatus::Ok) return uncached(200, "ready");
    HttpResponse response = uncached(503, "not ready: " + error);
    response.headers.emplace_back("Retry-After", std::to_string(kReadyRetrySeconds));
    return response;
}

}  // namespace lirra::server
