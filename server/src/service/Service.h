// SPDX-License-Identifier: GPL-3.0-or-later
// The service's routes: the endpoints the app calls (AppEndpoints), the pages (Pages) and the
// JSON API of the pages (PagesApi). Routes.cpp holds the table; a new route is one entry there
// and one handler in the file of its concern. Handlers take a request and return a response;
// they never throw.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "http/Http.h"
#include "sources/Library.h"
#include "sources/SubtitleSource.h"
#include "store/Store.h"

namespace lirra::server {

namespace dictionary {
class DictionaryService;
}

namespace online {
class OnlineSource;
}

namespace notebook {
class Notebook;
}

namespace accounts {
class Accounts;
}

struct ServiceLimits {
    std::size_t maxFormBytes = 64 * 1024;
    std::size_t maxMultipartBytes = 32 * 1024 * 1024;
    std::size_t maxJsonBytes = 12 * 1024 * 1024;
    std::size_t maxSubtitleBytes = 8 * 1024 * 1024;
    std::size_t maxFileNameBytes = 1024;
};

// What every handler works with.
struct ServiceContext {
    Store& store;
    Library& library;
    ServiceLimits limits;
    // The address downloads are offered at when a request has no usable Host.
    std::function<std::string()> baseUrl;
    // Word look-ups for the player page; without them the dictionary routes answer 503.
    const dictionary::DictionaryService* dictionaries = nullptr;
    // Told of every lookup; they work in the background (they must outlive the routes).
    std::vector<SubtitleSource*> sources = {};
    // The online subtitle database, asked by the lookup for what no local source has.
    online::OnlineSource* online = nullptr;
    // The learner's notebook: sending to Anki, finding an item's video; without it the
    // notebook's routes answer 503.
    notebook::Notebook* notebook = nullptr;
    // Who the learners are (accounts/Accounts.h); without it, or with accounts off, every
    // request is the one learner's.
    const accounts::Accounts* accounts = nullptr;
};

using ServiceHandler = HttpResponse (*)(const ServiceContext&, const HttpRequest&);

// The routes, bound to `context`, which must outlive them.
std::vector<Route> serviceRoutes(const ServiceContext& context);

}  // namespace lirra::server
