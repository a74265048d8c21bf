// SPDX-License-Identifier: GPL-3.0-or-later
// The learner's notebook over HTTP: its page, saving from the player page, the list with its
// search, deleting, sending to Anki and the text export.
#pragma once

#include "service/Service.h"

namespace lirra::server {

// GET Player/Notebook.
HttpResponse notebookPage(const ServiceContext& context, const HttpRequest& request);
// POST api/notebook -> 201 {"id"} (200 with the id of the same item saved before).
HttpResponse saveToNotebook(const ServiceContext& context, const HttpRequest& request);
// GET api/notebook?query=&limit=&unsent= -> {"items": [...]}, newest first.
HttpResponse listNotebook(const ServiceContext& context, const HttpRequest& request);
// DELETE api/notebook/N -> 200 {"deleted": N}.
HttpResponse deleteFromNotebook(const ServiceContext& context, const HttpRequest& request);
// POST api/notebook/anki with {"ids": [...]} -> {"added", "duplicates", "failed", ...}.
HttpResponse sendNotebookToAnki(const ServiceContext& context, const HttpRequest& request);
// GET api/notebook/export.tsv -> the whole notebook as a file Anki imports.
HttpResponse exportNotebook(const ServiceContext& context, const HttpRequest& request);

}  // namespace lirra::server
