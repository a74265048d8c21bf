// A fake of the online subtitle database's REST API on a loopback port, answering in the shape
// of the API's documented examples, and recording every request it sees. Tests change its data
// or put a handler in front of an endpoint to make it misbehave.
#pragma once

#include <httplib.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lirra::test {

struct FakeSubtitle {
    long fileId = 0;
    std::string language;  // the API's code: "en", "es", "pt-BR"
    bool hashMatch = true;
    bool hearingImpaired = false;
    bool machineTranslated = false;
    bool aiTranslated = false;
    long downloads = 100;
    std::string title = "big buck bunny";  // what a query by title finds
    int season = 0, episode = 0;           // 0: a film
};

struct SeenRequest {
    std::string method;
    std::string path;   // without the query
    std::string query;  // as sent, e.g. "languages=en,es&moviehash=..."
    std::string apiKey;
    std::string userAgent;
    std::string authorization;
    std::string body;
};

// Answers an endpoint instead of the fake's own logic when it returns true.
using Override = std::function<bool(const httplib::Request&, httplib::Response&)>;

class FakeApi {
  public:
    // With a certificate and its key the fake speaks HTTPS.
    explicit FakeApi(const std::string& certFile = {}, const std::string& keyFile = {});
    ~FakeApi();

    int port() const { return port_; }
    std::string origin() const;  // "http://127.0.0.1:PORT" (or https)
    std::string root() const;    // origin() + "/api/v1"

    // Its data; change before the client asks.
    std::string key = "test-key";
    std::string knownHash = "00a1b2c3d4e5f607";  // the video the database knows by hash
    std::vector<FakeSubtitle> subtitles;
    std::string user = "learner", password = "secret words", token = "tok.en.123";
    std::string loginBaseUrl;  // base_url answered by /login; empty: this fake's host and port
    long remaining = 20;       // downloads left before 406

    void overrideEndpoint(const std::string& path, Override handler);  // path: "/subtitles"...
    std::vector<SeenRequest> seen() const;
    std::vector<SeenRequest> seen(const std::string& path) const;
    void forget();

    // Set once the test ends, so that handlers that hold a connection let go.
    std::atomic<bool> stopping{false};

  private:
    void handle(const httplib::Request& request, httplib::Response& response);
    void search(const httplib::Request& request, httplib::Response& response);
    void download(const httplib::Request& request, httplib::Response& response);
    void login(const httplib::Request& request, httplib::Response& response);

    std::unique_ptr<httplib::Server> server_;
    bool tls_ = false;
    std::thread thread_;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::vector<SeenRequest> seen_;
    std::map<std::string, Override> overrides_;
};

// An SRT file the fake serves for a file id.
std::string fakeSubtitleText(long fileId);

}  // namespace lirra::test
