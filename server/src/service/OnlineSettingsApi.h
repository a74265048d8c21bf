// SPDX-License-Identifier: GPL-3.0-or-later
// The home page's settings of the online subtitle database: its state, and the learner's key,
// user name and password, which are written here and never read back.
#pragma once

#include "service/Service.h"

namespace lirra::server {

// GET api/settings/opensubtitles -> {"configured", "user", "status", "remaining", "message"}.
HttpResponse onlineSettings(const ServiceContext& context, const HttpRequest& request);
// PUT api/settings/opensubtitles with {"key"?, "user"?, "password"?} -> the same as GET.
HttpResponse saveOnlineSettings(const ServiceContext& context, const HttpRequest& request);

}  // namespace lirra::server
