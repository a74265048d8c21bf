// SPDX-License-Identifier: GPL-3.0-or-later
// The learner's word statuses over HTTP: a line's words at once, marking one, importing and
// exporting a list, and the counts for the home page.
#pragma once

#include "service/Service.h"

namespace lirra::server {

// POST api/words/statuses {"words": [...]} -> {"statuses": {"word": "new|learning|known"}}.
HttpResponse wordStatuses(const ServiceContext& context, const HttpRequest& request);
// PUT api/words/WORD {"status", "form"?} -> {"word", "form", "status"}.
HttpResponse setWordStatus(const ServiceContext& context, const HttpRequest& request);
// POST api/words/import?status=known, a text file of one word per line -> {"words", "changed"}.
HttpResponse importWords(const ServiceContext& context, const HttpRequest& request);
// GET api/words/export.txt?status=known -> one word per line.
HttpResponse exportWords(const ServiceContext& context, const HttpRequest& request);
// GET api/words/counts -> {"known", "learning"}.
HttpResponse wordCounts(const ServiceContext& context, const HttpRequest& request);

}  // namespace lirra::server
