// SPDX-License-Identifier: GPL-3.0-or-later
// The pages' dictionary routes, GET api/dictionary/lookup?text=&native= and GET
// api/dictionary/sources (see server/API.md), answered by the dictionary service.
#pragma once

#include "service/Service.h"

namespace lirra::server {

HttpResponse dictionaryLookup(const ServiceContext& context, const HttpRequest& request);
HttpResponse dictionarySources(const ServiceContext& context, const HttpRequest& request);

}  // namespace lirra::server
