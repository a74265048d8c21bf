// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/AdminApi.h"

#include "accounts/Accounts.h"
#include "service/HandlerSupport.h"
#include "service/Pages.h"

namespace lirra::server {
namespace {

bool accountsOn(const ServiceContext& context) {
    return context.accounts && context.accounts->mode() != accounts::AccountsMode::Off;
}

// The refusal of an admin route: with accounts off there is no administrator at all.
std::optional<HttpResponse> refusal(const ServiceContext& context, const HttpRequest& request) {
    if (!accountsOn(context)) return HttpResponse::error(404, "accounts are off");
    return adminRefusal(context, request);
}

// The JSON body's member `name` of type `is`, or why not.
template <class Check>
std::optional<HttpResponse> member(const HttpRequest& request, const char* name, Check is,
                                   nlohmann::json& value) {
    if (mediaType(request) != "application/json")
        return HttpResponse::error(415, "expected application/json");
    const auto body = nlohmann::json::parse(request.body, nullptr, false);
    if (!body.is_object() || !body.contains(name) || !is(body[name]))
        return HttpResponse::error(400, std::string("expected {\"") + name + "\": ...}");
    value = body[name];
    return std::nullopt;
}

HttpResponse changed(StoreStatus status, const std::string& error) {
    if (status == StoreStatus::NotFound) return HttpResponse::error(404, "no such learner");
    if (status != StoreStatus::Ok) return storeFailure(error);
    return HttpResponse::text(204, "");
}

}  // namespace

std::optional<HttpResponse> adminRefusal(const ServiceContext& context,
                                         const HttpRequest& request) {
    if (!accountsOn(context)) return std::nullopt;
    Learner learner;
    std::string error;
    const auto status = context.accounts->account(request, learner, error);
    if (status == StoreStatus::Failed) return storeFailure(error);
    if (status == StoreStatus::NotFound || learner.name.empty())
        return HttpResponse::error(401, "sign in first");
    if (!learner.admin) return HttpResponse::error(403, "administrators only");
    return std::nullopt;
}

HttpResponse adminPage(const ServiceContext& context, const HttpRequest& request) {
    if (auto refused = refusal(context, request)) return *refused;
    return page("admin.html");
}

HttpResponse adminLearners(const ServiceContext& context, const HttpRequest& request) {
    if (auto refused = refusal(context, request)) return *refused;
    std::vector<Learner> learners;
    std::string error;
    if (context.store.namedLearners(learners, error) != StoreStatus::Ok) return storeFailure(error);
    nlohmann::json list = nlohmann::json::array();
    for (const auto& l : learners) {
        list.push_back({{"id", l.id},
                        {"name", l.name},
                        {"admin", l.admin},
                        {"disabled", l.disabled},
                        {"createdAt", l.createdAt},
                        {"lastSeenMs", l.lastSeenMs}});
    }
    return jsonResponse(200, {{"learners", list}});
}

HttpResponse adminSetPassword(const ServiceContext& context, const HttpRequest& request) {
    if (auto refused = refusal(context, request)) return *refused;
    const auto id = idParam(request.pathParams.at(0));
    if (!id) return HttpResponse::error(404, "no such learner");
    nlohmann::json password;
    if (auto bad = member(
            request, "password", [](const auto& v) { return v.is_string(); }, password))
        return *bad;
    accounts::AccountAnswer answer;
    std::string error;
    const auto status =
        context.accounts->resetPassword(*id, password.get<std::string>(), answer, error);
    if (status == StoreStatus::Ok && answer.outcome == accounts::Outcome::BadPassword)
        return HttpResponse::error(400, "a password is 8 to 1024 bytes");
    return changed(status, error);
}

HttpResponse adminSetDisabled(const ServiceContext& context, const HttpRequest& request) {
    if (auto refused = refusal(context, request)) return *refused;
    const auto id = idParam(request.pathParams.at(0));
    if (!id) return HttpResponse::error(404, "no such learner");
    nlohmann::json disabled;
    if (auto bad = member(
            request, "disabled", [](const auto& v) { return v.is_boolean(); }, disabled))
        return *bad;
    // An administrator who locked themselves out would need the command line to get back in.
    if (*id == request.learner && disabled.get<bool>())
        return HttpResponse::error(409, "you cannot disable your own account");
    std::string error;
    return changed(context.accounts->setDisabled(*id, disabled.get<bool>(), error), error);
}

HttpResponse adminFigures(const ServiceContext& context, const HttpRequest& request) {
    if (auto refused = refusal(context, request)) return *refused;
    ServiceFigures f;
    std::string error;
    if (context.store.serviceFigures(f, error) != StoreStatus::Ok) return storeFailure(error);
    return jsonResponse(200, {{"accounts", f.accounts},
                              {"anonymous", f.anonymous},
                              {"sessions", f.sessions},
                              {"videos", f.videos},
                              {"subtitles", f.subtitles}});
}

}  // namespace lirra::server
