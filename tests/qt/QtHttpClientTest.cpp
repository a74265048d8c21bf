// The Qt HTTP client against real servers on loopback: a cpp-httplib server for proper answers,
// a raw TCP server for broken ones.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <thread>

#include "platform/qt/network/QtHttpClient.h"
#include "support/LoopbackHttpServer.h"
#include "support/RawLoopbackServer.h"
#include "support/qt/QtTestLoop.h"

namespace lirra {
namespace {

using namespace std::chrono_literals;
using test::LoopbackHttpServer;
using test::RawConnection;
using test::RawLoopbackServer;

class RecordingDelegate : public UrlConnectionDelegate {
  public:
    void didReceiveResponse(int statusCode) override {
        events.push_back("response");
        status = statusCode;
        if (onResponse) onResponse();
    }
    void didReceiveData(const QByteArray& piece) override {
        events.push_back("data");
        pieces.push_back(piece);
        body += piece;
    }
    void didFinishLoading() override { events.push_back("finish"); }
    void didFailWithError(const QString& text) override {
        events.push_back("fail");
        error = text;
    }

    bool ended() const {
        return std::count(events.begin(), events.end(), "finish") +
                   std::count(events.begin(), events.end(), "fail") >
               0;
    }
    long count(const std::string& event) const {
        return std::count(events.begin(), events.end(), event);
    }

    std::vector<std::string> events;
    int status = -1;
    QByteArray body;
    std::vector<QByteArray> pieces;
    QString error;
    std::function<void()> onResponse;
};

constexpr char kBinary[] = "application/octet-stream";

QUrl qurl(const std::string& text) { return QUrl(QString::fromStdString(text)); }

UrlRequest get(const std::string& url) {
    UrlRequest request;
    request.url = qurl(url);
    return request;
}

// Runs the exchange to its end and checks that it ends exactly once and never inside the start
// call.
std::shared_ptr<RecordingDelegate> exchange(QtHttpClient& client, const UrlRequest& request,
                                            std::chrono::milliseconds limit = 10s) {
    auto delegate = std::make_shared<RecordingDelegate>();
    client.startConnection(request, delegate);
    EXPECT_TRUE(delegate->events.empty()) << "a callback came inside startConnection";
    EXPECT_TRUE(test::runEventLoopUntil([&] { return delegate->ended(); }, limit));
    test::runEventLoopFor(50ms);
    EXPECT_EQ(delegate->count("finish") + delegate->count("fail"), 1);
    return delegate;
}

UrlResponse sendAndWait(QtHttpClient& client, const UrlRequest& request) {
    std::optional<UrlResponse> response;
    int completions = 0;
    client.sendAsynchronousRequest(request, [&](const UrlResponse& r) {
        response = r;
        ++completions;
    });
    EXPECT_FALSE(response) << "completed inside sendAsynchronousRequest";
    EXPECT_TRUE(test::runEventLoopUntil([&] { return response.has_value(); }));
    test::runEventLoopFor(50ms);
    EXPECT_EQ(completions, 1);
    return response.value_or(UrlResponse{});
}

// A loopback URL where nobody listens any more.
std::string closedUrl() {
    RawLoopbackServer probe([](RawConnection&) {});
    EXPECT_TRUE(probe.start());
    const std::string url = probe.url("/");
    probe.stop();
    return url;
}

class QtHttpClientTest : public ::testing::Test {
  protected:
    void SetUp() override {
        server_.server().Get("/text", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("hello", kBinary);
        });
        server_.server().Get("/broken", [](const httplib::Request&, httplib::Response& res) {
            res.status = 500;
            res.set_content("server error", kBinary);
        });
        // Five pieces, 150 ms apart, with no length announced. Binary content types keep
        // cpp-httplib from compressing answers (which would hold the pieces back and hide the
        // length).
        server_.server().Get("/pieces", [](const httplib::Request&, httplib::Response& res) {
            auto sent = std::make_shared<int>(0);
            res.set_chunked_content_provider(kBinary, [sent](size_t, httplib::DataSink& sink) {
                if (*sent > 0) std::this_thread::sleep_for(150ms);
                if (*sent == 5) {
                    sink.done();
                    return true;
                }
                const std::string piece = "piece" + std::to_string((*sent)++) + ";";
                return sink.write(piece.data(), piece.size());
            });
        });
        server_.server().Get("/large", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(std::string(std::stoul(req.get_param_value("size")), 'x'), kBinary);
        });
        server_.server().Get("/large-chunked", [](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider(kBinary, [](size_t offset, httplib::DataSink& sink) {
                if (offset >= 100000) {
                    sink.done();
                    return true;
                }
                const std::string block(10000, 'y');
                return sink.write(block.data(), block.size());
            });
        });
        // Text answers the server would compress for a client that accepts it.
        server_.server().Get("/big-text", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string(5 * 1024 * 1024, 'w'), "text/plain");
        });
        server_.server().Get("/from", [this](const httplib::Request&, httplib::Response& res) {
            res.set_redirect(server_.url("/text"));
        });
        server_.server().Post("/from", [this](const httplib::Request&, httplib::Response& res) {
            res.set_redirect(server_.url("/text"));
        });
        server_.server().Post("/echo", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(req.body, kBinary);
        });
        ASSERT_TRUE(server_.start());
    }

    // The network manager wants the application to exist first.
    bool applicationReady_ = (test::ensureCoreApplication(), true);
    LoopbackHttpServer server_;
    QtHttpClient client_;
};

