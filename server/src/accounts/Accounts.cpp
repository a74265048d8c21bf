// SPDX-License-Identifier: GPL-3.0-or-later
#include "accounts/Accounts.h"

#include "accounts/Password.h"
#include "accounts/SessionToken.h"
#include "http/Cookies.h"

namespace lirra::server::accounts {
namespace {

// Behind a TLS proxy the cookie must never travel in the clear. Only the client itself can make
// the header lie, and a Secure cookie over plain HTTP only keeps its own session from working.
bool overTls(const HttpRequest& request) { return request.header("x-forwarded-proto") == "https"; }

std::string cookie(const HttpRequest& request, const std::string& value, std::int64_t maxAgeS) {
    return std::string(kSessionCookie) + "=" + value +
           "; Path=/; Max-Age=" + std::to_string(maxAgeS) + "; HttpOnly; SameSite=Lax" +
           (overTls(request) ? "; Secure" : "");
}

std::string endedCookie(const HttpRequest& request) { return cookie(request, "", 0); }

// The session token the request's cookie holds; empty without one.
std::string sessionToken(const HttpRequest& request) {
    const std::string header = request.header("cookie");
    for (const auto& [name, value] : cookiePairs(header)) {
        if (name == kSessionCookie) return std::string(value);
    }
    return {};
}

// An outcome that is the caller's to answer, not a failure of the store.
StoreStatus answered(AccountAnswer& answer, Outcome outcome) {
    answer.outcome = outcome;
    return StoreStatus::Ok;
}

}  // namespace

std::optional<AccountsMode> parseAccountsMode(std::string_view text) {
    if (text == "off") return AccountsMode::Off;
    if (text == "optional") return AccountsMode::Optional;
    if (text == "required") return AccountsMode::Required;
    return std::nullopt;
}

std::optional<std::string> accountName(std::string_view text) {
    if (text.empty() || text.size() > 64) return std::nullopt;
    std::string name;
    for (char c : text) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                             c == '_' || c == '@' || c == '-';
        if (!allowed) return std::nullopt;
        name += c;
    }
    return name;
}

bool acceptablePassword(std::string_view password) {
    return password.size() >= kMinPasswordBytes && password.size() <= kMaxPasswordBytes;
}

StoreStatus createAccount(Store& store, const std::string& name, const std::string& password,
                          bool admin, AccountAnswer& answer, std::string& error) {
    const auto named = accountName(name);
    if (!named) return answered(answer, Outcome::BadName);
    if (!acceptablePassword(password)) return answered(answer, Outcome::BadPassword);
    const std::string hash = hashPassword(password);
    if (hash.empty()) {
        error = "cannot hash the password";
        return StoreStatus::Failed;
    }
    bool taken = false;
    const auto status = store.createLearner(*named, hash, admin, answer.learner, taken, error);
    if (status == StoreStatus::Ok && taken) return answered(answer, Outcome::Taken);
    return status;
}

StoreStatus Accounts::visit(const HttpRequest& request, bool page, AccountAnswer& answer,
                            std::string& error) const {
    answer.learner = mode_ == AccountsMode::Off ? kImplicitLearner : kNoLearner;
    if (mode_ == AccountsMode::Off) return StoreStatus::Ok;
    if (const std::string token = sessionToken(request); !token.empty()) {
        Learner learner;
        const auto status = store_.useSession(sessionTokenHash(token), kSessionLifetimeMs,
                                              kSessionTouchMs, learner, error);
        if (status == StoreStatus::Failed) return status;
        if (status == StoreStatus::Ok) {
            answer.learner = learner.id;
            // The expiry slides in the browser too: a page visit renews the cookie's lifetime
            // as the store renews the session's, or the cookie would end 30 days after sign-in.
            if (page) answer.setCookie = cookie(request, token, kSessionLifetimeMs / 1000);
            return StoreStatus::Ok;
        }
    }
    if (!page || mode_ != AccountsMode::Optional) return StoreStatus::Ok;
    std::int64_t id = 0;
    if (auto status = store_.createAnonymousLearner(id, error); status != StoreStatus::Ok)
        return status;
    return startSession(request, id, answer, error);
}

