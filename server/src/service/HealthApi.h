// SPDX-License-Identifier: GPL-3.0-or-later
// What a supervisor or a proxy in front asks (see server/API.md): GET healthz, the process
// serves; GET readyz, the store answers at this build's schema. Plain text, never cached.
#pragma once

#include "service/Service.h"

namespace lirra::server {

// The seconds a proxy is asked to wait before asking readyz again.
inline constexpr int kReadyRetrySeconds = 5;

HttpResponse health(const ServiceContext& context, const HttpRequest& request);
HttpResponse readiness(const ServiceContext& context, const HttpRequest& request);

}  // namespace lirra::server
