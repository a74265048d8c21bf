// SPDX-License-Identifier: GPL-3.0-or-later
// The account pages: forms that work without scripts in any browser (register, sign in, the
// account's own page) and what they post to, and the pages' view of the account as JSON. With
// accounts off every page says there is no account to make.
#pragma once

#include "service/Service.h"

namespace lirra::server {

HttpResponse registerPage(const ServiceContext& context, const HttpRequest& request);
HttpResponse signInPage(const ServiceContext& context, const HttpRequest& request);
HttpResponse accountPage(const ServiceContext& context, const HttpRequest& request);
HttpResponse registerAccount(const ServiceContext& context, const HttpRequest& request);
HttpResponse signIn(const ServiceContext& context, const HttpRequest& request);
HttpResponse signOut(const ServiceContext& context, const HttpRequest& request);
HttpResponse changePassword(const ServiceContext& context, const HttpRequest& request);
HttpResponse deleteAccount(const ServiceContext& context, const HttpRequest& request);
// {"mode": "off"|"optional"|"required", "signedIn", "name", "admin", "anonymous"}
HttpResponse accountState(const ServiceContext& context, const HttpRequest& request);

// Every route's handler is reached through it while accounts are on: it sets the request's
// learner from its session, and with accounts required turns away a request without one.
HttpResponse accountLayer(const ServiceContext& context, HttpRequest& request,
                          const Handler& handler);

}  // namespace lirra::server