StoreStatus Accounts::account(const HttpRequest& request, Learner& learner,
                              std::string& error) const {
    if (request.learner == kNoLearner) return StoreStatus::NotFound;
    return store_.learnerById(request.learner, learner, error);
}

StoreStatus Accounts::startSession(const HttpRequest& request, std::int64_t learner,
                                   AccountAnswer& answer, std::string& error) const {
    const SessionToken token = newSessionToken();
    if (token.text.empty()) {
        error = "the system's random source failed";
        return StoreStatus::Failed;
    }
    if (auto status = store_.createSession(token.hash, learner, kSessionLifetimeMs, error);
        status != StoreStatus::Ok)
        return status;
    answer.learner = learner;
    answer.setCookie = cookie(request, token.text, kSessionLifetimeMs / 1000);
    return StoreStatus::Ok;
}

StoreStatus Accounts::signIn(const HttpRequest& request, const std::string& name,
                             const std::string& password, AccountAnswer& answer,
                             std::string& error) const {
    // A name no account could have is counted and answered as an unknown one.
    const std::string key = accountName(name).value_or(name.substr(0, 64));
    bool allowed = false;
    if (auto s = throttle_.allows(key, request.remoteAddress, allowed, error); s != StoreStatus::Ok)
        return s;
    if (!allowed) return answered(answer, Outcome::Throttled);
    Learner learner;
    const auto found = store_.learnerByName(key, learner, error);
    if (found == StoreStatus::Failed) return found;
    bool good = false;
    if (found == StoreStatus::NotFound) {
        verifyNothing(password);
    } else {
        good = verifyPassword(learner.passwordHash, password) && !learner.disabled;
    }
    if (!good) {
        if (auto s = throttle_.failed(key, request.remoteAddress, error); s != StoreStatus::Ok)
            return s;
        return answered(answer, Outcome::Refused);
    }
    if (auto s = throttle_.succeeded(key, error); s != StoreStatus::Ok) return s;
    // Hashes made under older limits are brought up to today's while the password is at hand.
    if (needsRehash(learner.passwordHash)) {
        const std::string hash = hashPassword(password);
        if (!hash.empty()) {
            if (auto s = store_.setPasswordHash(learner.id, hash, error); s != StoreStatus::Ok)
                return s;
        }
    }
    if (auto s = signOut(request, answer, error); s != StoreStatus::Ok) return s;
    return startSession(request, learner.id, answer, error);
}

StoreStatus Accounts::registerAccount(const HttpRequest& request, const std::string& name,
                                      const std::string& password, AccountAnswer& answer,
                                      std::string& error) const {
    const auto named = accountName(name);
    if (!named) return answered(answer, Outcome::BadName);
    if (!acceptablePassword(password)) return answered(answer, Outcome::BadPassword);
    bool allowed = false;
    if (auto s = throttle_.registration(request.remoteAddress, allowed, error);
        s != StoreStatus::Ok)
        return s;
    if (!allowed) return answered(answer, Outcome::Throttled);
    Learner current;
    const auto found = account(request, current, error);
    if (found == StoreStatus::Failed) return found;
    std::int64_t id = kNoLearner;
    if (found == StoreStatus::Ok && current.anonymous) {
        const std::string hash = hashPassword(password);
        if (hash.empty()) {
            error = "cannot hash the password";
            return StoreStatus::Failed;
        }
        bool taken = false;
        if (auto s = store_.nameLearner(current.id, *named, hash, taken, error);
            s != StoreStatus::Ok)
            return s;
        if (taken) return answered(answer, Outcome::Taken);
        id = current.id;
    } else {
        if (auto s = createAccount(store_, *named, password, false, answer, error);
            s != StoreStatus::Ok || answer.outcome != Outcome::Done)
            return s;
        id = answer.learner;
    }
    // A new token for the new account: one a visitor was given before cannot follow it.
    if (auto s = signOut(request, answer, error); s != StoreStatus::Ok) return s;
    return startSession(request, id, answer, error);
}

