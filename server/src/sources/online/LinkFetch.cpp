// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinkFetch.h"

namespace lirra::server::online {
namespace {

constexpr int kMaxRedirects = 3;

}  // namespace

FetchOutcome fetchLink(const std::string& link, const ApiUrl& root, int selfPort,
                       net::ExchangeRequest request, const std::atomic<bool>* cancel) {
    FetchOutcome outcome;
    std::string next = link;
    for (int hop = 0; hop <= kMaxRedirects; ++hop) {
        const auto url = parseHttpUrl(next, outcome.error);
        if (!url || !acceptableLink(*url, root, selfPort, outcome.error)) return outcome;
        request.method = "GET";
        request.url = *url;
        request.addressCheck = [&root, selfPort](const sockaddr& address) {
            return linkAddressRefusal(address, root, selfPort);
        };
        auto result = net::runExchange(request, cancel);
        if (result.outcome != net::ExchangeOutcome::Answered) {
            outcome.error = result.error;
            return outcome;
        }
        if (result.status == 200) {
            outcome.bytes = std::move(result.body);
            return outcome;
        }
        const auto location = result.headers.find("location");
        if (result.status < 300 || result.status > 308 || location == result.headers.end()) {
            outcome.error = "the file's host answered HTTP " + std::to_string(result.status);
            return outcome;
        }
        next = location->second;
    }
    outcome.error = "too many redirects";
    return outcome;
}

}  // namespace lirra::server::online
