// SPDX-License-Identifier: GPL-3.0-or-later
// The pages' "say it": GET api/speech?text=&voice= (see server/API.md), spoken by the speech
// engine of this process.
#pragma once

#include "service/Service.h"

namespace lirra::server {

HttpResponse speak(const ServiceContext& context, const HttpRequest& request);

}  // namespace lirra::server
