// SPDX-License-Identifier: GPL-3.0-or-later
// The Qt HTTP client against a real server on loopback, for proper answers and broken ones.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <regex>
#include <thread>
#include <tuple>

#include "platform/qt/network/QtHttpClient.h"
#include "support/LoopbackHttpServer.h"
#include "support/qt/QtTestLoop.h"

namespace lirra {
namespace {

using namespace std::chrono_literals;
using test::LoopbackHttpServer;

// Its events in order: r and the status (the response), d (data), f (finished), x (failed).
class RecordingDelegate : public UrlConnectionDelegate {
  public:
    void didReceiveResponse(int statusCode) override {
        events += 'r' + std::to_string(statusCode);
        if (onResponse) onResponse();
    }
    void didReceiveData(const QByteArray& piece) override { events += 'd', body += piece; }
    void didFinishLoading() override { events += 'f'; }
    void didFailWithError(const QString& text) override { events += 'x', error = text; }
    bool ended() const { return events.find_first_of("fx") != std::string::npos; }

    std::string events;
    QByteArray body;
    QString error;
    std::function<void()> onResponse;
};

constexpr char kBinary[] = "application/octet-stream";

UrlRequest get(const std::string& url, const char* method = "GET") {
    UrlRequest request;
    request.url = QUrl(QString::fromStdString(url));
    request.method = method;
    return request;
}

// Runs the exchange to its end: exactly once, never inside the start call.
std::shared_ptr<RecordingDelegate> exchange(QtHttpClient& client, const UrlRequest& request) {
    auto delegate = std::make_shared<RecordingDelegate>();
    client.startConnection(request, delegate);
    EXPECT_TRUE(delegate->events.empty()) << "a callback came inside startConnection";
    EXPECT_TRUE(test::runEventLoopUntil([&] { return delegate->ended(); }));
    test::runEventLoopFor(50ms);
    EXPECT_EQ(delegate->events.find_first_of("fx"), delegate->events.size() - 1);  // once, last
    return delegate;
}

UrlResponse sendAndWait(QtHttpClient& client, const UrlRequest& request) {
    std::vector<UrlResponse> responses;
    client.sendAsynchronousRequest(request, [&](const UrlResponse& r) { responses.push_back(r); });
    EXPECT_TRUE(responses.empty()) << "completed inside sendAsynchronousRequest";
    EXPECT_TRUE(test::runEventLoopUntil([&] { return !responses.empty(); }));
    test::runEventLoopFor(50ms);
    EXPECT_EQ(responses.size(), 1u);
    return responses.empty() ? UrlResponse{} : responses.front();
}

class QtHttpClientTest : public ::testing::Test {
  protected:
    void SetUp() override {
        server_.server().Get("/text", [](const httplib::Request& req, httplib::Response& res) {
            res.status = req.has_param("status") ? std::stoi(req.get_param_value("status")) : 200;
            res.set_content("hello", kBinary);
        });
        // Five pieces, 150 ms apart, no length. Binary types keep cpp-httplib from compressing.
        server_.server().Get("/pieces", [](const httplib::Request&, httplib::Response& res) {
            auto sent = std::make_shared<int>(0);
            res.set_chunked_content_provider(kBinary, [sent](size_t, httplib::DataSink& sink) {
                if (*sent > 0) std::this_thread::sleep_for(150ms);
                const std::string piece = "piece" + std::to_string((*sent)++) + ";";
                return *sent > 5 ? (sink.done(), true) : sink.write(piece.data(), piece.size());
            });
        });
        // As text, an answer the server would compress for a client that accepts it.
        server_.server().Get("/large", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(std::string(std::stoul(req.get_param_value("size")), 'x'),
                            req.has_param("text") ? "text/plain" : kBinary);
        });
        const auto redirect = [this](const httplib::Request&, httplib::Response& res) {
            res.set_redirect(server_.url("/text"));
        };
        server_.server().Get("/from", redirect).Post("/from", redirect);
        server_.server().Get("/away", [](const httplib::Request& req, httplib::Response& res) {
            res.set_redirect(req.get_param_value("to"));
        });
        server_.serveCutShort("/cut", 1000, "0123456789");
        server_.serveSilence("/silent");
        ASSERT_TRUE(server_.start());
    }