StoreStatus Accounts::confirm(const HttpRequest& request, const std::string& password,
                              Learner& learner, AccountAnswer& answer, std::string& error) const {
    const auto found = account(request, learner, error);
    if (found == StoreStatus::Failed) return found;
    if (found == StoreStatus::NotFound || learner.name.empty())
        return answered(answer, Outcome::Refused);
    bool allowed = false;
    if (auto s = throttle_.allows(learner.name, request.remoteAddress, allowed, error);
        s != StoreStatus::Ok)
        return s;
    if (!allowed) return answered(answer, Outcome::Throttled);
    if (!verifyPassword(learner.passwordHash, password)) {
        if (auto s = throttle_.failed(learner.name, request.remoteAddress, error);
            s != StoreStatus::Ok)
            return s;
        return answered(answer, Outcome::Refused);
    }
    return answered(answer, Outcome::Done);
}

StoreStatus Accounts::changePassword(const HttpRequest& request, const std::string& current,
                                     const std::string& fresh, AccountAnswer& answer,
                                     std::string& error) const {
    if (!acceptablePassword(fresh)) return answered(answer, Outcome::BadPassword);
    Learner learner;
    if (auto s = confirm(request, current, learner, answer, error);
        s != StoreStatus::Ok || answer.outcome != Outcome::Done)
        return s;
    if (auto s = resetPassword(learner.id, fresh, answer, error);
        s != StoreStatus::Ok || answer.outcome != Outcome::Done)
        return s;
    return startSession(request, learner.id, answer, error);
}

StoreStatus Accounts::deleteAccount(const HttpRequest& request, const std::string& current,
                                    AccountAnswer& answer, std::string& error) const {
    Learner learner;
    if (auto s = confirm(request, current, learner, answer, error);
        s != StoreStatus::Ok || answer.outcome != Outcome::Done)
        return s;
    if (auto s = store_.deleteSessions(learner.id, error); s != StoreStatus::Ok) return s;
    if (auto s = store_.deleteLearner(learner.id, error); s != StoreStatus::Ok) return s;
    answer.learner = kNoLearner;
    answer.setCookie = endedCookie(request);
    return StoreStatus::Ok;
}

StoreStatus Accounts::signOut(const HttpRequest& request, AccountAnswer& answer,
                              std::string& error) const {
    answer.setCookie = endedCookie(request);
    const std::string token = sessionToken(request);
    return token.empty() ? StoreStatus::Ok : store_.deleteSession(sessionTokenHash(token), error);
}

StoreStatus Accounts::resetPassword(std::int64_t learner, const std::string& password,
                                    AccountAnswer& answer, std::string& error) const {
    if (!acceptablePassword(password)) return answered(answer, Outcome::BadPassword);
    const std::string hash = hashPassword(password);
    if (hash.empty()) {
        error = "cannot hash the password";
        return StoreStatus::Failed;
    }
    if (auto s = store_.setPasswordHash(learner, hash, error); s != StoreStatus::Ok) return s;
    if (auto s = store_.deleteSessions(learner, error); s != StoreStatus::Ok) return s;
    return answered(answer, Outcome::Done);
}

StoreStatus Accounts::setDisabled(std::int64_t learner, bool disabled, std::string& error) const {
    if (auto s = store_.setLearnerDisabled(learner, disabled, error); s != StoreStatus::Ok)
        return s;
    return disabled ? store_.deleteSessions(learner, error) : StoreStatus::Ok;
}

}  // namespace lirra::server::accounts
