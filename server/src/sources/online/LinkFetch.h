// SPDX-License-Identifier: GPL-3.0-or-later
// Fetching a file behind a download link the database gave, following a few redirects, each
// one checked like the link itself.
#pragma once

#include <atomic>
#include <string>

#include "ApiUrl.h"
#include "net/Exchange.h"

namespace lirra::server::online {

struct FetchOutcome {
    std::string bytes;
    std::string error;  // not empty: nothing was fetched
};

// `request` gives the headers, limits and trusted certificates; its method and address are
// set here. `root` and `selfPort` decide which links may be followed (see acceptableLink).
FetchOutcome fetchLink(const std::string& link, const ApiUrl& root, int selfPort,
                       net::ExchangeRequest request, const std::atomic<bool>* cancel);

}  // namespace lirra::server::online