    // The network manager wants the application to exist first.
    bool applicationReady_ = (test::ensureCoreApplication(), true);
    LoopbackHttpServer server_;
    QtHttpClient client_;
};

// A body whole or a failure, never a short success.
TEST_F(QtHttpClientTest, CompletesWithStatusLengthAndBodyOrFails) {
    constexpr qint64 kAny = -2;
    const struct {
        std::string url, method;
        qint64 cap, status, length;
        QByteArray body;  // at most `cap` bytes of it when the exchange fails
        bool fails;
    } rows[] = {
        {server_.url("/text?status=500"), "GET", 0, 500, 5, "hello", false},
        {server_.url("/pieces"), "GET", 0, 200, -1, "piece0;piece1;piece2;piece3;piece4;", false},
        {server_.url("/large?size=123456"), "HEAD", 0, 200, 123456, "", false},
        // Compressed answers come back cut short or empty from the toolkit's decoder.
        {server_.url("/large?size=5242880&text"), "GET", 0, 200, kAny, QByteArray(5 << 20, 'x'),
         false},
        {server_.url("/from"), "GET", 0, 200, kAny, "hello", false},
        {server_.url("/from"), "POST", 0, 302, kAny, "", false},
        {server_.url("/large?size=10000"), "GET", 10000, 200, 10000, QByteArray(10000, 'x'), false},
        {server_.url("/large?size=100000"), "GET", 10000, -1, kAny, "", true},  // refused at once
        {server_.url("/pieces"), "GET", 10, 200, -1, "", true},  // announced no length
        {server_.url("/cut"), "GET", 0, 200, 1000, "0123456789", true},
        {"http://127.0.0.1:1/", "GET", 0, -1, -1, "", true},  // nobody listens on port 1
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.method + " " + row.url);
        UrlRequest request = get(row.url, row.method.c_str());
        if (row.cap > 0) request.maxResponseBytes = row.cap;
        const UrlResponse response = sendAndWait(client_, request);
        EXPECT_EQ(response.statusCode, row.status);
        EXPECT_TRUE(row.length == kAny || response.expectedContentLength == row.length)
            << response.expectedContentLength;
        EXPECT_EQ(!response.error.isEmpty(), row.fails) << response.error.toStdString();
        EXPECT_TRUE((row.fails && row.body.isEmpty()) || response.body == row.body)
            << response.body.size();
        EXPECT_TRUE(row.cap == 0 || response.body.size() <= row.cap) << response.body.size();
    }
}

TEST_F(QtHttpClientTest, TimeOutsBoundSilenceAndADestroyedClientEndsItsExchangesSilently) {
    UrlRequest request = get(server_.url("/silent"));
    request.timeoutSeconds = 0.3;
    QElapsedTimer elapsed;
    elapsed.start();
    const auto delegate = exchange(client_, request);
    EXPECT_EQ(delegate->events, "x");
    EXPECT_TRUE(delegate->error.contains("timed out")) << delegate->error.toStdString();
    EXPECT_GE(elapsed.elapsed(), 290);  // the time-out is in seconds
    EXPECT_LT(elapsed.elapsed(), 2500);

    // Pieces 150 ms apart over 750 ms: the time-out bounds silence, not the transfer.
    UrlRequest slow = get(server_.url("/pieces"));
    slow.timeoutSeconds = 0.4;
    const auto steady = exchange(client_, slow);
    EXPECT_EQ(steady->body, "piece0;piece1;piece2;piece3;piece4;");
    EXPECT_TRUE(std::regex_match(steady->events, std::regex("r200d{3,}f"))) << steady->events;
    // The deadline, in seconds, bounds the whole transfer however steadily it goes.
    slow.deadlineSeconds = 0.3;
    elapsed.restart();
    const auto cut = exchange(client_, slow);
    EXPECT_TRUE(cut->events.ends_with('x') && cut->error.contains("did not end within"))
        << cut->events << " " << cut->error.toStdString();
    EXPECT_GE(elapsed.elapsed(), 290);

    // A client destroyed with exchanges under way ends them without a word.
    auto orphan = std::make_shared<RecordingDelegate>();
    bool completed = false;
    std::shared_ptr<UrlConnection> connection;
    {
        QtHttpClient client;
        connection = client.startConnection(get(server_.url("/silent")), orphan);
        client.sendAsynchronousRequest(get(server_.url("/silent")),
                                       [&](const UrlResponse&) { completed = true; });
        ASSERT_TRUE(test::runEventLoopUntil([&] { return server_.silenced == 3; }));
    }
    test::runEventLoopFor(200ms);
    connection->cancel();  // harmless after the client is gone
    EXPECT_TRUE(orphan->events.empty());
    EXPECT_FALSE(completed);
}

