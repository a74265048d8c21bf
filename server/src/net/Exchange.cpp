#include "net/Exchange.h"

#include <httplib.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace lirra::server::net {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kCancelPoll = std::chrono::milliseconds(50);
constexpr auto kStopRepeat = std::chrono::milliseconds(20);

// Shuts the client's connection once the deadline passes or the caller cancels. ClientImpl::stop
// is the one call the library allows from another thread while a request runs; it is repeated
// because a stop that lands before the socket exists has nothing to shut.
class Watchdog {
  public:
    Watchdog(httplib::ClientImpl& client, Clock::time_point deadline,
             const std::atomic<bool>* cancel)
        : client_(client), deadline_(deadline), cancel_(cancel), thread_([this] { run(); }) {}

    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

    bool fired() const { return fired_.load(); }
    bool cancelled() const { return cancelled_.load(); }

  private:
    void run() {
        std::unique_lock lock(mutex_);
        while (!done_) {
            const auto now = Clock::now();
            if (cancel_ && cancel_->load()) cancelled_ = true;
            if (now >= deadline_ || cancelled_) break;
            wake_.wait_for(lock, std::min<Clock::duration>(deadline_ - now, kCancelPoll));
        }
        if (done_) return;
        fired_ = true;
        while (!done_) {
            lock.unlock();
            client_.stop();
            lock.lock();
            wake_.wait_for(lock, kStopRepeat);
        }
    }

    httplib::ClientImpl& client_;
    const Clock::time_point deadline_;
    const std::atomic<bool>* cancel_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::atomic<bool> fired_{false};
    std::atomic<bool> cancelled_{false};
    std::thread thread_;  // last: starts once the fields above exist
};

std::unique_ptr<httplib::ClientImpl> makeClient(const ExchangeRequest& request,
                                                std::string& error) {
    const HttpUrl& url = request.url;
    if (url.scheme == "http") return std::make_unique<httplib::ClientImpl>(url.host, url.port);
    auto client = std::make_unique<httplib::SSLClient>(url.host, url.port);
    if (!client->is_valid()) {
        error = "TLS could not be set up";
        return nullptr;
    }
    client->enable_server_certificate_verification(true);
    if (!request.caFile.empty()) client->set_ca_cert_path(request.caFile);
    return client;
}

}  // namespace

ExchangeResult runExchange(const ExchangeRequest& request, const std::atomic<bool>* cancel) {
    ExchangeResult result;
    auto client = makeClient(request, result.error);
    if (!client) return result;

    const auto start = Clock::now();
    const auto deadline = start + request.deadline;
    const auto seconds = [](std::chrono::milliseconds d) {
        return std::make_pair(static_cast<time_t>(d.count() / 1000),
                              static_cast<time_t>((d.count() % 1000) * 1000));
    };
    const auto [sec, usec] = seconds(request.deadline);
    client->set_connection_timeout(sec, usec);
    client->set_read_timeout(sec, usec);
    client->set_write_timeout(sec, usec);
    client->set_keep_alive(false);
    client->set_follow_location(false);
    client->set_url_encode(false);  // paths and queries are encoded by the caller

    httplib::Request req;
    req.method = request.method;
    req.path = request.url.path.empty() ? "/" : request.url.path;
    for (const auto& [name, value] : request.headers) req.headers.emplace(name, value);
    if (request.method == "POST") {
        req.body = request.body;
        req.headers.emplace("Content-Type", request.contentType);
    }
    bool tooLarge = false;
    std::string body;
    req.response_handler = [&](const httplib::Response& response) {
        // A declared length over the limit is refused before any of the body is read.
        const auto length = response.get_header_value("Content-Length");
        if (!length.empty() && length.size() < 20 &&
            length.find_first_not_of("0123456789") == std::string::npos &&
            std::stoull(length) > request.maxAnswerBytes) {
            tooLarge = true;
            return false;
        }
        return true;
    };
    req.content_receiver = [&](const char* data, size_t size, uint64_t, uint64_t) {
        if (body.size() + size > request.maxAnswerBytes) {
            tooLarge = true;
            return false;
        }
        body.append(data, size);
        return true;
    };

    httplib::Response res;
    httplib::Error error = httplib::Error::Success;
    bool sent = false;
    bool fired = false, cancelled = false;
    {
        Watchdog watchdog(*client, deadline, cancel);
        sent = client->send(req, res, error);
        fired = watchdog.fired();
        cancelled = watchdog.cancelled();
    }

    if (cancelled) {
        result.outcome = ExchangeOutcome::Cancelled;
        result.error = "cancelled";
    } else if (tooLarge) {
        result.outcome = ExchangeOutcome::TooLarge;
        result.error =
            "the answer is larger than " + std::to_string(request.maxAnswerBytes) + " bytes";
    } else if (fired || (!sent && Clock::now() >= deadline)) {
        result.outcome = ExchangeOutcome::TimedOut;
        result.error = "no whole answer within " + std::to_string(request.deadline.count()) + " ms";
    } else if (!sent) {
        result.outcome = ExchangeOutcome::Unreachable;
        result.error = httplib::to_string(error);
        if (request.url.scheme == "https") {
            if (auto* ssl = dynamic_cast<httplib::SSLClient*>(client.get());
                ssl && ssl->get_openssl_verify_result() != X509_V_OK) {
                result.error = std::string("the certificate was refused: ") +
                               X509_verify_cert_error_string(ssl->get_openssl_verify_result());
            }
        }
    } else {
        result.outcome = ExchangeOutcome::Answered;
        result.status = res.status;
        result.body = std::move(body);
        for (const auto& [name, value] : res.headers) {
            std::string lowerName = name;
            for (char& c : lowerName)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (value.size() <= 1024) result.headers.emplace(std::move(lowerName), value);
        }
    }
    return result;
}

}  // namespace lirra::server::net
