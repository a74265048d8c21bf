// SPDX-License-Identifier: GPL-3.0-or-later
// The JSON API of the pages: recent videos, a video's tracks, and subtitle files the learner
// adds from a page.
#pragma once

#include "service/Service.h"

namespace lirra::server {

HttpResponse recentVideos(const ServiceContext& context, const HttpRequest& request);
HttpResponse videoTracks(const ServiceContext& context, const HttpRequest& request);
HttpResponse addSubtitles(const ServiceContext& context, const HttpRequest& request);

}  // namespace lirra::server
