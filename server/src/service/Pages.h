// SPDX-License-Identifier: GPL-3.0-or-later
// The pages, their scripts and styles, all compiled into the service (Assets.h).
#pragma once

#include "service/Service.h"

namespace lirra::server {

// A page compiled in, as it is (500 when the build lacks it).
HttpResponse page(std::string_view name);

HttpResponse homePage(const ServiceContext& context, const HttpRequest& request);
HttpResponse playerPage(const ServiceContext& context, const HttpRequest& request);
HttpResponse registerRedirect(const ServiceContext& context, const HttpRequest& request);
HttpResponse rootRedirect(const ServiceContext& context, const HttpRequest& request);
HttpResponse staticFile(const ServiceContext& context, const HttpRequest& request);
// The pages' catalogue of a language (l10n/TAG.json, made from po/ at build time): the tag's own,
// else its base language's, else one of that base language; English (no messages) for others.
// Revalidated by its ETag.
HttpResponse pageCatalogue(const ServiceContext& context, const HttpRequest& request);

}  // namespace lirra::server
