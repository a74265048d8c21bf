// SPDX-License-Identifier: GPL-3.0-or-later
// Serves a set of routes over HTTP. The only place that knows libmicrohttpd.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "http/ClientAddress.h"
#include "http/Http.h"
#include "http/RequestGuard.h"

namespace lirra::server {

class HttpServer {
  public:
    HttpServer(std::vector<Route> routes, unsigned threadCount);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds the listening socket; port 0 picks a free one. Empty on success, else why not.
    std::string bind(const std::string& host, std::uint16_t port, std::uint16_t& boundPort);
    // Every request passes `guard` before its route; set before run().
    void setGuard(RequestGuard guard);
    // How each request's remoteAddress is told from its peer and headers; set before run().
    void setClientAddress(ClientAddress clientAddress);
    // Every request that passed the guard reaches its route's handler through `layer`, which
    // may change the request (whose learner it is) or answer in the handler's place; set before
    // run().
    using Layer = std::function<HttpResponse(HttpRequest&, const Handler&)>;
    void setLayer(Layer layer);
    // Serves until stop(); call on a thread of its own after bind().
    void run();
    bool waitUntilRunning(std::chrono::milliseconds timeout) const;
    // Closes the listening socket; run() returns once the requests in flight have finished.
    void stop();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace lirra::server
