// SPDX-License-Identifier: GPL-3.0-or-later
// The administrator's page and API: the learners (a new password, an account disabled) and the
// service's figures. Every route needs an administrator's session.
#pragma once

#include <optional>

#include "service/Service.h"

namespace lirra::server {

// With accounts on, why the request is not an administrator's (401 without a session, 403
// for a learner); nothing when it is, or when accounts are off.
std::optional<HttpResponse> adminRefusal(const ServiceContext& context, const HttpRequest& request);

HttpResponse adminPage(const ServiceContext& context, const HttpRequest& request);
// {"learners": [{"id", "name", "admin", "disabled", "createdAt", "lastSeenMs"}]}
HttpResponse adminLearners(const ServiceContext& context, const HttpRequest& request);
// {"password": "..."}: 204; the learner's sessions end.
HttpResponse adminSetPassword(const ServiceContext& context, const HttpRequest& request);
// {"disabled": true|false}: 204; disabling ends the learner's sessions.
HttpResponse adminSetDisabled(const ServiceContext& context, const HttpRequest& request);
// {"accounts", "anonymous", "sessions", "videos", "subtitles"}
HttpResponse adminFigures(const ServiceContext& context, const HttpRequest& request);

}  // namespace lirra::server
