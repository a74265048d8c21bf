// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/AccountPages.h"

#include <algorithm>

#include "accounts/Accounts.h"
#include "http/Form.h"
#include "service/HandlerSupport.h"
#include "service/Pages.h"
#include "subtitles/Text.h"

namespace lirra::server {
namespace {

using accounts::AccountAnswer;
using accounts::AccountsMode;
using accounts::Outcome;

constexpr char kHome[] = "/Player/Home";

bool accountsOff(const ServiceContext& context) {
    return !context.accounts || context.accounts->mode() == AccountsMode::Off;
}

// Where to go after signing in: a path of this service only, never another site's.
std::string nextPath(const std::string* given) {
    if (!given || given->size() < 1 || given->size() > 2048 || (*given)[0] != '/' ||
        (given->size() > 1 && ((*given)[1] == '/' || (*given)[1] == '\\')))
        return kHome;
    for (const unsigned char c : *given) {
        if (c < 0x20 || c == 0x7f || c == '\\') return kHome;
    }
    return *given;
}

std::string htmlAttribute(const std::string& text) {
    std::string out;
    for (const char c : text) appendHtmlEscaped(out, c);
    return out;
}

// account.html with one of its sections and messages shown: the page's style shows what the
// body's classes name, so no script is needed.
HttpResponse view(const std::string& section, const std::string& message, const std::string& next,
                  int status = 200) {
    HttpResponse response = page("account.html");
    if (response.status != 200) return response;
    auto replace = [&](const std::string& from, const std::string& to) {
        for (auto at = response.body.find(from); at != std::string::npos;
             at = response.body.find(from, at + to.size()))
            response.body.replace(at, from.size(), to);
    };
    replace("<body class=\"account\">", "<body class=\"account view-" + section +
                                            (message.empty() ? "" : " show-" + message) + "\">");
    replace("name=\"next\" value=\"/Player/Home\"",
            "name=\"next\" value=\"" + htmlAttribute(next) + "\"");
    response.status = status;
    return response;
}

const char* messageOf(Outcome outcome) {
    switch (outcome) {
        case Outcome::Refused:
            return "refused";
        case Outcome::Taken:
            return "taken";
        case Outcome::Throttled:
            return "throttled";
        case Outcome::BadName:
            return "bad-name";
        case Outcome::BadPassword:
            return "bad-password";
        case Outcome::Done:
            break;
    }
    return "";
}

int statusOf(Outcome outcome) {
    switch (outcome) {
        case Outcome::Refused:
            return 401;
        case Outcome::Taken:
            return 409;
        case Outcome::Throttled:
            return 429;
        case Outcome::BadName:
        case Outcome::BadPassword:
            return 400;
        case Outcome::Done:
            break;
    }
    return 200;
}

// A form's answer: on to `next` when it was done, else the same page saying why.
HttpResponse formAnswer(const std::string& section, StoreStatus status, const std::string& error,
                        const AccountAnswer& answer, const std::string& next) {
    if (status != StoreStatus::Ok) return storeFailure(error);
    HttpResponse response =
        answer.outcome == Outcome::Done
            ? HttpResponse::redirect(next)
            : view(section, messageOf(answer.outcome), next, statusOf(answer.outcome));
    if (answer.outcome == Outcome::Done) response.status = 303;
    if (!answer.setCookie.empty()) response.headers.emplace_back("Set-Cookie", answer.setCookie);
    return response;
}

struct Posted {
    Form form;
    std::string field(const char* name) const {
        const auto found = form.fields.find(name);
        return found == form.fields.end() ? std::string() : found->second;
    }
    std::string next() const {
        const auto found = form.fields.find("next");
        return nextPath(found == form.fields.end() ? nullptr : &found->second);
    }
};

// The posted form, or why it cannot be taken.
std::optional<HttpResponse> readForm(const ServiceContext& context, const HttpRequest& request,
                                     Posted& posted) {
    if (accountsOff(context)) return HttpResponse::error(404, "accounts are off");
    if (mediaType(request) != "application/x-www-form-urlencoded")
        return HttpResponse::error(415, "expected application/x-www-form-urlencoded");
    posted.form = parseForm(request.body);
    if (!posted.form.error.empty()) return HttpResponse::error(400, posted.form.error);
    return std::nullopt;
}

// A form's route: the form read, `act(posted, answer, error)` done, and the page answered; on to
// `next`, or where the form says when it is null.
template <class Act>
HttpResponse posted(const ServiceContext& context, const HttpRequest& request, const char* section,
                    const char* next, Act act) {
    Posted form;
    if (auto refusal = readForm(context, request, form)) return *refusal;
    AccountAnswer answer;
    std::string error;
    const StoreStatus status = act(form, answer, error);
    return formAnswer(section, status, error, answer, next ? std::string(next) : form.next());
}

bool namedAccount(const ServiceContext& context, const HttpRequest& request, Learner& learner,
                  StoreStatus& status, std::string& error) {
    status = context.accounts->account(request, learner, error);
    return status == StoreStatus::Ok && !learner.name.empty();
}

std::string percentEncoded(const std::string& text) {
    std::string out;
    for (const unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            out += char(c);
        } else {
            out += '%';
            out += "0123456789ABCDEF"[c >> 4];
            out += "0123456789ABCDEF"[c & 15];
        }
    }
    return out;
}

HttpResponse toSignIn(const std::string& next) {
    HttpResponse response = HttpResponse::redirect("/Account/SignIn?next=" + percentEncoded(next));
    response.status = 303;
    return response;
}

}  // namespace