TEST_F(QtHttpClientTest, DeliversStatusThenBodyPiecesAsTheyArriveThenFinishes) {
    const auto delegate = exchange(client_, get(server_.url("/pieces")));
    EXPECT_EQ(delegate->status, 200);
    EXPECT_EQ(delegate->body, "piece0;piece1;piece2;piece3;piece4;");
    EXPECT_GE(delegate->pieces.size(), 3u);
    ASSERT_FALSE(delegate->events.empty());
    EXPECT_EQ(delegate->events.front(), "response");
    EXPECT_EQ(delegate->events.back(), "finish");
    EXPECT_EQ(delegate->count("response"), 1);
}

TEST_F(QtHttpClientTest, LargeTextAnswersArriveWhole) {
    // Compressed answers come back cut short or empty from the toolkit's decoder; a body must
    // arrive whole or the exchange must fail, never a short success.
    const auto delegate = exchange(client_, get(server_.url("/big-text")), 30s);
    EXPECT_EQ(delegate->count("finish"), 1);
    EXPECT_EQ(delegate->body.size(), 5 * 1024 * 1024);
}

TEST_F(QtHttpClientTest, ErrorStatusesAreAnswersNotFailures) {
    const UrlResponse broken = sendAndWait(client_, get(server_.url("/broken")));
    EXPECT_EQ(broken.statusCode, 500);
    EXPECT_EQ(broken.expectedContentLength, 12);
    EXPECT_EQ(broken.body, "server error");
    EXPECT_TRUE(broken.error.isEmpty()) << broken.error.toStdString();
}

TEST_F(QtHttpClientTest, CompletionReportsLengthOnlyWhenAnnounced) {
    const UrlResponse chunked = sendAndWait(client_, get(server_.url("/pieces")));
    EXPECT_EQ(chunked.statusCode, 200);
    EXPECT_EQ(chunked.expectedContentLength, -1);
    EXPECT_EQ(chunked.body, "piece0;piece1;piece2;piece3;piece4;");

    UrlRequest head = get(server_.url("/large?size=123456"));
    head.method = "HEAD";
    const UrlResponse headResponse = sendAndWait(client_, head);
    EXPECT_EQ(headResponse.statusCode, 200);
    EXPECT_EQ(headResponse.expectedContentLength, 123456);
    EXPECT_TRUE(headResponse.body.isEmpty());
    ASSERT_EQ(server_.requestCount(), 2u);
    EXPECT_EQ(server_.requests()[1].method, "HEAD");
}