TEST_F(QtHttpClientTest, RequestsThatCannotStartFailLaterAndACancelEndsTheExchangeThere) {
    UrlRequest injected = get(server_.url("/text"));
    injected.headers = {{"X-Evil", "a\r\nX-Injected: 1"}};
    for (const UrlRequest& request : {get("not a url at all"), get("file://localhost/etc/passwd"),
                                      injected, get(server_.url("/text"), "GET /other")}) {
        const auto delegate = exchange(client_, request);
        EXPECT_EQ(delegate->events, "x") << request.url.toString().toStdString();
        EXPECT_FALSE(delegate->error.isEmpty());
    }
    EXPECT_EQ(server_.requestCount(), 0u);

    // A cancel ends the exchange there, even from inside a callback, and lets go of the delegate.
    auto delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<UrlConnection> connection;
    delegate->onResponse = [&] { connection->cancel(); };  // inside a callback
    std::weak_ptr<RecordingDelegate> watched = delegate;
    connection = client_.startConnection(get(server_.url("/pieces")), delegate);
    ASSERT_TRUE(test::runEventLoopUntil([&] { return !delegate->events.empty(); }));
    test::runEventLoopFor(1000ms);  // the whole answer would have arrived by now
    EXPECT_EQ(delegate->events, "r200");
    delegate.reset();
    EXPECT_TRUE(watched.expired());  // the client let go of it

    auto untouched = std::make_shared<RecordingDelegate>();
    auto immediate = client_.startConnection(get(server_.url("/text")), untouched);
    immediate->cancel();
    immediate->cancel();
    test::runEventLoopFor(300ms);
    EXPECT_TRUE(untouched->events.empty());
}

// The service's secret reaches its origin, on every hop there, and never another one.
TEST_F(QtHttpClientTest, TheOriginHeaderGoesToThatOriginAloneRedirectsIncluded) {
    LoopbackHttpServer other;
    other.server().Get("/text", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("elsewhere", kBinary);
    });
    ASSERT_TRUE(other.start());
    client_.setOriginHeader(QUrl(QString::fromStdString(server_.url("/"))), "X-Key", "s3cret");
    const struct {
        std::string url, method;
        std::size_t own, others;  // the requests each server gets
        QByteArray body;
    } rows[] = {
        {server_.url("/text"), "GET", 1, 0, "hello"},
        {server_.url("/from"), "GET", 2, 0, "hello"},
        {server_.url("/text"), "HEAD", 1, 0, ""},
        {other.url("/text"), "GET", 0, 1, "elsewhere"},
        {server_.url("/away?to=" + other.url("/text")), "GET", 1, 0, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.method + " " + row.url);
        server_.clearRequests();
        other.clearRequests();
        UrlRequest request = get(row.url, row.method.c_str());
        request.headers = {{"X-Key", "forged"}};
        const UrlResponse response = sendAndWait(client_, request);
        EXPECT_EQ(std::tuple(response.body, server_.requestCount(), other.requestCount()),
                  std::tuple(row.body, row.own, row.others));
        for (const auto& r : server_.requests()) EXPECT_EQ(r.header("x-key"), "s3cret");
        for (const auto& r : other.requests()) EXPECT_EQ(r.header("x-key"), "forged");
    }
}

}  // namespace
}  // namespace lirra
