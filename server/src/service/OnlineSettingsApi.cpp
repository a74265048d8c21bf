// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/OnlineSettingsApi.h"

#include "service/AdminApi.h"
#include "service/HandlerSupport.h"
#include "sources/online/OnlineSource.h"

namespace lirra::server {

// The key is the service's, not a learner's: with accounts on only an administrator sees it.
HttpResponse onlineSettings(const ServiceContext& context, const HttpRequest& request) {
    if (auto refused = adminRefusal(context, request)) return *refused;
    if (!context.online) return HttpResponse::error(503, "the online source is not running");
    return jsonResponse(200, context.online->settings());
}

HttpResponse saveOnlineSettings(const ServiceContext& context, const HttpRequest& request) {
    if (auto refused = adminRefusal(context, request)) return *refused;
    if (!context.online) return HttpResponse::error(503, "the online source is not running");
    if (mediaType(request) != "application/json") {
        return HttpResponse::error(415, "expected application/json");
    }
    const auto body = nlohmann::json::parse(request.body, nullptr, false);
    if (body.is_discarded()) return HttpResponse::error(400, "the body is not JSON");
    if (const auto refusal = context.online->applySettings(body)) {
        return HttpResponse::error(refusal->status, refusal->reason);
    }
    return jsonResponse(200, context.online->settings());
}

}  // namespace lirra::server