TEST_F(QtHttpClientTest, SilenceTimesOutButASlowSteadyAnswerDoesNot) {
    RawLoopbackServer silent([](RawConnection& connection) { connection.holdOpen(); });
    ASSERT_TRUE(silent.start());
    UrlRequest request = get(silent.url("/"));
    request.timeoutSeconds = 0.3;
    QElapsedTimer elapsed;
    elapsed.start();
    const auto delegate = exchange(client_, request);
    EXPECT_EQ(delegate->events, std::vector<std::string>{"fail"});
    EXPECT_TRUE(delegate->error.contains("timed out")) << delegate->error.toStdString();
    EXPECT_LT(elapsed.elapsed(), 5000);

    // The pieces arrive 150 ms apart over 750 ms: the time-out bounds silence, not the transfer.
    UrlRequest slow = get(server_.url("/pieces"));
    slow.timeoutSeconds = 0.4;
    const auto steady = exchange(client_, slow);
    EXPECT_EQ(steady->events.back(), "finish") << steady->error.toStdString();
}

TEST_F(QtHttpClientTest, BodyOverTheCapFailsTheExchange) {
    UrlRequest request = get(server_.url("/large?size=100000"));
    request.maxResponseBytes = 10000;
    const auto announced = exchange(client_, request);
    EXPECT_EQ(announced->count("fail"), 1);
    EXPECT_TRUE(announced->error.contains("10000")) << announced->error.toStdString();
    EXPECT_LE(announced->body.size(), 10000);

    request.url = qurl(server_.url("/large-chunked"));
    const auto streamed = exchange(client_, request);
    EXPECT_EQ(streamed->count("fail"), 1);
    EXPECT_LE(streamed->body.size(), 10000);

    request.url = qurl(server_.url("/large?size=10000"));
    const UrlResponse atCap = sendAndWait(client_, request);
    EXPECT_TRUE(atCap.error.isEmpty()) << atCap.error.toStdString();
    EXPECT_EQ(atCap.body.size(), 10000);
}

TEST_F(QtHttpClientTest, ClosedPortFailsWithoutAResponse) {
    const UrlResponse response = sendAndWait(client_, get(closedUrl()));
    EXPECT_EQ(response.statusCode, -1);
    EXPECT_EQ(response.expectedContentLength, -1);
    EXPECT_FALSE(response.error.isEmpty());
}

TEST_F(QtHttpClientTest, RequestsThatCannotStartFailOnALaterTurn) {
    UrlRequest injected = get(server_.url("/text"));
    injected.headers = {{"X-Evil", "a\r\nX-Injected: 1"}};
    UrlRequest badMethod = get(server_.url("/text"));
    badMethod.method = "GET /other";
    for (const UrlRequest& request :
         {get("not a url at all"), get("file:///etc/passwd"), injected, badMethod}) {
        const auto delegate = exchange(client_, request);
        EXPECT_EQ(delegate->events, std::vector<std::string>{"fail"})
            << request.url.toString().toStdString();
        EXPECT_FALSE(delegate->error.isEmpty());
    }
    EXPECT_EQ(server_.requestCount(), 0u);
}

