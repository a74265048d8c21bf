// SPDX-License-Identifier: GPL-3.0-or-later
// One HTTP(S) exchange bounded in time as a whole and while nothing arrives, on libcurl: the
// system's CA store (or a file of trusted certificates), http_proxy, https_proxy and no_proxy.
#pragma once

#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "net/Url.h"

namespace lirra::server::net {

struct ExchangeRequest {
    std::string method = "GET";  // "GET" or "POST"
    HttpUrl url;                 // path (and query) included
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;  // for POST
    std::string contentType;
    std::size_t maxAnswerBytes = 1024 * 1024;
    std::chrono::milliseconds deadline{10000};  // for the whole exchange
    std::chrono::milliseconds idle{10000};      // with nothing received, in whole seconds
    std::string caFile;                         // trusted certificates; empty: the system's
    // When set, the host's addresses are resolved first and each must pass it (an empty
    // reason); the connection then goes to those alone, so a name that resolves elsewhere
    // between the check and the connection cannot slip through.
    std::function<std::string(const sockaddr& address)> addressCheck;
};

enum class ExchangeOutcome {
    Answered,     // a status and a whole body (of any status)
    Unreachable,  // no connection, refused, TLS or certificate failure, broken answer
    TimedOut,     // the deadline passed first
    TooLarge,     // the answer is longer than allowed
    Cancelled,    // the caller gave up
};

struct ExchangeResult {
    ExchangeOutcome outcome = ExchangeOutcome::Unreachable;
    int status = 0;
    std::string body;
    std::map<std::string, std::string> headers;  // names in lower case
    std::string error;                           // for a log line: why there is no answer
};

// Blocks the calling thread until the answer is in or a time runs out. `cancel`, when set to
// true by another thread, ends it within a second.
ExchangeResult runExchange(const ExchangeRequest& request,
                           const std::atomic<bool>* cancel = nullptr);

}  // namespace lirra::server::net
