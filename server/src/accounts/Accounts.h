// SPDX-License-Identifier: GPL-3.0-or-later
// Accounts and sessions: who a request's learner is, and what the account pages do. Every
// answer of the store comes back as its status (with the reason in `error`); the handlers turn
// a failure into the service's answer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "accounts/SigninThrottle.h"
#include "http/Http.h"
#include "store/Store.h"

namespace lirra::server::accounts {

enum class AccountsMode { Off, Optional, Required };
std::optional<AccountsMode> parseAccountsMode(std::string_view text);  // "off", "optional", ...

// The learner of a request that has none (no session): it reads nothing and writes nothing.
inline constexpr std::int64_t kNoLearner = 0;
inline constexpr char kSessionCookie[] = "lirra_session";
inline constexpr std::int64_t kSessionLifetimeMs = 30LL * 24 * 60 * 60 * 1000;
// A session's expiry slides forward when it is used at least this long after its last use.
inline constexpr std::int64_t kSessionTouchMs = 60 * 1000;
inline constexpr std::size_t kMinPasswordBytes = 8;
inline constexpr std::size_t kMaxPasswordBytes = 1024;

// A name as accounts keep it (ASCII lower case), or none: 1 to 64 letters, digits and ._@-.
std::optional<std::string> accountName(std::string_view text);
bool acceptablePassword(std::string_view password);

enum class Outcome {
    Done,
    Refused,    // wrong name or password, said alike
    Taken,      // the name is someone's already
    Throttled,  // too many tries
    BadName,
    BadPassword,  // too short or too long
};

struct AccountAnswer {
    Outcome outcome = Outcome::Done;
    std::int64_t learner = kNoLearner;
    std::string setCookie;  // a Set-Cookie value to send with the answer, when not empty
};

// A named account from the command line or a registration: hashed, stored, the first one taking
// over the service's existing data.
StoreStatus createAccount(Store& store, const std::string& name, const std::string& password,
                          bool admin, AccountAnswer& answer, std::string& error);

class Accounts {
  public:
    Accounts(Store& store, AccountsMode mode, ThrottleLimits limits = {})
        : store_(store), mode_(mode), throttle_(store, limits) {}

    AccountsMode mode() const { return mode_; }

    // Whose request it is: learner 1 with accounts off, else its session's learner or none. A
    // `page` visit without a session, with accounts optional, makes an anonymous learner and
    // their session (the answer's setCookie).
    StoreStatus visit(const HttpRequest& request, bool page, AccountAnswer& answer,
                      std::string& error) const;
    // The request's learner's row; NotFound when it has none.
    StoreStatus account(const HttpRequest& request, Learner& learner, std::string& error) const;

    StoreStatus signIn(const HttpRequest& request, const std::string& name,
                       const std::string& password, AccountAnswer& answer,
                       std::string& error) const;
    // An anonymous learner who registers keeps their space; anyone else gets a new one (or the
    // service's existing data, for the first account).
    StoreStatus registerAccount(const HttpRequest& request, const std::string& name,
                                const std::string& password, AccountAnswer& answer,
                                std::string& error) const;
    // Both need the current password; a change ends every other session of the account.
    StoreStatus changePassword(const HttpRequest& request, const std::string& current,
                               const std::string& fresh, AccountAnswer& answer,
                               std::string& error) const;
    StoreStatus deleteAccount(const HttpRequest& request, const std::string& current,
                              AccountAnswer& answer, std::string& error) const;
    StoreStatus signOut(const HttpRequest& request, AccountAnswer& answer,
                        std::string& error) const;
    // The administrator's: a new password or a disabled account ends the learner's sessions.
    StoreStatus resetPassword(std::int64_t learner, const std::string& password,
                              AccountAnswer& answer, std::string& error) const;
    StoreStatus setDisabled(std::int64_t learner, bool disabled, std::string& error) const;

  private:
    StoreStatus startSession(const HttpRequest& request, std::int64_t learner,
                             AccountAnswer& answer, std::string& error) const;
    // The current password of the request's named account checked, throttled as a sign-in.
    StoreStatus confirm(const HttpRequest& request, const std::string& password, Learner& learner,
                        AccountAnswer& answer, std::string& error) const;

    Store& store_;
    AccountsMode mode_;
    SigninThrottle throttle_;
};

}  // namespace lirra::server::accounts