TEST_F(QtHttpClientTest, SendsHeadersAndBodyExactlyAsGiven) {
    QByteArray body;
    for (int i = 0; i < 3; ++i) {
        for (int byte = 0; byte < 256; ++byte) body.append(static_cast<char>(byte));
    }
    UrlRequest request = get(server_.url("/echo"));
    request.method = "POST";
    request.body = body;
    request.headers = {{"Content-type", "application/x-lirra-test; charset=binary"},
                       {"Content-length", QByteArray::number(body.size())},
                       {"X-Lirra-Note", "two  spaces\tand a tab"}};
    const auto delegate = exchange(client_, request);
    EXPECT_EQ(delegate->status, 200);
    EXPECT_EQ(delegate->body, body);

    ASSERT_EQ(server_.requestCount(), 1u);
    const auto received = server_.requests()[0];
    EXPECT_EQ(received.body, body.toStdString());
    EXPECT_EQ(received.headerCount("content-type"), 1u);
    EXPECT_EQ(received.headerCount("content-length"), 1u);
    EXPECT_EQ(received.header("Content-Type"), "application/x-lirra-test; charset=binary");
    EXPECT_EQ(received.header("X-Lirra-Note"), "two  spaces\tand a tab");
}

TEST_F(QtHttpClientTest, FollowsRedirectsForGetOnly) {
    const auto followed = exchange(client_, get(server_.url("/from")));
    EXPECT_EQ(followed->status, 200);
    EXPECT_EQ(followed->body, "hello");
    EXPECT_EQ(followed->count("response"), 1);

    UrlRequest post = get(server_.url("/from"));
    post.method = "POST";
    post.body = "data";
    const UrlResponse notFollowed = sendAndWait(client_, post);
    EXPECT_EQ(notFollowed.statusCode, 302);
    EXPECT_TRUE(notFollowed.error.isEmpty());
}

TEST_F(QtHttpClientTest, CancelEndsTheExchangeThereAndReleasesTheDelegate) {
    auto delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<UrlConnection> connection;
    delegate->onResponse = [&] { connection->cancel(); };  // inside a callback
    std::weak_ptr<RecordingDelegate> watched = delegate;
    connection = client_.startConnection(get(server_.url("/pieces")), delegate);
    ASSERT_TRUE(test::runEventLoopUntil([&] { return !delegate->events.empty(); }));
    test::runEventLoopFor(1000ms);  // the whole answer would have arrived by now
    EXPECT_EQ(delegate->events, std::vector<std::string>{"response"});
    delegate.reset();
    EXPECT_TRUE(watched.expired());  // the client let go of it

    auto untouched = std::make_shared<RecordingDelegate>();
    auto immediate = client_.startConnection(get(server_.url("/text")), untouched);
    immediate->cancel();
    immediate->cancel();
    test::runEventLoopFor(300ms);
    EXPECT_TRUE(untouched->events.empty());
}

TEST_F(QtHttpClientTest, BodyCutShortFails) {
    RawLoopbackServer cut([](RawConnection& connection) {
        connection.send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n0123456789");
    });
    ASSERT_TRUE(cut.start());
    const UrlResponse response = sendAndWait(client_, get(cut.url("/")));
    EXPECT_EQ(response.statusCode, 200);
    EXPECT_EQ(response.expectedContentLength, 1000);
    EXPECT_FALSE(response.error.isEmpty());
    EXPECT_EQ(response.body, "0123456789");
}

TEST(QtHttpClientLifetimeTest, DestroyingTheClientEndsExchangesSilently) {
    test::ensureCoreApplication();
    RawLoopbackServer silent([](RawConnection& connection) { connection.holdOpen(); });
    ASSERT_TRUE(silent.start());
    auto delegate = std::make_shared<RecordingDelegate>();
    bool completed = false;
    std::shared_ptr<UrlConnection> connection;
    {
        QtHttpClient client;
        connection = client.startConnection(get(silent.url("/")), delegate);
        client.sendAsynchronousRequest(get(silent.url("/")),
                                       [&](const UrlResponse&) { completed = true; });
        ASSERT_TRUE(test::runEventLoopUntil([&] { return silent.requestCount() == 2; }));
    }
    test::runEventLoopFor(200ms);
    connection->cancel();  // harmless after the client is gone
    EXPECT_TRUE(delegate->events.empty());
    EXPECT_FALSE(completed);
}

}  // namespace
}  // namespace lirra
