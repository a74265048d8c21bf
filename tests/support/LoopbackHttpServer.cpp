// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/LoopbackHttpServer.h"

namespace lirra::test {

LoopbackHttpServer::LoopbackHttpServer(const TlsFiles& tls)
    : server_(tls.certificate.empty()
                  ? std::make_unique<httplib::Server>()
                  : std::make_unique<httplib::SSLServer>(tls.certificate.c_str(), tls.key.c_str())),
      tls_(!tls.certificate.empty()) {
    // One request per connection: stop() then returns at once instead of waiting for idle
    // keep-alive connections to time out. Call server().set_keep_alive_max_count() to change it.
    server_->set_keep_alive_max_count(1);
    server_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        std::unique_lock lock(mutex_);
        const auto it = intercepts_.find(req.path);
        const Intercept handler = it == intercepts_.end() ? Intercept() : it->second;
        lock.unlock();
        return handler && handler(req, res) ? httplib::Server::HandlerResponse::Handled
                                            : httplib::Server::HandlerResponse::Unhandled;
    });
    // Recorded just before the answer is written (whoever gave it), so a client that has its
    // answer can rely on the request being in the record.
    server_->set_post_routing_handler([this](const httplib::Request& req, httplib::Response&) {
        RecordedRequest recorded{req.method, req.target, req.path, {}, req.body};
        // cpp-httplib adds the addresses itself; they were not on the wire.
        for (const auto& header : req.headers)
            if (!header.first.ends_with("_ADDR") && !header.first.ends_with("_PORT"))
                recorded.headers.push_back(header);
        std::lock_guard lock(mutex_);
        requests_.push_back(std::move(recorded));
    });
}

LoopbackHttpServer::~LoopbackHttpServer() { stop(); }

bool LoopbackHttpServer::start() {
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) return false;
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    // stop() only works once the server runs; the socket already queues connections.
    for (int i = 0; i < 2000 && !server_->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return server_->is_running();
}

void LoopbackHttpServer::stop() {
    stopping = true;
    if (!thread_.joinable()) return;
    server_->stop();
    thread_.join();
}

void LoopbackHttpServer::intercept(const std::string& path, Intercept handler) {
    std::lock_guard lock(mutex_);
    intercepts_.erase(path);
    if (handler) intercepts_[path] = std::move(handler);
}

void LoopbackHttpServer::serveCutShort(const std::string& path, std::size_t length,
                                       std::string sent) {
    server_->Get(path, [length, sent](const httplib::Request&, httplib::Response& res) {
        // A provider that gives up closes the connection after what it wrote.
        res.set_content_provider(length, "application/octet-stream",
                                 [sent](std::size_t, std::size_t, httplib::DataSink& sink) {
                                     sink.write(sent.data(), sent.size());
                                     return false;
                                 });
    });
}

void LoopbackHttpServer::serveSilence(const std::string& path) {
    server_->Get(path, [this](const httplib::Request&, httplib::Response&) {
        ++silenced;
        for (int i = 0; i < 3000 && !stopping; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    });
}

std::vector<RecordedRequest> LoopbackHttpServer::requests(const std::string& path) const {
    std::vector<RecordedRequest> matching = requests();
    std::erase_if(matching, [&](const RecordedRequest& request) { return request.path != path; });
    return matching;
}

}  // namespace lirra::test