HttpResponse registerPage(const ServiceContext& context, const HttpRequest& request) {
    if (accountsOff(context)) return page("register.html");
    return view("register", "", nextPath(request.queryValue("next")));
}

HttpResponse signInPage(const ServiceContext& context, const HttpRequest& request) {
    if (accountsOff(context)) return page("register.html");
    return view("signin", "", nextPath(request.queryValue("next")));
}

HttpResponse accountPage(const ServiceContext& context, const HttpRequest& request) {
    if (accountsOff(context)) return page("register.html");
    Learner learner;
    StoreStatus status;
    std::string error;
    if (namedAccount(context, request, learner, status, error))
        return view("account", request.queryValue("changed") ? "changed" : "", kHome);
    if (status == StoreStatus::Failed) return storeFailure(error);
    return toSignIn("/Account");
}

HttpResponse registerAccount(const ServiceContext& context, const HttpRequest& request) {
    return posted(context, request, "register", nullptr, [&](const Posted& p, auto&... out) {
        return context.accounts->registerAccount(request, p.field("name"), p.field("password"),
                                                 out...);
    });
}

HttpResponse signIn(const ServiceContext& context, const HttpRequest& request) {
    return posted(context, request, "signin", nullptr, [&](const Posted& p, auto&... out) {
        return context.accounts->signIn(request, p.field("name"), p.field("password"), out...);
    });
}

HttpResponse signOut(const ServiceContext& context, const HttpRequest& request) {
    return posted(context, request, "signin", "/Account/SignIn", [&](const Posted&, auto&... out) {
        return context.accounts->signOut(request, out...);
    });
}

HttpResponse changePassword(const ServiceContext& context, const HttpRequest& request) {
    return posted(context, request, "account", "/Account?changed=1",
                  [&](const Posted& p, auto&... out) {
                      return context.accounts->changePassword(request, p.field("current"),
                                                              p.field("password"), out...);
                  });
}

HttpResponse deleteAccount(const ServiceContext& context, const HttpRequest& request) {
    return posted(context, request, "account", "/Account/Register",
                  [&](const Posted& p, auto&... out) {
                      return context.accounts->deleteAccount(request, p.field("current"), out...);
                  });
}

HttpResponse accountState(const ServiceContext& context, const HttpRequest& request) {
    static constexpr const char* kModes[] = {"off", "optional", "required"};
    nlohmann::json state = {
        {"mode", kModes[accountsOff(context) ? 0 : int(context.accounts->mode())]},
        {"signedIn", false},
        {"name", ""},
        {"admin", false},
        {"anonymous", false}};
    if (accountsOff(context)) return jsonResponse(200, state);
    Learner learner;
    std::string error;
    const auto status = context.accounts->account(request, learner, error);
    if (status == StoreStatus::Failed) return storeFailure(error);
    if (status == StoreStatus::Ok) {
        state["signedIn"] = !learner.name.empty();
        state["name"] = learner.name;
        state["admin"] = learner.admin;
        state["anonymous"] = learner.anonymous;
    }
    return jsonResponse(200, state);
}

namespace {

enum class Access { Open, Page, App, Api };

Access accessOf(const HttpRequest& request) {
    const std::string& p = request.path;
    if (p == "/Account" || p.starts_with("/Account/") || p.starts_with("/static/") ||
        p.starts_with("/l10n/") || p == "/healthz" || p == "/readyz")
        return Access::Open;
    if (p == "/Player/GetSubtitlesToDownload" || p.starts_with("/Subtitles/")) return Access::App;
    if (p.starts_with("/api/")) return Access::Api;
    return Access::Page;
}

// The path and query the request came for, to come back to after signing in.
std::string target(const HttpRequest& request) {
    std::string text = request.path;
    char separator = '?';
    for (const auto& [name, value] : request.query) {
        text += separator + percentEncoded(name) + "=" + percentEncoded(value);
        separator = '&';
    }
    return text;
}

}  // namespace

HttpResponse accountLayer(const ServiceContext& context, HttpRequest& request,
                          const Handler& handler) {
    const Access access = accessOf(request);
    AccountAnswer visit;
    std::string error;
    if (context.accounts->visit(request, access == Access::Page, visit, error) != StoreStatus::Ok)
        return storeFailure(error);
    request.learner = visit.learner;
    if (request.learner == accounts::kNoLearner && access != Access::Open) {
        // Optional accounts: a client without a session reads what nobody owns and writes
        // nothing of a learner's; the app's own requests work on the shared videos.
        const bool required = context.accounts->mode() == AccountsMode::Required;
        if (required && access == Access::Page) return toSignIn(target(request));
        if (required || (access == Access::Api && request.method != "GET"))
            return HttpResponse::error(401, "sign in first");
    }
    HttpResponse response = handler(request);
    const bool ownCookie =
        std::any_of(response.headers.begin(), response.headers.end(),
                    [](const auto& header) { return header.first == "Set-Cookie"; });
    if (!visit.setCookie.empty() && !ownCookie)
        response.headers.emplace_back("Set-Cookie", visit.setCookie);
    return response;
}

}  // namespace lirra::server
