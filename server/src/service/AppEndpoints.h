// SPDX-License-Identifier: GPL-3.0-or-later
// The endpoints the app calls: the lookup of a video's subtitles, their download, and the upload
// of the ones the app fetched for the service to hold.
#pragma once

#include "service/Service.h"

namespace lirra::server {

HttpResponse lookup(const ServiceContext& context, const HttpRequest& request);
HttpResponse download(const ServiceContext& context, const HttpRequest& request);
HttpResponse upload(const ServiceContext& context, const HttpRequest& request);

}  // namespace lirra::server
